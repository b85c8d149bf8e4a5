// The replacing write of a script file off Windows, on real files.
#include "files/script_file_posix.h"
#include "files/temporary_file_posix.h"

#include "tests/support/scratch_folder_posix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace corvane {
namespace {

TEST(ReplacingWrite, ReplacesWholeLeavesNoTemporaryFileAndKeepsTheOldOnFailure) {
    ScratchFolder folder;
    const std::string path = folder.file("s.cmd");
    writeAll(path, std::string(1000, 'x'));
    int error = 0;
    ASSERT_EQ(writeScriptFile(path, "new\r\n", Existing::Replace, error),
              ScriptFileOutcome::Written);
    EXPECT_EQ(readAll(path), "new\r\n");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"s.cmd"});

    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);

    // A new file gets 0666 less the umask, as any new file does.
    for (const mode_t newMask : {mode_t{022}, mode_t{002}}) {
        const std::string fresh = folder.file("fresh.cmd");
        const mode_t earlierMask = umask(newMask);
        const ScriptFileOutcome outcome = writeScriptFile(fresh, "new", Existing::Keep, error);
        umask(earlierMask);
        ASSERT_EQ(outcome, ScriptFileOutcome::Written);
        ASSERT_EQ(stat(fresh.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0666 & ~newMask);
        std::remove(fresh.c_str());
    }

    // A folder in the way of the destination.
    ASSERT_EQ(mkdir(folder.file("d").c_str(), 0700), 0);
    writeAll(folder.file("d/keep"), "k");
    EXPECT_EQ(writeScriptFile(folder.file("d"), "lost", Existing::Replace, error),
              ScriptFileOutcome::Folder);
    EXPECT_EQ(readAll(folder.file("d/keep")), "k");
    std::remove(folder.file("d/keep").c_str());
    rmdir(folder.file("d").c_str());
    EXPECT_EQ(folder.names(), std::vector<std::string>{"s.cmd"});

    // The permissions of a replaced file stay; a link stays a link and its target is replaced.
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(symlink("s.cmd", folder.file("link.cmd").c_str()), 0);
    ASSERT_EQ(
        writeScriptFile(folder.file("link.cmd"), "through the link", Existing::Replace, error),
        ScriptFileOutcome::Written);
    EXPECT_EQ(readAll(path), "through the link");
    ASSERT_EQ(lstat(folder.file("link.cmd").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640U);
    std::remove(folder.file("link.cmd").c_str());

    EXPECT_EQ(writeScriptFile(folder.file("missing/s.cmd"), "x", Existing::Replace, error),
              ScriptFileOutcome::Failed);
    EXPECT_EQ(error, ENOENT);
}

TEST(ReplacingWrite, RefusesAnythingButAWritableRegularFileAndLeavesItAsItWas) {
    ScratchFolder folder;
    ASSERT_EQ(mkfifo(folder.file("pipe").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(folder.file("dir").c_str(), 0755), 0);
    ASSERT_EQ(symlink("nothing", folder.file("dangling").c_str()), 0);
    writeAll(folder.file("read-only"), "kept");
    ASSERT_EQ(chmod(folder.file("read-only").c_str(), 0444), 0);
    // A socket stands for the devices too, which a slip here must not put at risk.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    folder.file("socket").copy(address.sun_path, sizeof address.sun_path - 1);
    const int socketDescriptor = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(socketDescriptor, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(socketDescriptor);
    const struct {
        std::string path;
        Existing existing;
        ScriptFileOutcome outcome;
    } cases[] = {
        {folder.file("pipe"), Existing::Replace, ScriptFileOutcome::NamedPipe},
        {folder.file("pipe"), Existing::Keep, ScriptFileOutcome::NamedPipe},
        {folder.file("dir"), Existing::Replace, ScriptFileOutcome::Folder},
        {folder.file("dir/"), Existing::Keep, ScriptFileOutcome::Folder},
        {folder.file("socket"), Existing::Replace, ScriptFileOutcome::Socket},
        {folder.file("dangling"), Existing::Replace, ScriptFileOutcome::DanglingLink},
        {folder.file("dangling"), Existing::Keep, ScriptFileOutcome::DanglingLink},
        {folder.file("read-only"), Existing::Replace, ScriptFileOutcome::ReadOnly},
        {folder.file("read-only"), Existing::Keep, ScriptFileOutcome::NameTaken},
    };
    const std::vector<std::string> names = sorted(folder.names());
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.path);
        struct stat before {};
        ASSERT_EQ(lstat(entry.path.c_str(), &before), 0);
        int error = 0;
        EXPECT_EQ(writeScriptFile(entry.path, "new", entry.existing, error), entry.outcome);
        struct stat after {};
        ASSERT_EQ(lstat(entry.path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
    }
    EXPECT_EQ(sorted(folder.names()), names);
    EXPECT_EQ(readAll(folder.file("read-only")), "kept");
}

// Records the placement's calls and what the watched folder holds at each sync; can fail the
// sync, or plant a link just before the rename or a named pipe, a link or a file just before the
// swap, as a racing program would.
class WatchedPlacement : public PosixFilePlacement {
public:
    std::vector<std::string> calls;
    const ScratchFolder* watched = nullptr;
    std::vector<std::string> namesAtSync;
    int syncFailure = 0;
    bool cannotRenameWithoutReplacing = false;
    std::string plantLinkAt;
    std::string plantAt;
    mode_t plant = S_IFIFO;

    int exchange(int folder, const char* first, const char* second) noexcept override {
        calls.emplace_back("exchange");
        if (!plantAt.empty() && unlink(plantAt.c_str()) == 0) {
            static_cast<void>(plant == S_IFIFO   ? mkfifo(plantAt.c_str(), 0644)
                              : plant == S_IFLNK ? symlink("planted", plantAt.c_str())
                                                 : (writeAll(plantAt, "planted"), 0));
        }
        plantAt.clear();
        return PosixFilePlacement::exchange(folder, first, second);
    }

    int sync(int descriptor) noexcept override {
        calls.emplace_back("sync");
        if (watched != nullptr) {
            namesAtSync = sorted(watched->names());
        }
        return syncFailure != 0 ? syncFailure : PosixFilePlacement::sync(descriptor);
    }
    int rename(int folder, const char* from, const char* to, bool replace) noexcept override {
        calls.emplace_back(replace ? "rename" : "rename without replacing");
        if (!plantLinkAt.empty() && symlink("planted-target", plantLinkAt.c_str()) != 0) {
            return errno;
        }
        if (!replace && cannotRenameWithoutReplacing) {
            return EINVAL;
        }
        return PosixFilePlacement::rename(folder, from, to, replace);
    }
};

TEST(ReplacingWrite, SyncsTheFileBeforeItTakesTheNameAndAFailedSyncKeepsTheEarlierFile) {
    ScratchFolder folder;
    const std::string path = folder.file("s.cmd");
    writeAll(path, "earlier");
    WatchedPlacement placement;
    placement.watched = &folder;
    int error = 0;
    ASSERT_EQ(writeScriptFile(path, "new", Existing::Replace, error, placement),
              ScriptFileOutcome::Written);
    // The file, its name, then the folder that holds the name; the earlier file, swapped out to
    // a hidden name, is gone before that last sync, so that a kill during it leaves no copy.
    EXPECT_EQ(placement.calls, (std::vector<std::string>{"sync", "exchange", "sync"}));
    EXPECT_EQ(placement.namesAtSync, std::vector<std::string>{"s.cmd"});

    placement.calls.clear();
    placement.syncFailure = EIO;
    EXPECT_EQ(writeScriptFile(path, "lost", Existing::Replace, error, placement),
              ScriptFileOutcome::Failed);
    EXPECT_EQ(error, EIO);
    EXPECT_EQ(placement.calls, std::vector<std::string>{"sync"});
    EXPECT_EQ(readAll(path), "new");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"s.cmd"});

    // Whatever is swapped in meanwhile is swapped back and kept: a file too, which is not the
    // earlier one whatever its inode number.
    placement.syncFailure = 0;
    for (const auto& [type, outcome] : {std::pair{mode_t{S_IFIFO}, ScriptFileOutcome::NamedPipe},
                                        std::pair{mode_t{S_IFLNK}, ScriptFileOutcome::SymbolicLink},
                                        std::pair{mode_t{S_IFREG}, ScriptFileOutcome::Changed}}) {
        placement.plantAt = path;
        placement.plant = type;
        EXPECT_EQ(writeScriptFile(path, "lost", Existing::Replace, error, placement), outcome);
        struct stat status {};
        ASSERT_EQ(lstat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & S_IFMT, type);
        EXPECT_TRUE(type != S_IFREG || readAll(path) == "planted");
        EXPECT_EQ(folder.names(), std::vector<std::string>{"s.cmd"});
        std::remove(path.c_str());
        writeAll(path, "earlier");
    }
}

TEST(ReplacingWrite, KeepsTheAccessListAndUserAttributesSoTheGroupGainsNothing) {
    ScratchFolder folder;
    const std::string path = folder.file("s.cmd");
    writeAll(path, "earlier");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    // user::rw-, user:nobody:rw-, group::---, mask::rw-, other::---
    const std::uint32_t list[] = {2,          0x00060001, 0xFFFFFFFF, 0x00060002,
                                  65534,      0x00000004, 0xFFFFFFFF, 0x00060010,
                                  0xFFFFFFFF, 0x00000020, 0xFFFFFFFF};
    const std::string note = "kit";
    if (setxattr(path.c_str(), "system.posix_acl_access", list, sizeof list, 0) != 0 ||
        setxattr(path.c_str(), "user.note", note.data(), note.size(), 0) != 0) {
        GTEST_SKIP() << "the file system takes no access lists or user attributes";
    }
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    int error = 0;
    ASSERT_EQ(writeScriptFile(path, "new", Existing::Replace, error), ScriptFileOutcome::Written);
    EXPECT_EQ(readAll(path), "new");
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode); // the mask, rw-, stays the mask
    std::uint32_t copied[sizeof list / sizeof list[0] + 1] = {};
    EXPECT_EQ(getxattr(path.c_str(), "system.posix_acl_access", copied, sizeof copied),
              static_cast<ssize_t>(sizeof list));
    EXPECT_TRUE(std::equal(std::begin(list), std::end(list), copied));
    char copiedNote[8] = {};
    EXPECT_EQ(getxattr(path.c_str(), "user.note", copiedNote, sizeof copiedNote),
              static_cast<ssize_t>(note.size()));
    EXPECT_EQ(copiedNote, note);
}

