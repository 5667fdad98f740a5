// Making one of the program's firewall rules as a step of the change: a rule of the same name is read first,
// so that Undo can give it back every property it had; a rule that did not exist is removed again.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "port/undoable_change.h"

namespace korvane {

std::unique_ptr<UndoableStep> FirewallRuleStep(FirewallPolicy& firewall, FirewallRule rule);

}  // namespace korvane
