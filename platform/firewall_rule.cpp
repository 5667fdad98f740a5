#include "platform/platform.h"

namespace korvane {

FirewallRule::FirewallRule() = default;
FirewallRule::FirewallRule(const FirewallRule&) = default;
FirewallRule::FirewallRule(FirewallRule&&) noexcept = default;
FirewallRule& FirewallRule::operator=(const FirewallRule&) = default;
FirewallRule& FirewallRule::operator=(FirewallRule&&) noexcept = default;
FirewallRule::~FirewallRule() = default;

}  // namespace korvane
