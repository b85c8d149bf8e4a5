// corvane-script --recorder wpr: the .wprp profile and its script are written both or neither,
// and what refuses the xperf script refuses the pair.
#include "cli/script_tool.h"
#include "tests/cli/fake_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::FakeHost;
using Files = std::map<std::wstring, std::string>;

constexpr char kProfile[] = "etl-out-path = C:\\traces\\out.etl\nkernel-flag = PROC_THREAD\n"
                            "heap = yes\nprocess-name-or-pid = notepad\n";

// The command line's words, split at blanks.
std::vector<std::wstring> words(const std::wstring& line) {
    std::vector<std::wstring> result;
    for (std::size_t start = 0; start < line.size();) {
        const std::size_t end = std::min(line.find(L' ', start), line.size());
        result.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

TEST(WprPair, NamesTheProfileAfterTheScriptAndTheScriptFindsItInItsFolder) {
    // The arguments, the script, the profile beside it, and the profile's name on the start line.
    const std::vector<std::vector<std::wstring>> cases = {
        {L"-o out/capture.cmd", L"out/capture.cmd", L"out/capture.wprp", L"capture.wprp"},
        {L"", L"20240105_093000.cmd", L"20240105_093000.wprp", L"20240105_093000.wprp"},
        {L"-o D:\\k.it\\run", L"D:\\k.it\\run", L"D:\\k.it\\run.wprp", L"run.wprp"},
        {L"-o run.BAT", L"run.BAT", L"run.wprp", L"run.wprp"},
    };
    for (const std::vector<std::wstring>& entry : cases) {
        SCOPED_TRACE(toUtf8(entry[1]));
        FakeHost host;
        host.files[L"p.txt"] = kProfile;
        ASSERT_EQ(host.run(words(L"p.txt --recorder wpr " + entry[0])), kExitDone)
            << toUtf8(host.errors);
        ASSERT_EQ(host.files.size(), 3U);
        const std::string start =
            "wpr.exe\" -start \"%~dp0" + toUtf8(entry[3]) + "!Corvane\" -filemode";
        EXPECT_NE(host.files[entry[1]].find(start), std::string::npos);
        EXPECT_EQ(host.files[entry[2]].rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0), 0U);
    }
}

TEST(WprPair, AFailureOfEitherFileLeavesEveryNameAsItWas) {
    struct Case {
        const char* what;
        Files before; // beside the profile p.txt
        std::wstring unwritable;
        bool force;
    };
    const Case cases[] = {
        {"the script's name is taken", {{L"c.cmd", "mine"}}, L"", false},
        {"the profile's name is taken", {{L"c.wprp", "mine"}}, L"", false},
        {"the script cannot be written", {}, L"c.cmd", false},
        {"the script cannot replace its earlier file",
         {{L"c.wprp", "earlier profile"}, {L"c.cmd", "earlier script"}},
         L"c.cmd",
         true},
        {"the profile cannot be written", {{L"c.cmd", "earlier script"}}, L"c.wprp", true},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.what);
        FakeHost host;
        host.files = entry.before;
        host.files[L"p.txt"] = kProfile;
        host.unwritableFolders = {entry.unwritable.empty() ? L"none" : entry.unwritable};
        const Files files = host.files;
        const std::wstring force = entry.force ? L" --force" : L"";
        EXPECT_EQ(host.run(words(L"p.txt --recorder wpr -o c.cmd" + force)), kExitNotWritten);
        EXPECT_EQ(host.files, files) << toUtf8(host.errors);
    }
}