TEST(ReplacingWrite, AReplacedFileTakesNoAccessFromTheFoldersDefaultList) {
    ScratchFolder folder;
    const std::string path = folder.file("s.cmd");
    writeAll(path, "earlier");
    ASSERT_EQ(chmod(path.c_str(), 0664), 0);
    // user::rwx, user:nobody:rw-, group::r-x, mask::rwx, other::r-x
    const std::uint32_t list[] = {2,          0x00070001, 0xFFFFFFFF, 0x00060002,
                                  65534,      0x00050004, 0xFFFFFFFF, 0x00070010,
                                  0xFFFFFFFF, 0x00050020, 0xFFFFFFFF};
    if (setxattr(folder.file("").c_str(), "system.posix_acl_default", list, sizeof list, 0) != 0) {
        GTEST_SKIP() << "the file system takes no access lists";
    }
    int error = 0;
    ASSERT_EQ(writeScriptFile(path, "new", Existing::Replace, error), ScriptFileOutcome::Written);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0664U);
    EXPECT_EQ(getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0), -1);
    // A new file gets the list, as every file made in the folder does.
    ASSERT_EQ(writeScriptFile(folder.file("t.cmd"), "new", Existing::Keep, error),
              ScriptFileOutcome::Written);
    EXPECT_GT(getxattr(folder.file("t.cmd").c_str(), "system.posix_acl_access", nullptr, 0), 0);
}

