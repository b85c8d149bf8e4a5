// What a replaced file passes on to the file that takes its place: owner, group, permissions,
// access control list and the user's extended attributes, so that replacing never widens access.
#pragma once

#include "files/destination_posix.h"

namespace corvane {

// Gives `file` what the regular file at `earlier` has. Written when done; refuses with Changed
// when another file has taken the name since it was checked, and with OwnerNotKept when the
// owner cannot be kept. `error` holds the errno where the outcome gives one.
[[nodiscard]] ScriptFileOutcome takeOver(int file, const Destination& earlier, int& error);

} // namespace corvane
