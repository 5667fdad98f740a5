#include "port/undoable_change.h"

namespace korvane {

ChangeOutcome RunSteps(const std::vector<std::unique_ptr<UndoableStep>>& steps) {
    ChangeOutcome outcome;
    for (std::size_t ran = 0; ran < steps.size(); ++ran) {
        outcome.status = steps[ran]->Apply(outcome.failedStep);
        outcome.changedAnything = outcome.changedAnything || steps[ran]->Changed();
        if (outcome.status) continue;
        for (std::size_t i = ran + 1; i-- > 0;) {
            std::wstring left = steps[i]->Undo();
            if (!left.empty()) outcome.notRestored.push_back(std::move(left));
        }
        return outcome;
    }
    return outcome;
}

}  // namespace korvane
