// Whether a folder's group may be trusted with writing to it: only when it is, in effect, a second
// name for its owner, as the private group that each user gets on many systems is.
#pragma once

#include <sys/types.h>

namespace corvane {

// True when `owner` is a member of `group` and nobody else is, neither by the group's list nor by
// having it as their primary group. False whenever the user and group lists cannot be read whole.
[[nodiscard]] bool ownerIsTheGroupsOnlyMember(uid_t owner, gid_t group) noexcept;

} // namespace corvane
