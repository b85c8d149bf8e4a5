// The native program run as a process on real files.
#include "tests/support/scratch_folder_posix.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane {
namespace {

// Runs the native program with its standard streams in files and `resource` limited to `most`;
// returns its exit status.
int runProgram(const std::vector<std::string>& arguments, const ScratchFolder& folder,
               int resource = RLIMIT_AS, rlim_t most = RLIM_INFINITY) {
    std::vector<std::string> all = {CORVANE_SCRIPT_PROGRAM};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const std::string out = folder.file("out");
    const std::string err = folder.file("err");
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{most, most};
        const int flags = O_WRONLY | O_CREAT | O_TRUNC;
        if (dup2(open(out.c_str(), flags, 0644), 1) == 1 &&
            dup2(open(err.c_str(), flags, 0644), 2) == 2 && setrlimit(resource, &limit) == 0) {
            execv(argv[0], argv.data());
        }
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
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

    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", script, "--code-page", "500"}, folder), 1);
    EXPECT_EQ(readAll(folder.file("err")),
              "corvane-script: The command prompt's code page does not write ASCII characters as "
              "ASCII (an EBCDIC code page does not), so cmd.exe could not read the script. (code "
              "page 500)\n");
    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", script, "--code-page", "850"}, folder), 0);
    EXPECT_EQ(readAll(folder.file("err")), "");
    EXPECT_NE(readAll(script).find("xperf.exe \"/traces/M\x81ller.etl\"\r\n"), std::string::npos);

    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", script, "--code-page", "850"}, folder), 2);
    EXPECT_EQ(readAll(folder.file("err")),
              "corvane-script: '" + script + "' exists; give --force to replace it\n");
    EXPECT_EQ(runProgram({folder.file("p.txt"), "--stdout", "--code-page", "65001"}, folder), 0);
    EXPECT_NE(readAll(folder.file("out")).find("M\xC3\xBCller"), std::string::npos);

    // Past the file size limit the write fails, is reported and leaves no temporary file.
    const std::string big = folder.file("big.cmd");
    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", big, "--code-page", "850"}, folder,
                         RLIMIT_FSIZE, 512),
              2);
    EXPECT_EQ(readAll(folder.file("err")),
              "corvane-script: cannot write '" + big + "': File too large\n");
    EXPECT_EQ(sorted(folder.names()), (std::vector<std::string>{"err", "out", "p.txt", "s.cmd"}));

    EXPECT_EQ(runProgram({"--version"}, folder), 0);
    EXPECT_EQ(readAll(folder.file("out")), "1.0.0.1\n");
    EXPECT_EQ(runProgram({"--list", "providers"}, folder), 1);
    EXPECT_EQ(
        runProgram({folder.file("p.txt"), "-o", folder.file("none/s.cmd"), "--code-page", "850"},
                   folder),
        2);
    EXPECT_EQ(readAll(folder.file("err")), "corvane-script: cannot write '" +
                                               folder.file("none/s.cmd") + "': the folder '" +
                                               folder.file("none") + "' does not exist\n");
}

TEST(NativeProgram, CountsTheLineLimitInTheBytesOfTheCodePage) {
    ScratchFolder folder;
    // The user session's line with one provider of `accents` U+00E9 (two bytes in UTF-8) and
    // `letters` x: the exit status, and the line's bytes when it is written.
    const auto run = [&](std::size_t accents, std::size_t letters) {
        std::string provider;
        for (std::size_t i = 0; i < accents; ++i) {
            provider += "\xC3\xA9";
        }
        provider.append(letters, 'x'); // 0xA9 may not meet the closing quote
        writeAll(folder.file("p.txt"), "etl-out-path = /t.etl\nprovider = " + provider + "\n");
        const int status =
            runProgram({folder.file("p.txt"), "--stdout", "--code-page", "65001"}, folder);
        const std::string script = readAll(folder.file("out"));
        const std::size_t start = script.find("xperf.exe -start");
        return std::make_pair(status, script.find("\r\n", start) - start);
    };
    const std::size_t frame = run(0, 1).second - 1;
    // 3,000 accents: about 5,200 characters, far below the limit in characters.
    EXPECT_EQ(run(3000, 8191 - frame - 6000), std::make_pair(0, std::size_t{8191}));
    EXPECT_EQ(run(3000, 8192 - frame - 6000).first, 1);
    EXPECT_NE(readAll(folder.file("err")).find("would be 8,192 bytes long in code page 65001"),
              std::string::npos);
}

TEST(NativeProgram, NamesAFolderOnTheWayThatAnotherUserCouldChangeAndItsOwner) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to give a folder to another user";
    }
    ScratchFolder folder;
    writeAll(folder.file("p.txt"), "etl-out-path = /t.etl\nheap = yes\n");
    const std::string theirs = folder.file("theirs");
    ASSERT_EQ(mkdir(theirs.c_str(), 0755), 0);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0); // nobody
    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", theirs + "/s.cmd"}, folder), 2);
    EXPECT_EQ(readAll(folder.file("err")),
              "corvane-script: cannot write '" + theirs + "/s.cmd': the folder '" + theirs +
                  "' on the way belongs to nobody, who could change what the path leads to\n");
    rmdir(theirs.c_str());

    // Ours, but the group of the user nobody may write to it; then everyone may.
    const std::string shared = folder.file("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(chown(shared.c_str(), 0, 65534), 0);
    ASSERT_EQ(chmod(shared.c_str(), 0775), 0);
    const group* nobodysGroup = getgrgid(65534); // nogroup on Debian, nobody on Fedora
    ASSERT_NE(nobodysGroup, nullptr);
    const std::string refused = "corvane-script: cannot write '" + shared +
                                "/s.cmd': the folder '" + shared + "' on the way belongs to root, ";
    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", shared + "/s.cmd"}, folder), 2);
    EXPECT_EQ(readAll(folder.file("err")),
              refused + "but it may be written by members of group '" + nobodysGroup->gr_name +
                  "' and is not sticky, so they could change what the path leads to\n");
    ASSERT_EQ(chmod(shared.c_str(), 0777), 0);
    EXPECT_EQ(runProgram({folder.file("p.txt"), "-o", shared + "/s.cmd"}, folder), 2);
    EXPECT_EQ(readAll(folder.file("err")),
              refused + "but others may write to it and it is not sticky, so they could change "
                        "what the path leads to\n");
    rmdir(shared.c_str());
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true; // which needs far more address space than it uses
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST(NativeProgram, ReadsNoMoreOfAProfileThanItMayHoldAndSaysWhyItCannotRead) {
    ScratchFolder folder;
    const std::string script = folder.file("s.cmd");
    EXPECT_EQ(runProgram({folder.file(""), "-o", script}, folder), 1);
    EXPECT_EQ(readAll(folder.file("err")), "corvane-script: cannot read the profile '" +
                                               folder.file("") + "': Is a directory\n");
    // An endless profile.
    EXPECT_EQ(runProgram({"/dev/zero", "-o", script}, folder), 1);
    EXPECT_EQ(readAll(folder.file("err")), "corvane-script: the profile '/dev/zero' is larger than "
                                           "16 MiB, the most it may hold\n");
    if (!kAddressSanitizer) {
        EXPECT_EQ(runProgram({"/dev/zero", "-o", script}, folder, RLIMIT_AS, 32U << 20), 4);
        EXPECT_EQ(readAll(folder.file("err")), "corvane-script: out of memory\n");
    }
    EXPECT_EQ(access(script.c_str(), F_OK), -1);
}

} // namespace
} // namespace corvane
