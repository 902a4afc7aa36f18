#include "StepList.h"

#include "ScaledSteps.h"
#include "model/DrawStep.h"

namespace {

[[noreturn]] void ListIndexError(int index) {
    throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}

} // namespace

TDrawSteps::TDrawSteps() = default;
TDrawSteps::~TDrawSteps() = default;
TDrawSteps::TDrawSteps(TDrawSteps&&) noexcept = default;
TDrawSteps& TDrawSteps::operator=(TDrawSteps&&) noexcept = default;

int TDrawSteps::Add(std::unique_ptr<TDrawStep> step) {
    Items.push_back(std::move(step));
    return Count() - 1;
}

void TDrawSteps::Insert(int index, std::unique_ptr<TDrawStep> step) {
    if (index < 0 || index > Count()) ListIndexError(index);
    Items.insert(Items.begin() + index, std::move(step));
}

TDrawStep* TDrawSteps::GetItem(int index) const {
    if (index < 0 || index >= Count()) ListIndexError(index);
    return Items[index].get();
}

void TDrawSteps::AssignSteps(const TDrawSteps& other) {
    if (&other == this) return;
    std::vector<std::unique_ptr<TDrawStep>> clones;
    clones.reserve(other.Items.size());
    for (const auto& step : other.Items)
        clones.push_back(CloneStep(*step));
    Items = std::move(clones);
}

void TDrawSteps::Clear() {
    Items.clear();
}
