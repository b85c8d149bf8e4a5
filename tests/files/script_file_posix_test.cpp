// The replacing write of a script file off Windows, on real files.
#include "files/script_file_posix.h"

#include "tests/support/scratch_folder_posix.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
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

// Records the placement's calls; can fail the sync, or plant a link just before the rename as a
// racing program would.
class WatchedPlacement : public PosixFilePlacement {
public:
    std::vector<std::string> calls;
    int syncFailure = 0;
    bool cannotRenameWithoutReplacing = false;
    std::string plantLinkAt;

    int sync(int descriptor) noexcept override {
        calls.emplace_back("sync");
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
    int error = 0;
    ASSERT_EQ(writeScriptFile(path, "new", Existing::Replace, error, placement),
              ScriptFileOutcome::Written);
    // The file, its name, then the folder that holds the name.
    EXPECT_EQ(placement.calls, (std::vector<std::string>{"sync", "rename", "sync"}));

    placement.calls.clear();
    placement.syncFailure = EIO;
    EXPECT_EQ(writeScriptFile(path, "lost", Existing::Replace, error, placement),
              ScriptFileOutcome::Failed);
    EXPECT_EQ(error, EIO);
    EXPECT_EQ(placement.calls, std::vector<std::string>{"sync"});
    EXPECT_EQ(readAll(path), "new");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"s.cmd"});
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
    ASSERT_EQ(writeScriptFile(folder.file("t.cmd"), "new", Existing::Keep, error, linking),
              ScriptFileOutcome::Written);
    EXPECT_EQ(readAll(folder.file("t.cmd")), "new");
    linking.plantLinkAt = folder.file("u.cmd");
    EXPECT_EQ(writeScriptFile(folder.file("u.cmd"), "new", Existing::Keep, error, linking),
              ScriptFileOutcome::NameTaken);

    EXPECT_EQ(sorted(folder.names()), (std::vector<std::string>{"s.cmd", "t.cmd", "u.cmd"}));
    EXPECT_EQ(access(folder.file("planted-target").c_str(), F_OK), -1);
}

constexpr uid_t kOtherUser = 65534; // nobody

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
        ScriptFileOutcome outcome;
    } cases[] = {
        {01777, 0, kOtherUser, ScriptFileOutcome::StrangersLink},
        {01777, 0, 0, ScriptFileOutcome::Written},                   // our own link
        {01777, kOtherUser, kOtherUser, ScriptFileOutcome::Written}, // the folder owner's
        {00777, 0, kOtherUser, ScriptFileOutcome::Written},          // not sticky
        {01775, 0, kOtherUser, ScriptFileOutcome::Written},          // not writable by all
    };
    for (const auto& entry : cases) {
        const std::string shared = folder.file("shared");
        const std::string link = shared + "/kit.cmd";
        const std::string script = "script " + std::to_string(&entry - cases);
        const std::string expected =
            entry.outcome == ScriptFileOutcome::Written ? script : readAll(target);
        ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
        ASSERT_EQ(chmod(shared.c_str(), entry.folderMode), 0);
        ASSERT_EQ(chown(shared.c_str(), entry.folderOwner, entry.folderOwner), 0);
        ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), entry.linkOwner, entry.linkOwner), 0);
        int error = 0;
        EXPECT_EQ(writeScriptFile(link, script, Existing::Replace, error), entry.outcome) << script;
        EXPECT_EQ(readAll(target), expected);
        std::remove(link.c_str());
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

    // Another user, who may not give a file away, is refused and leaves it as it was.
    ASSERT_EQ(chmod(folder.file("").c_str(), 0777), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0) {
            _exit(100);
        }
        _exit(static_cast<int>(writeScriptFile(target, "new", Existing::Replace, error)));
    }
    int childStatus = 0;
    ASSERT_EQ(waitpid(child, &childStatus, 0), child);
    EXPECT_EQ(WEXITSTATUS(childStatus), static_cast<int>(ScriptFileOutcome::OwnerNotKept));
    EXPECT_EQ(readAll(target), "script 4"); // from the last link case
    EXPECT_EQ(sorted(folder.names()), (std::vector<std::string>{"private.cmd", "theirs.cmd"}));
}

} // namespace
} // namespace corvane
