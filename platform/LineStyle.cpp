#include "LineStyle.h"

TLineStyle::TLineStyle(std::span<const int> lengths) {
    bool on = true;
    for (int length : lengths) {
        Mask.insert(Mask.end(), static_cast<size_t>(length > 0 ? length : 0), on);
        on = !on;
    }
    if (Mask.empty()) Mask.push_back(true);
    Period = static_cast<int64_t>(Mask.size());
}
