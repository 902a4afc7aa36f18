#pragma once

#include "platform/Exceptions.h"

#include <memory>
#include <vector>

class TDrawStep;

// An index outside a list: "List index out of bounds (%d)", as the class library says it.
class EListError : public Exception {
    using Exception::Exception;
};

// The annotation steps of one frame position, in drawing order. The list owns its steps: removing a
// step or destroying the list frees it, and a copy of a list is made of clones, so no step is ever
// shared between positions.
class TDrawSteps {
public:
    TDrawSteps();
    ~TDrawSteps();
    TDrawSteps(TDrawSteps&&) noexcept;
    TDrawSteps& operator=(TDrawSteps&&) noexcept;
    TDrawSteps(const TDrawSteps&) = delete;
    TDrawSteps& operator=(const TDrawSteps&) = delete;

    int Count() const { return static_cast<int>(Items.size()); }
    // Appends the step and returns its index.
    int Add(std::unique_ptr<TDrawStep> step);
    // Inserts the step before the one at index (0 to Count()); EListError outside that range, and
    // the step is then freed with nothing changed.
    void Insert(int index, std::unique_ptr<TDrawStep> step);
    // The step at index, still owned by the list; EListError outside 0 to Count() - 1.
    TDrawStep* GetItem(int index) const;
    // Empties this list, then appends a clone of every step of other, in order.
    void AssignSteps(const TDrawSteps& other);
    void Clear();

private:
    std::vector<std::unique_ptr<TDrawStep>> Items;
};
