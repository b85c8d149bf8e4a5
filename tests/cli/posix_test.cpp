// The native program's own parts: iconv conversion, the replacing write, and the program run as
// a process on real files.
#include "script/script_file_posix.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace corvane {
namespace {

TEST(CodePageConversion, ExactBytesOrARefusal) {
    struct Case {
        const char* utf8;
        unsigned codePage;
        const char* bytes;
    };
    const Case cases[] = {
        {"\xC3\xA9\xC3\xBC", 437, "\x82\x81"}, // e-acute, u-umlaut
        {"\xC3\xA9\xC3\xBC", 850, "\x82\x81"},
        {"\xD0\x96", 866, "\x86"},                             // Cyrillic capital Zhe
        {"\xE6\x97\xA5\xE6\x9C\xAC", 932, "\x93\xFA\x96\x7B"}, // "Japan", two double-byte chars
        {"\xE2\x82\xAC", 1252, "\x80"},                        // the euro sign
        {"\xF0\x9F\x98\x80", 65001, "\xF0\x9F\x98\x80"},       // UTF-8 is written as it is
        {"plain", 437, "plain"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.codePage);
        std::string bytes;
        ASSERT_EQ(utf8ToCodePage(entry.utf8, entry.codePage, bytes), IconvConversion::Ok);
        EXPECT_EQ(bytes, entry.bytes);
    }
    std::string bytes = "left over";
    EXPECT_EQ(utf8ToCodePage("\xE2\x82\xAC", 437, bytes), IconvConversion::Unrepresentable);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(utf8ToCodePage("a\xE6\x97\xA5", 1252, bytes), IconvConversion::Unrepresentable);
    EXPECT_EQ(utf8ToCodePage("a", 1, bytes), IconvConversion::UnknownCodePage);
}

// A new empty folder, removed with what it holds at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/corvane-cli-XXXXXX";
        path_ = mkdtemp(pattern) != nullptr ? pattern : "";
    }
    ~ScratchFolder() {
        for (const std::string& name : names()) {
            std::remove((path_ + "/" + name).c_str());
        }
        rmdir(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] std::string file(const std::string& name) const { return path_ + "/" + name; }
    [[nodiscard]] std::vector<std::string> names() const {
        std::vector<std::string> found;
        if (DIR* folder = opendir(path_.c_str())) {
            while (const dirent* entry = readdir(folder)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") {
                    found.push_back(name);
                }
            }
            closedir(folder);
        }
        return found;
    }

private:
    std::string path_;
};

std::string readAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(ReplacingWrite, ReplacesWholeLeavesNoTemporaryFileAndKeepsTheOldOnFailure) {
    ScratchFolder folder;
    const std::string path = folder.file("s.cmd");
    writeAll(path, std::string(1000, 'x'));
    int error = 0;
    ASSERT_TRUE(writeFileReplacing(path, "new\r\n", error));
    EXPECT_EQ(readAll(path), "new\r\n");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"s.cmd"});

    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);

    // A folder in the way of the destination: the rename fails after the full write.
    ASSERT_EQ(mkdir(folder.file("d").c_str(), 0700), 0);
    writeAll(folder.file("d/keep"), "k");
    EXPECT_FALSE(writeFileReplacing(folder.file("d"), "lost", error));
    EXPECT_NE(error, 0);
    EXPECT_EQ(readAll(folder.file("d/keep")), "k");
    std::remove(folder.file("d/keep").c_str());
    rmdir(folder.file("d").c_str());
    EXPECT_EQ(folder.names(), std::vector<std::string>{"s.cmd"});

    // The permissions of a replaced file stay; a link stays a link and its target is replaced.
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(symlink("s.cmd", folder.file("link.cmd").c_str()), 0);
    ASSERT_TRUE(writeFileReplacing(folder.file("link.cmd"), "through the link", error));
    EXPECT_EQ(readAll(path), "through the link");
    ASSERT_EQ(lstat(folder.file("link.cmd").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640U);
    std::remove(folder.file("link.cmd").c_str());

    EXPECT_FALSE(writeFileReplacing(folder.file("missing/s.cmd"), "x", error));
    EXPECT_EQ(error, ENOENT);
}

// Runs the native program with its standard streams in files; returns its exit status.
int runProgram(const std::vector<std::string>& arguments, const ScratchFolder& folder) {
    std::vector<std::string> all = {CORVANE_SCRIPT_PROGRAM};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, folder.file("out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, folder.file("err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(NativeProgram, WritesTheFileEncodesWithIconvAndExitsWithItsStatus) {
    ScratchFolder folder;
    writeAll(folder.file("p.txt"), "etl-out-path = /traces/M\xC3\xBCller.etl\nheap = yes\n");
    const std::string script = folder.file("s.cmd");

    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", script}, folder), 1);
    EXPECT_NE(readAll(folder.file("err")).find("--code-page N"), std::string::npos);
    EXPECT_EQ(access(script.c_str(), F_OK), -1);

    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", script, "--code-page", "850"}, folder), 0);
    EXPECT_EQ(readAll(folder.file("err")), "");
    EXPECT_NE(readAll(script).find("xperf.exe \"/traces/M\x81ller.etl\"\r\n"), std::string::npos);

    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", script, "--code-page", "850"}, folder), 2);
    EXPECT_EQ(readAll(folder.file("err")),
              "corvane-script: '" + script + "' exists; give --force to replace it\n");
    EXPECT_EQ(runProgram({folder.file("p.txt"), "--stdout", "--code-page", "65001"}, folder), 0);
    EXPECT_NE(readAll(folder.file("out")).find("M\xC3\xBCller"), std::string::npos);

    EXPECT_EQ(runProgram({"--version"}, folder), 0);
    EXPECT_EQ(readAll(folder.file("out")), "1.0.0.1\n");
    EXPECT_EQ(runProgram({"--list", "providers"}, folder), 1);
    EXPECT_EQ(
        runProgram({folder.file("p.txt"), "-o", folder.file("none/s.cmd"), "--code-page", "850"},
                   folder),
        2);
    EXPECT_EQ(readAll(folder.file("err")), "corvane-script: cannot write '" +
                                               folder.file("none/s.cmd") +
                                               "': No such file or directory\n");
}

} // namespace
} // namespace corvane
