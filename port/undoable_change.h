// A change made of steps that can be taken back: the steps run in order, and when one fails, every step that
// ran is undone in reverse, so that the machine is left as it was, or the administrator is told what is not.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

class UndoableStep {
public:
    virtual ~UndoableStep() = default;
    // Makes the change. A failure names the step that failed, in words for the administrator, in `failedStep`.
    virtual Status Apply(std::wstring& failedStep) = 0;
    // Whether the machine may differ from before because of this step, even after a failed Apply.
    virtual bool Changed() const = 0;
    // Takes back what Apply changed, if anything; what could not be put back, and why, or nothing.
    virtual std::wstring Undo() = 0;
};

struct ChangeOutcome {
    Status status;
    std::wstring failedStep;
    bool changedAnything = false;           // something was changed (and then taken back, on failure)
    std::vector<std::wstring> notRestored;  // what could not be taken back
};

// Runs `steps` in order; on the first failure, undoes every step that ran, the failed one included, last first.
ChangeOutcome RunSteps(const std::vector<std::unique_ptr<UndoableStep>>& steps);

}  // namespace korvane