TEST(WprPair, RefusesStandardOutputAndWhatTheXperfScriptRefusesWritingNothing) {
    // The arguments after the profile, a line added to it, and what the message says.
    const std::vector<std::vector<std::wstring>> cases = {
        {L"--recorder wpr --stdout", L"", L"not --stdout"},
        {L"--stdout", L"recorder = wpr", L"not --stdout"},
        {L"--recorder wpr", L"file-mode = Append", L"no WPR form"},
        {L"--recorder wpr", L"file-mode = NewFile", L"no WPR form"},
        {L"--recorder wpr", L"session-name = A&B", L"session-name holds '&'"},
        {L"--recorder wpr", L"heap-path = C:\\h\\", L"heap-path"},
        {L"--recorder wpr --set etl-out-path=%TEMP%\\x.etl", L"", L"not Corvane's to trust"},
        {L"--recorder wpr -o 100%.cmd", L"", L"holds '%'"},
        {L"--recorder wpr -o a!b.cmd", L"", L"holds '!'"},
        {L"--recorder wpr -o x.WPRP", L"", L"does not end in .wprp"},
        {L"--recorder wpr --set etl-out-path=C:\\" + std::wstring(8200, L'x'), L"",
         L"8,191 that the command prompt reads"},
        {L"--recorder wpr --strict", L"kernel-path = D:\\k.etl", L"--strict"},
        {L"--recorder lttng", L"", L"takes xperf or wpr"},
        {L"", L"recorder = wrp", L"did you mean 'wpr'"},
        {L"--recorder wpr --set recorder=xperf", L"", L"set twice"},
        {L"--recorder wpr", L"kernel-flag = HAL_CLOCK", L"drop kernel-flag = HAL_CLOCK"},
        {L"", L"wpr-logging = memory", L"wpr-logging = memory is for --recorder wpr"},
        {L"--recorder wpr", L"wpr-logging = memroy", L"did you mean 'memory'"},
    };
    for (const std::vector<std::wstring>& entry : cases) {
        SCOPED_TRACE(toUtf8(entry[2]));
        FakeHost host;
        host.files[L"p.txt"] = kProfile + toUtf8(entry[1]) + "\n";
        const Files files = host.files;
        EXPECT_EQ(host.run(words(L"p.txt " + entry[0])), kExitBadInput);
        EXPECT_NE(host.errors.find(entry[2]), std::wstring::npos) << toUtf8(host.errors);
        EXPECT_EQ(host.files, files);
        EXPECT_EQ(host.output, "");
    }
}

// A flight recorder starts without -filemode. The memory warning counts the buffers as each
// recorder takes them: xperf's two sessions may grow to max-buffers; WPR's two collectors take
// their one count at the start, min-buffers to files, the larger count in memory.
TEST(WprPair, InMemoryStartsWithoutFileModeAndBuffersAreCountedAsEachRecorderTakesThem) {
    const std::wstring large = L" --set buffer-size-kb=1024 --set max-buffers=1024";
    const std::vector<std::vector<std::wstring>> cases = {
        {L"--stdout" + large, L"may take up to 2,048 MB"},
        {L"--recorder wpr -o a.cmd" + large, L""},
        {L"--recorder wpr -o a.cmd --set wpr-logging=memory" + large, L"take 2,048 MB"},
    };
    for (const std::vector<std::wstring>& entry : cases) {
        SCOPED_TRACE(toUtf8(entry[0]));
        FakeHost host;
        host.files[L"p.txt"] = kProfile;
        ASSERT_EQ(host.run(words(L"p.txt " + entry[0])), kExitDone) << toUtf8(host.errors);
        const bool warned = host.errors.find(L"never pages out") != std::wstring::npos;
        EXPECT_EQ(warned, !entry[1].empty()) << toUtf8(host.errors);
        EXPECT_NE(host.errors.find(entry[1]), std::wstring::npos) << toUtf8(host.errors);
    }
    FakeHost host;
    host.files[L"p.txt"] = kProfile + std::string("wpr-logging = memory\n");
    ASSERT_EQ(host.run(words(L"p.txt --recorder wpr -o a.cmd")), kExitDone);
    EXPECT_EQ(host.files[L"a.cmd"].find("-filemode"), std::string::npos);
    EXPECT_NE(host.files[L"a.cmd"].find("!Corvane\""), std::string::npos);
}

} // namespace
} // namespace corvane
