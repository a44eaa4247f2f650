// Exit statuses of the real-driver rig: the guest's suite (driver-suite) reports one through
// the guest's console, and the host program (driver-rig) exits with one. scripts/drivers
// spells kNoBoot out as a number.
#pragma once

namespace RigExit {
inline constexpr int kPassed = 0;
inline constexpr int kFailed = 1;
inline constexpr int kSetupFailed = 2;    // bad arguments, or the host could not set the rig up
inline constexpr int kNoBoot = 3;         // the guest never reached the suite: worth another boot
inline constexpr int kNoTestSelected = 4; // the test filter matches no test
} // namespace RigExit
