// The stack protector's runtime (-fstack-protector-strong, _FORTIFY_SOURCE), built in instead of GCC's
// libssp. libssp draws its canary from the system's cryptographic provider at every start, which loads the
// provider's DLLs and made start-up 5 % slower; the canary here is made the way Microsoft's C runtime makes
// its /GS cookie, from values that differ with every process and every start.
#pragma once

namespace korvane {

// Sets the canary. Called first thing at start-up, before any function the stack protector guards.
void InitializeStackGuard();

}  // namespace korvane