TEST(ReplacingWrite, NoSignalThatEndsTheProgramLeavesTheTemporaryFile) {
    ScratchFolder folder;
    const int unnamed = open(folder.file("").c_str(), O_TMPFILE | O_WRONLY, 0600);
    close(unnamed);
    // Every signal whose default ends the program, once the file has its name; a SIGKILL while
    // it has none yet, where the file system makes files without names.
    for (const int signal :
         {SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP,  SIGABRT,  SIGBUS,  SIGFPE,
          SIGUSR1, SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM,  SIGTERM,  SIGXCPU, SIGVTALRM,
          SIGPROF, SIGPOLL, SIGSYS,  SIGPWR,  SIGRTMIN, SIGRTMAX, SIGKILL}) {
        if (signal == SIGKILL && unnamed < 0) {
            continue;
        }
        const pid_t child = fork();
        if (child == 0) {
            const rlimit noCore{0, 0};
            // As the program starts: without a sanitizer's handler, and without core files.
            if ((signal != SIGKILL && std::signal(signal, SIG_DFL) == SIG_ERR) ||
                setrlimit(RLIMIT_CORE, &noCore) != 0) {
                _exit(1);
            }
            removeTemporaryFileOnSignals();
            TemporaryName temporary(open(folder.file("").c_str(), O_RDONLY | O_DIRECTORY));
            const int file = temporary.create(0600);
            if (file >= 0 && (signal == SIGKILL || temporary.giveName(file) == 0)) {
                raise(signal);
            }
            _exit(1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_EQ(folder.names(), std::vector<std::string>{}) << signal;
    }
}

TEST(ReplacingWrite, WithoutReplacingTheCheckAndTheCreationAreOneStep) {
    ScratchFolder folder;
    int error = 0;
    // A link made after the check is neither followed nor replaced.
    WatchedPlacement racing;
    racing.plantLinkAt = folder.file("s.cmd");
    EXPECT_EQ(writeScriptFile(folder.file("s.cmd"), "new", Existing::Keep, error, racing),
              ScriptFileOutcome::NameTaken);
    EXPECT_EQ(racing.calls, (std::vector<std::string>{"sync", "rename without replacing"}));

    // Where renaming cannot refuse to replace, a hard link takes only a free name.
    WatchedPlacement linking;
    linking.cannotRenameWithoutReplacing = true;
    linking.watched = &folder;
    ASSERT_EQ(writeScriptFile(folder.file("t.cmd"), "new", Existing::Keep, error, linking),
              ScriptFileOutcome::Written);
    EXPECT_EQ(readAll(folder.file("t.cmd")), "new");
    EXPECT_EQ(linking.namesAtSync, (std::vector<std::string>{"s.cmd", "t.cmd"}));
    linking.plantLinkAt = folder.file("u.cmd");
    EXPECT_EQ(writeScriptFile(folder.file("u.cmd"), "new", Existing::Keep, error, linking),
              ScriptFileOutcome::NameTaken);

    EXPECT_EQ(sorted(folder.names()), (std::vector<std::string>{"s.cmd", "t.cmd", "u.cmd"}));
    EXPECT_EQ(access(folder.file("planted-target").c_str(), F_OK), -1);
}

constexpr uid_t kOtherUser = 65534; // nobody

// Another user's files, links and folders need root; CI runs the tests as root.
TEST(ReplacingWrite, FollowsOnlyLinksTheKernelWouldFollowAndKeepsTheOwner) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to make files and links that belong to another user";
    }
    ScratchFolder folder;
    const std::string target = folder.file("private.cmd");
    writeAll(target, "private");
    const struct {
        mode_t folderMode;
        uid_t folderOwner;
        uid_t linkOwner;
        bool toFolder; // the link is in the folder part: shared/kit -> the scratch folder
        ScriptFileOutcome outcome;
    } cases[] = {
        {01777, 0, kOtherUser, false, ScriptFileOutcome::StrangersLink},
        {01777, 0, 0, false, ScriptFileOutcome::Written},                  // our own link
        {01775, 0, kOtherUser, false, ScriptFileOutcome::StrangersLink},   // the group may write
        {01755, 0, kOtherUser, false, ScriptFileOutcome::Written},         // only we may write
        {01777, kOtherUser, 0, false, ScriptFileOutcome::StrangersFolder}, // their folder
        {00755, kOtherUser, kOtherUser, false, ScriptFileOutcome::StrangersFolder},
        {00755, kOtherUser, kOtherUser, true, ScriptFileOutcome::StrangersFolder},
        {00777, 0, 0, false, ScriptFileOutcome::StrangersFolder}, // others write, not sticky
        {00775, 0, 0, true, ScriptFileOutcome::StrangersFolder},
        {01777, 0, kOtherUser, true, ScriptFileOutcome::StrangersLink},
        {01777, 0, 0, true, ScriptFileOutcome::Written},
    };
    for (const auto& entry : cases) {
        const std::string shared = folder.file("shared");
        const std::string link = shared + (entry.toFolder ? "/kit" : "/kit.cmd");
        const std::string script = "script " + std::to_string(&entry - cases);
        const std::string expected =
            entry.outcome == ScriptFileOutcome::Written ? script : readAll(target);
        ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
        ASSERT_EQ(chmod(shared.c_str(), entry.folderMode), 0);
        // The other user's group: one that its owner, root, is not alone in.
        ASSERT_EQ(chown(shared.c_str(), entry.folderOwner, kOtherUser), 0);
        ASSERT_EQ(symlink(entry.toFolder ? folder.file("").c_str() : target.c_str(), link.c_str()),
                  0);
        ASSERT_EQ(lchown(link.c_str(), entry.linkOwner, entry.linkOwner), 0);
        const std::string path = entry.toFolder ? link + "/private.cmd" : link;
        int error = 0;
        EXPECT_EQ(writeScriptFile(path, script, Existing::Replace, error), entry.outcome) << script;
        EXPECT_EQ(readAll(target), expected);
        std::remove(link.c_str());
        rmdir(shared.c_str());
    }

    // A file planted in a shared folder by another user, as that user would leave it for us; a
    // folder that only its group may write to is shared too, as protected_regular = 2 has it.
    const std::string shared = folder.file("shared");
    const std::string planted = shared + "/capture.cmd";
    for (const mode_t folderMode : {01777U, 01770U}) {
        ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
        ASSERT_EQ(chmod(shared.c_str(), folderMode), 0);
        writeAll(planted, "planted");
        ASSERT_EQ(chown(planted.c_str(), kOtherUser, kOtherUser), 0);
        int error = 0;
        EXPECT_EQ(writeScriptFile(planted, "new", Existing::Replace, error),
                  ScriptFileOutcome::StrangersFile);
        EXPECT_EQ(readAll(planted), "planted");
        std::remove(planted.c_str());
        rmdir(shared.c_str());
    }

    const std::string theirs = folder.file("theirs.cmd");
    writeAll(theirs, "theirs");
    ASSERT_EQ(chown(theirs.c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(chmod(theirs.c_str(), 0640), 0);
    int error = 0;
    ASSERT_EQ(writeScriptFile(theirs, "new", Existing::Replace, error), ScriptFileOutcome::Written);
    struct stat status {};
    ASSERT_EQ(stat(theirs.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, kOtherUser);
    EXPECT_EQ(status.st_gid, kOtherUser);
    EXPECT_EQ(status.st_mode & 0777, 0640U);

    // Another user, who may not give a file away, is refused and leaves it as it was; in a
    // shared folder, they follow a link that its owner made to a file of theirs.
    ASSERT_EQ(chmod(folder.file("").c_str(), 01777), 0);
    const auto asOtherUser = [&](const std::string& path) {
        const pid_t child = fork();
        if (child == 0) {
            _exit(
                setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0
                    ? 100
                    : static_cast<int>(writeScriptFile(path, "theirs", Existing::Replace, error)));
        }
        int childStatus = 0;
        return waitpid(child, &childStatus, 0) == child ? WEXITSTATUS(childStatus) : -1;
    };
    EXPECT_EQ(asOtherUser(target), static_cast<int>(ScriptFileOutcome::OwnerNotKept));
    EXPECT_EQ(readAll(target), "script 10"); // from the last link case
    ASSERT_EQ(symlink(theirs.c_str(), folder.file("kit.cmd").c_str()), 0);
    EXPECT_EQ(asOtherUser(folder.file("kit.cmd")), static_cast<int>(ScriptFileOutcome::Written));
    EXPECT_EQ(readAll(theirs), "theirs");
    EXPECT_EQ(sorted(folder.names()),
              (std::vector<std::string>{"kit.cmd", "private.cmd", "theirs.cmd"}));
}

// A folder that its group may write to, as a umask of 002 leaves a user's folders, is the owner's
// alone where the owner is the group's only member, as root is of group 0 on Debian and Fedora.
TEST(ReplacingWrite, TrustsAFolderThatOnlyTheOwnersPrivateGroupMayWriteTo) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to give a folder to another user's group";
    }
    ScratchFolder folder;
    const std::string kit = folder.file("kit");
    constexpr gid_t kUnknownGroup = 54321; // in no group list: cannot be judged
    const struct {
        mode_t mode;
        gid_t group;
        ScriptFileOutcome outcome;
        bool groupMayWrite;
    } cases[] = {
        {0775, 0, ScriptFileOutcome::Written, false},
        {0770, 0, ScriptFileOutcome::Written, false},
        {0777, 0, ScriptFileOutcome::StrangersFolder, false}, // everyone may write
        {0775, kOtherUser, ScriptFileOutcome::StrangersFolder, true},
        {0775, kUnknownGroup, ScriptFileOutcome::StrangersFolder, true},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(std::to_string(entry.group) + " " + std::to_string(entry.mode));
        ASSERT_EQ(mkdir(kit.c_str(), 0700), 0);
        ASSERT_EQ(chown(kit.c_str(), 0, entry.group), 0);
        ASSERT_EQ(chmod(kit.c_str(), entry.mode), 0);
        int error = 0;
        FolderOnTheWay refused;
        PosixFilePlacement& placement = platformPosixFilePlacement();
        EXPECT_EQ(
            writeScriptFile(kit + "/s.cmd", "new", Existing::Replace, error, refused, placement),
            entry.outcome);
        if (entry.outcome == ScriptFileOutcome::StrangersFolder) {
            EXPECT_EQ(refused.path, kit);
            EXPECT_EQ(refused.group, entry.group);
            EXPECT_EQ(refused.groupMayWrite, entry.groupMayWrite);
        }
        std::remove((kit + "/s.cmd").c_str());
        ASSERT_EQ(rmdir(kit.c_str()), 0);
    }
}

} // namespace
} // namespace corvane
