// corvane-script --recorder wpr: the .wprp profile and its script are written both or neither,
// and what refuses the xperf script refuses the pair.
#include "cli/script_tool.h"
#include "tests/cli/fake_host.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::FakeHost;

constexpr char kProfile[] = "etl-out-path = C:\\traces\\out.etl\n"
                            "kernel-flag = PROC_THREAD\n"
                            "heap = yes\n"
                            "process-name-or-pid = notepad\n";

FakeHost hostWithProfile(const std::string& extra = "") {
    FakeHost host;
    host.files[L"p.txt"] = kProfile + extra;
    return host;
}

TEST(WprPair, NamesTheProfileAfterTheScriptAndTheScriptFindsItInItsFolder) {
    struct Case {
        std::vector<std::wstring> output; // the -o option, or none
        const wchar_t* script;
        const wchar_t* profile;
        const wchar_t* start; // the start line's profile path
    };
    const Case cases[] = {
        {{L"-o", L"out/capture.cmd"}, L"out/capture.cmd", L"out/capture.wprp", L"capture.wprp"},
        {{}, L"20240105_093000.cmd", L"20240105_093000.wprp", L"20240105_093000.wprp"},
        {{L"-o", L"D:\\k.it\\run"}, L"D:\\k.it\\run", L"D:\\k.it\\run.wprp", L"run.wprp"},
        {{L"-o", L"run.BAT"}, L"run.BAT", L"run.wprp", L"run.wprp"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.script);
        FakeHost host = hostWithProfile();
        std::vector<std::wstring> arguments = {L"p.txt", L"--recorder", L"wpr"};
        arguments.insert(arguments.end(), entry.output.begin(), entry.output.end());
        ASSERT_EQ(host.run(arguments), kExitDone) << toUtf8(host.errors);
        ASSERT_EQ(host.files.size(), 3U);
        const std::string& script = host.files[entry.script];
        EXPECT_NE(script.find("wpr -start \"%~dp0" + toUtf8(entry.start) + "!Corvane\" -filemode"),
                  std::string::npos);
        EXPECT_EQ(host.files[entry.profile].rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0),
                  0U);
    }
}

TEST(WprPair, AFailureOfEitherFileLeavesEveryNameAsItWas) {
    struct Case {
        const char* what;
        std::map<std::wstring, std::string> before; // beside the profile p.txt
        std::vector<std::wstring> unwritable;
        bool force;
        int status;
    };
    const Case cases[] = {
        {"the script's name is taken", {{L"c.cmd", "mine"}}, {}, false, kExitNotWritten},
        {"the profile's name is taken", {{L"c.wprp", "mine"}}, {}, false, kExitNotWritten},
        {"the script cannot be written", {}, {L"c.cmd"}, false, kExitNotWritten},
        {"the script cannot replace its earlier file",
         {{L"c.wprp", "earlier profile"}, {L"c.cmd", "earlier script"}},
         {L"c.cmd"},
         true,
         kExitNotWritten},
        {"the profile cannot be written",
         {{L"c.cmd", "earlier script"}},
         {L"c.wprp"},
         true,
         kExitNotWritten},
        {"Append has no WPR form", {}, {}, true, kExitBadInput},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.what);
        FakeHost host =
            hostWithProfile(entry.status == kExitBadInput ? "file-mode = Append\n" : "");
        host.files.insert(entry.before.begin(), entry.before.end());
        host.unwritableFolders = entry.unwritable;
        const std::map<std::wstring, std::string> files = host.files;
        std::vector<std::wstring> arguments = {L"p.txt", L"--recorder", L"wpr", L"-o", L"c.cmd"};
        if (entry.force) {
            arguments.push_back(L"--force");
        }
        EXPECT_EQ(host.run(arguments), entry.status);
        EXPECT_EQ(host.files, files) << toUtf8(host.errors);
    }
}

TEST(WprPair, RefusesStandardOutputAndWhatTheXperfScriptRefuses) {
    struct Case {
        std::vector<std::wstring> arguments;
        std::string profileLine;
        const wchar_t* message;
    };
    const Case cases[] = {
        {{L"--recorder", L"wpr", L"--stdout"}, "", L"not --stdout"},
        {{L"--stdout"}, "recorder = wpr\n", L"not --stdout"},
        {{L"--set", L"recorder=wpr", L"--stdout"}, "", L"not --stdout"},
        {{L"--recorder", L"wpr"}, "file-mode = NewFile\n", L"no WPR form"},
        {{L"--recorder", L"wpr"}, "session-name = A&B\n", L"session-name holds '&'"},
        {{L"--recorder", L"wpr"}, "heap-path = C:\\h\\\n", L"heap-path"},
        {{L"--recorder", L"wpr", L"-o", L"100%.cmd"}, "", L"holds '%'"},
        {{L"--recorder", L"wpr", L"-o", L"a!b.cmd"}, "", L"holds '!'"},
        {{L"--recorder", L"wpr", L"-o", L"x.WPRP"}, "", L"does not end in .wprp"},
        {{L"--recorder", L"wpr"},
         "etl-out-path = C:\\" + std::string(8200, 'x') + "\n",
         L"8,191 that the command prompt reads"},
        {{L"--recorder", L"wpr", L"--strict"}, "kernel-path = D:\\k.etl\n", L"--strict"},
        {{L"--recorder", L"lttng"}, "", L"takes xperf or wpr"},
        {{}, "recorder = wrp\n", L"did you mean 'wpr'"},
        {{L"--recorder", L"wpr", L"--set", L"recorder=xperf"}, "", L"set twice"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(toUtf8(entry.message));
        FakeHost host;
        // A later line wins over nothing: a key set twice in one profile is refused, so the
        // base profile leaves out what a case sets.
        std::string profile = entry.profileLine.rfind("etl-out-path", 0) == 0
                                  ? entry.profileLine + "kernel-flag = PROC_THREAD\n"
                                  : std::string(kProfile) + entry.profileLine;
        host.files[L"p.txt"] = profile;
        std::vector<std::wstring> arguments = {L"p.txt"};
        arguments.insert(arguments.end(), entry.arguments.begin(), entry.arguments.end());
        const std::map<std::wstring, std::string> files = host.files;
        EXPECT_EQ(host.run(arguments), kExitBadInput);
        EXPECT_NE(host.errors.find(entry.message), std::wstring::npos) << toUtf8(host.errors);
        EXPECT_EQ(host.files, files);
        EXPECT_EQ(host.output, "");
    }
}

} // namespace
} // namespace corvane
