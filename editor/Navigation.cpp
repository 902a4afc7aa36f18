#include "Navigation.h"

#include "PageGeometry.h"

namespace Navigation {

int FirstFrameTarget() {
    return 0;
}

int PrevPageTarget(int cur) {
    return cur >= PageGeometry::Cells ? cur - PageGeometry::Cells : 0;
}

std::optional<int> PreviousFrameTarget(int cur) {
    if (cur > 0) return cur - 1;
    return std::nullopt;
}

std::optional<int> NextFrameTarget(int cur, int count) {
    if (cur < count - 1) return cur + 1;
    return std::nullopt;
}

int NextPageTarget(int cur, int count) {
    return cur < count - PageGeometry::Cells ? cur + PageGeometry::Cells : count - 1;
}

int LastFrameTarget(int count) {
    return count - 1;
}

int PlaybackTarget(int cur, int count, int steps) {
    if (count <= 0) return 0;
    if (steps <= 1) return cur < count - 1 ? cur + 1 : 0;
    return static_cast<int>((static_cast<long long>(cur) + steps) % count);
}

} // namespace Navigation
