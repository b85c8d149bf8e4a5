#include "files/private_group_posix.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <vector>

#include <grp.h>
#include <pwd.h>

namespace corvane {
namespace {

// Room for one entry of the user or group lists, grown while a lookup finds it too small: a group
// with thousands of members needs far more than a user does.
constexpr std::size_t kFirstRoom = 16384;
constexpr std::size_t kMostRoom = std::size_t{1} << 24;

// Runs a reentrant lookup that returns 0 or an errno value with room enough for its entry.
template <typename Lookup>
int withRoom(std::vector<char>& room, Lookup lookup) {
    room.resize(kFirstRoom);
    for (;;) {
        const int result = lookup(room.data(), room.size());
        if (result != ERANGE || room.size() >= kMostRoom) {
            return result;
        }
        room.resize(room.size() * 2);
    }
}

// The C library keeps one position in the user list for the whole process, even for the
// reentrant walk, so two walks at once would each see a part of it.
std::mutex walkingUsers;

// Whether the user list, walked to its end, gives `group` as the primary group of no user but
// `owner`. A source that will not list its users (sssd or LDAP set not to enumerate) shows none,
// which nobody can tell from having none: such users count only by the group's member list.
bool nobodyElseHasItAsPrimaryGroup(uid_t owner, gid_t group) {
    const std::lock_guard<std::mutex> lock(walkingUsers);
    setpwent();
    std::vector<char> room;
    bool someoneElse = false;
    int result = 0;
    passwd* found = nullptr;
    do {
        passwd entry{};
        result = withRoom(room, [&](char* buffer, std::size_t size) {
            return getpwent_r(&entry, buffer, size, &found);
        });
        someoneElse =
            result == 0 && found != nullptr && found->pw_gid == group && found->pw_uid != owner;
    } while (result == 0 && found != nullptr && !someoneElse);
    endpwent();
    // The end of the list is ENOENT; any other error leaves the rest unread.
    return !someoneElse && (result == ENOENT || (result == 0 && found == nullptr));
}

} // namespace

// Debian's OpenSSH judges ~/.ssh and the folders above it this way (its user-group-modes change
// to the secure-path check): a path that its group may write to is still the owner's alone when
// that group has the owner as its one member. That is the private group that each user gets
// where the umask is 002, as on Fedora and RHEL. A group without members is not such a group, and
// one that cannot be read is taken to have strangers in it.
bool ownerIsTheGroupsOnlyMember(uid_t owner, gid_t group) noexcept {
    std::vector<char> userRoom;
    passwd user{};
    passwd* ownerEntry = nullptr;
    if (withRoom(userRoom,
                 [&](char* buffer, std::size_t size) {
                     return getpwuid_r(owner, &user, buffer, size, &ownerEntry);
                 }) != 0 ||
        ownerEntry == nullptr) {
        return false;
    }
    std::vector<char> groupRoom;
    struct group entry {};
    struct group* groupEntry = nullptr;
    if (withRoom(groupRoom,
                 [&](char* buffer, std::size_t size) {
                     return getgrgid_r(group, &entry, buffer, size, &groupEntry);
                 }) != 0 ||
        groupEntry == nullptr) {
        return false;
    }
    bool member = ownerEntry->pw_gid == group;
    for (char** name = groupEntry->gr_mem; name != nullptr && *name != nullptr; ++name) {
        if (std::strcmp(*name, ownerEntry->pw_name) != 0) {
            return false;
        }
        member = true;
    }
    return member && nobodyElseHasItAsPrimaryGroup(owner, group);
}

} // namespace corvane
