#include "cli/script_tool.h"
#include "encoding/utf8.h"
#include "script/capture_script.h"
#include "settings/catalogues.h"
#include "settings/descriptions.h"
#include "tests/cli/fake_host.h"
#include "tests/core/script_examples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace corvane {
namespace {

using testing::FakeHost;

// The script text the core makes for the example, as bytes: the examples are all ASCII.
std::string expectedBytes(const script_examples::ScriptExample& example) {
    // Lines 3 and 4 are the script's own comments; everything else is the example's text.
    const std::wstring built = BuildCaptureScript(example.settings).value_or(L"");
    const std::size_t third = built.find(L"\r\n", built.find(L"\r\n") + 2) + 2;
    const std::size_t fourth = built.find(L"\r\n", third) + 2;
    const std::wstring remark1 = built.substr(third, fourth - 2 - third);
    const std::wstring remark2 = built.substr(fourth, built.find(L"\r\n", fourth) - fourth);
    return toUtf8(script_examples::expectedScript(example, remark1, remark2));
}

struct ProfileExample {
    const char* example;
    const char* profile;
};

// Each example written as a user would write it: list names out of order, defaults left out.
const ProfileExample kProfileExamples[] = {
    {"worked example", "# the worked example\n"
                       "etl-out-path = D:\\traces\\20240105_093000.etl\n"
                       "kernel-flag = LOADER\n"
                       "kernel-flag = PROC_THREAD\n"
                       "stackwalk = ProcessCreate\n"
                       "stackwalk = CSwitch\n"
                       "provider = Microsoft-Windows-Win32k\n"
                       "provider = Microsoft-Windows-Shell-Core\n"
                       "log-stack = yes\n"
                       "heap = yes\n"
                       "process-name-or-pid = notepad\n"},
    {"kernel only", "etl-out-path = D:\\traces\\20240105_093000.etl\n"
                    "kernel-flag = PROC_THREAD\n"
                    "stackwalk = CSwitch\n"
                    "stackwalk = ProcessCreate\n"
                    "log-stack = yes\n"
                    "process-name-or-pid = notepad\n"},
    {"heap by pid", "etl-out-path = D:\\traces\\20240105_093000.etl\n"
                    "heap = yes\n"
                    "process-name-or-pid = 1234\n"},
    {"heap by name", "etl-out-path = D:\\traces\\20240105_093000.etl\n"
                     "heap = yes\n"
                     "process-name-or-pid = notepad.exe\n"},
};

TEST(ScriptToolExamples, ProfilesGiveTheDocumentedScriptsByteForByte) {
    for (const ProfileExample& entry : kProfileExamples) {
        SCOPED_TRACE(entry.example);
        const std::string expected = expectedBytes(script_examples::scriptExample(entry.example));
        FakeHost host;
        host.files[L"p.txt"] = entry.profile;
        EXPECT_EQ(host.run({L"p.txt", L"--stdout"}), kExitDone) << toUtf8(host.errors);
        EXPECT_EQ(host.output, expected);
        // Warnings only: the CSwitch stack walks of two examples have no CSWITCH to feed them.
        EXPECT_EQ(host.errors.find(L"corvane-script: "),
                  host.errors.find(L"corvane-script: warning: "));

        // The same bytes in a file, named after the time like the dialog's default name.
        EXPECT_EQ(host.run({L"p.txt"}), kExitDone) << toUtf8(host.errors);
        EXPECT_EQ(host.files[L"20240105_093000.cmd"], expected);
        EXPECT_EQ(host.output, "");
    }
}

TEST(ScriptToolOutput, DesktopDefaultAndAssignmentsAndForce) {
    FakeHost host;
    host.desktop = L"C:\\Users\\user\\Desktop"; // as on Windows
    host.now = LocalTime{2023, 12, 31, 23, 59, 59};
    host.files[L"p.txt"] = "kernel-flag = DPC\n";
    ASSERT_EQ(host.run({L"p.txt", L"-o", L"out.cmd", L"--set", L"session-name=Other"}), kExitDone);
    const std::string& script = host.files[L"out.cmd"];
    EXPECT_NE(script.find("-d \"C:\\Users\\user\\Desktop\\20231231_235959.etl\"\r\n"),
              std::string::npos);

    ASSERT_EQ(host.run({L"p.txt", L"-o", L"out.cmd", L"--set", L"kernel-flag=LOADER"}),
              kExitNotWritten);
    EXPECT_EQ(host.errors, L"corvane-script: 'out.cmd' exists; give --force to replace it\n");
    EXPECT_EQ(host.files[L"out.cmd"], script);
    ASSERT_EQ(host.run({L"p.txt", L"-o", L"out.cmd", L"--set", L"kernel-flag=LOADER", L"--force"}),
              kExitDone);
    EXPECT_NE(host.files[L"out.cmd"].find("xperf.exe -on LOADER+DPC -f"), std::string::npos);
}

TEST(ScriptToolOutput, NonAsciiTextIsWrittenInTheGivenCodePage) {
    FakeHost host;
    host.files[L"p.txt"] = "etl-out-path = D:\\Caf\xC3\xA9.etl\nheap = yes\n";
    ASSERT_EQ(host.run({L"p.txt", L"--stdout", L"--code-page", L"28591"}), kExitDone);
    EXPECT_NE(host.output.find("xperf.exe \"D:\\Caf\xE9.etl\"\r\n"), std::string::npos);
    // Where the platform has a command prompt, its code page is the default.
    host.promptCodePage = 28591;
    ASSERT_EQ(host.run({L"p.txt", L"--stdout"}), kExitDone);
    EXPECT_NE(host.output.find("xperf.exe \"D:\\Caf\xE9.etl\"\r\n"), std::string::npos);
}

TEST(ScriptToolLists, PrintCataloguesInListOrderAndProvidersSorted) {
    FakeHost host;
    ASSERT_EQ(host.run({L"--list", L"kernel"}), kExitDone);
    std::string expected;
    for (const wchar_t* name : KernelFlagCatalogue) {
        expected += toUtf8(name) + "\n";
    }
    EXPECT_EQ(host.output, expected);
    ASSERT_EQ(host.run({L"--list", L"file-modes"}), kExitDone);
    EXPECT_EQ(host.output, "Sequential\nCircular\nAppend\nNewFile\n");
    ASSERT_EQ(host.run({L"--list", L"stackwalk"}), kExitDone);
    EXPECT_EQ(host.output.substr(0, 14), "AlpcClosePort\n");

    EXPECT_EQ(host.run({L"--list", L"providers"}), kExitBadInput);
    EXPECT_EQ(host.errors, L"corvane-script: cannot list the providers: not here\n");
    host.providersListable = true;
    host.registeredProviders = {L"b", L"Caf\u00e9", L"a", L"b"};
    ASSERT_EQ(host.run({L"--list", L"providers"}), kExitDone);
    EXPECT_EQ(host.output, "a\nb\nb\nCaf\xC3\xA9\n");

    ASSERT_EQ(host.run({L"--version"}), kExitDone);
    EXPECT_EQ(host.output, "1.0.0.1\n");
    ASSERT_EQ(host.run({L"--help"}), kExitDone);
    EXPECT_EQ(host.output.rfind("Usage:\n", 0), 0U);
}

TEST(ScriptToolLists, DescribeLinesUpEachKernelNameWithItsDescriptionAndAGroupsFlags) {
    FakeHost host;
    ASSERT_EQ(host.run({L"--list", L"kernel", L"--describe"}), kExitDone);
    std::istringstream lines(host.output);
    std::string line;
    std::size_t column = 0;
    for (const wchar_t* name : KernelFlagCatalogue) {
        ASSERT_TRUE(std::getline(lines, line)) << "one line per name";
        const std::string nameText = toUtf8(name);
        ASSERT_EQ(line.rfind(nameText + "  ", 0), 0U) << line;
        const std::size_t start = line.find_first_not_of(' ', nameText.size());
        column = column == 0 ? start : column;
        EXPECT_EQ(start, column) << "descriptions start in one column: " << line;
        EXPECT_EQ(line.substr(start).rfind(toUtf8(describeKernelEntry(name)->description), 0), 0U);
    }
    EXPECT_FALSE(std::getline(lines, line));
    EXPECT_NE(host.output.find("\nNetwork          Network traffic with processes and images "
                               "(PROC_THREAD+LOADER+NETWORKTRACE)\n"),
              std::string::npos);

    const std::wstring refusal =
        L"corvane-script: --describe goes with --list kernel or --list "
        L"stackwalk; the file modes' rules are in --template (see --help)\n";
    EXPECT_EQ(host.run({L"--list", L"file-modes", L"--describe"}), kExitBadInput);
    EXPECT_EQ(host.errors, refusal);
    EXPECT_EQ(host.run({L"--describe"}), kExitBadInput);
    EXPECT_EQ(host.errors, refusal);
    EXPECT_EQ(host.output, "");
}

TEST(ScriptToolLists, DescribeGivesEachStackWalkItsFlag) {
    FakeHost host;
    ASSERT_EQ(host.run({L"--list", L"stackwalk", L"--describe"}), kExitDone);
    EXPECT_EQ(std::count(host.output.begin(), host.output.end(), '\n'), 127);
    EXPECT_NE(host.output.find("\nReadyThread                  A waiting thread is made ready to "
                               "run; recorded only with DISPATCHER\n"),
              std::string::npos);
    EXPECT_NE(host.output.find(" (xperf -m); its flag is not documented\n"), std::string::npos);
}

TEST(ScriptToolWarnings, GoToStandardErrorAndStrictRefusesToWrite) {
    FakeHost host;
    host.files[L"p.txt"] = "etl-out-path = D:\\t.etl\nkernel-flag = Base\nstackwalk = Profile\n"
                           "stackwalk = ReadyThread\nfile-mode = Append\nmin-buffers = 400\n";
    EXPECT_EQ(host.run({L"p.txt", L"-o", L"a.cmd"}), kExitDone);
    EXPECT_NE(host.files[L"a.cmd"].find("-stackwalk Profile+ReadyThread"), std::string::npos);
    const std::wstring warnings = host.errors;
    EXPECT_EQ(warnings.rfind(L"corvane-script: warning: stackwalk ReadyThread records no stacks: "
                             L"ReadyThread is recorded only with DISPATCHER, which is not "
                             L"selected",
                             0),
              0U);

    EXPECT_EQ(host.run({L"p.txt", L"-o", L"b.cmd", L"--strict"}), kExitBadInput);
    EXPECT_EQ(host.errors, warnings + L"corvane-script: --strict: nothing written, as the "
                                      L"profile has 3 warnings\n");
    EXPECT_EQ(host.files.count(L"b.cmd"), 0U);
    EXPECT_EQ(host.run({L"p.txt", L"-o", L"b.cmd", L"--strict", L"--set", L"file-mode=Sequential",
                        L"--set", L"min-buffers=64", L"--set", L"kernel-flag=DISPATCHER"}),
              kExitDone);
    EXPECT_EQ(host.errors, L"");
}

TEST(ScriptToolWarnings, StrictRefusesASingleWarningThatSaysHowMuchMemory) {
    FakeHost host;
    host.files[L"p.txt"] = "etl-out-path = D:\\t.etl\nkernel-flag = Base\nbuffer-size-kb = 1024\n"
                           "max-buffers = 1025\n";
    EXPECT_EQ(host.run({L"p.txt", L"-o", L"s.cmd", L"--strict"}), kExitBadInput);
    EXPECT_EQ(host.files.count(L"s.cmd"), 0U);
    EXPECT_EQ(host.errors,
              L"corvane-script: warning: the sessions' buffers may take up to 1,025 MB of memory "
              L"that Windows never pages out (buffer-size-kb times max-buffers, for each session "
              L"that the script starts), more than a gigabyte: lower max-buffers or "
              L"buffer-size-kb unless the machine has that memory to spare\n"
              L"corvane-script: --strict: nothing written, as the profile has 1 warning\n");
}

struct BadRun {
    const char* profile;
    std::vector<std::wstring> arguments; // after the profile's name
    int status;
    const wchar_t* message;
};

// 200 providers of 32 characters with call stacks: a user session's line of 9,120 characters.
const std::string kTooManyProviders = [] {
    std::string profile = "etl-out-path = D:\\o.etl\nlog-stack = yes\n";
    for (int i = 100000; i < 100200; ++i) {
        profile += "provider = Microsoft-Windows-Kernel-P" + std::to_string(i) + "\n";
    }
    return profile;
}();

// Every one ends with the message on standard error and nothing written anywhere.
const BadRun kBadRuns[] = {
    {kTooManyProviders.c_str(),
     {},
     kExitBadInput,
     L"the user session's command line (line 15 of the script) would be 9,120 characters long, "
     L"929 more than the 8,191 that the command prompt reads; about 179 of the 200 selected "
     L"providers would fit. Select fewer providers, or use a shorter User Path or Session name."},
    {"etl-out-path = D:\\o.etl\nkernel-flag = DPC\n",
     {L"--set", L"kernel-path=" + std::wstring(8100, L'x')},
     kExitBadInput,
     L"the kernel session's command line (line 13 of the script) would be 8,203 characters long, "
     L"12 more than the 8,191 that the command prompt reads. Select fewer kernel flags or stack "
     L"walks, or use a shorter Kernel Path."},
    {"etl-out-path = D:\\o.etl\nheap = yes\nheap-path = a\rb\n",
     {},
     kExitBadInput,
     L"p.txt: line 3: heap-path holds a control character (U+000D), which the command prompt "
     L"would not read as written"},
    {"etl-out-path = D:\\o.etl\nprovider = Acme\x1A\n",
     {},
     kExitBadInput,
     L"p.txt: line 2: provider holds a control character (U+001A), which the command prompt "
     L"would not read as written"},
    {"etl-out-path = D:\\o.etl\nheap = yes\n",
     {L"--set", L"session-name=Vell\ndel /q C:\\important\\*"},
     kExitBadInput,
     L"--set session-name holds a control character (U+000A), which the command prompt would "
     L"not read as written"},
    {"etl-out-path = D:\\o.etl\nsession-name = Vell&calc\nprovider = Acme\n",
     {},
     kExitBadInput,
     L"p.txt: line 2: session-name holds '&', which the command prompt reads as the start of "
     L"another command"},
    {"etl-out-path = D:\\o.etl\nprovider = Acme\n",
     {L"--set", L"session-name=" + std::wstring(8150, L'S')},
     kExitBadInput,
     L"the user session's command line (line 15 of the script) would be 8,273 characters long, "
     L"82 more than the 8,191 that the command prompt reads; not even one provider fits, as "
     L"--set session-name alone is 8,150 characters long. Shorten it."},
    {"etl-out-path = D:\\o.etl\n# 2\n# 3\n# 4\n# 5\n\nkernel-flag = CSWTICH\n",
     {},
     kExitBadInput,
     L"p.txt: line 7: unknown kernel flag 'CSWTICH'; did you mean 'CSWITCH'?"},
    {"stackwalk = cswitch\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: unknown stack-walk event 'cswitch'; did you mean 'CSwitch'?"},
    {"bufer-size-kb = 64\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: unknown key 'bufer-size-kb'; did you mean 'buffer-size-kb'?"},
    {"file-mode = sequential\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: unknown file mode 'sequential'; did you mean 'Sequential'?"},
    {"\nbuffer-size-kb = 3\n",
     {},
     kExitBadInput,
     L"p.txt: line 2: buffer-size-kb must be a whole number from 4 to 1024, not '3'"},
    {"buffer-size-kb = 1025\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: buffer-size-kb must be a whole number from 4 to 1024, not '1025'"},
    {"max-file-size-mb = 4294967296\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: max-file-size-mb must be a whole number from 0 to 4294967295, not "
     L"'4294967296'"},
    {"min-buffers = -1\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: min-buffers must be a whole number from 0 to 4294967295, not '-1'"},
    {"max-buffers =\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: max-buffers must be a whole number from 0 to 4294967295, not ''"},
    {"log-stack = maybe\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: log-stack must be yes or no, not 'maybe'"},
    {"session-name =  \n", {}, kExitBadInput, L"p.txt: line 1: session-name must not be empty"},
    {"provider = \"\"\n", {}, kExitBadInput, L"p.txt: line 1: provider must not be empty"},
    {"heap-path = a\nheap-path = b\n",
     {},
     kExitBadInput,
     L"p.txt: line 2: heap-path is set twice; first at line 1"},
    {"kernel-flag = DPC\nkernel-flag = DPC\n",
     {},
     kExitBadInput,
     L"p.txt: line 2: kernel flag 'DPC' is listed twice; first at line 1"},
    {"kernel-flag DPC\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: expected 'key = value', not 'kernel-flag DPC'"},
    {"# ok\nsession-name = Caf\xE9\n",
     {},
     kExitBadInput,
     L"p.txt: line 2: the profile is not UTF-8 text"},
    {"\xFF\xFEk\0", {}, kExitBadInput, L"p.txt: line 1: the profile is not UTF-8 text"},
    {"etl-out-path = D:\\o.etl\nstackwalk = CSwitch\n",
     {},
     kExitBadInput,
     L"nothing to trace: select at least one kernel-flag or provider, or set heap = yes"},
    {"kernel-flag = DPC\n",
     {},
     kExitBadInput,
     L"the profile sets no etl-out-path, and there is no desktop folder for its default (there "
     L"is one only on Windows): add 'etl-out-path = FILE'"},
    {"etl-out-path = D:\\o.etl\nprovider = Caf\xC3\xA9\n",
     {},
     kExitBadInput,
     L"the script holds non-ASCII text, and there is no command prompt here to take its code "
     L"page from: give the code page of the machine that will run it (chcp shows it there) with "
     L"--code-page N"},
    {"etl-out-path = D:\\o.etl\nprovider = \xE2\x82\xAC\n",
     {L"--code-page", L"28591"},
     kExitBadInput,
     L"The script contains characters that the command prompt's code page cannot represent. "
     L"(code page 28591)"},
    {"etl-out-path = D:\\o.etl\nheap = yes\n",
     {L"--code-page", L"1234"},
     kExitBadInput,
     L"code page 1234 is not available here"},
    {"etl-out-path = D:\\o.etl\nheap = yes\n",
     {L"--set", L"heap=on"},
     kExitBadInput,
     L"--set heap=on: heap must be yes or no, not 'on'"},
    {"etl-out-path = D:\\o.etl\nheap = yes\n",
     {L"-o", L"locked\\x.cmd"},
     kExitNotWritten,
     L"cannot write 'locked\\x.cmd': access denied"},
    {"etl-out-path = D:\\o.etl\nheap = yes\n",
     {L"-o", L"p.txt"},
     kExitNotWritten,
     L"'p.txt' exists; give --force to replace it"},
    // A value that xperf would read as an option, a name it would cut, one it would take twice.
    {"etl-out-path = \"-stop\"\nheap = yes\n",
     {},
     kExitBadInput,
     L"p.txt: line 1: etl-out-path starts with '-', which xperf reads as the start of one of its "
     L"options (quotes around a value do not reach xperf)"},
    {"etl-out-path = D:\\o.etl\nprovider = IIS: WWW Server\n",
     {},
     kExitBadInput,
     L"p.txt: line 2: provider holds ':', which xperf reads as the end of the name and the start "
     L"of the provider's keywords and level, quoted or not. Give the provider by its GUID "
     L"instead, such as {22fb2cd6-0e7b-422b-a0c7-2fad1fd0e716} (xperf -providers shows the GUID "
     L"of each). The keywords and level follow the name or GUID in quotes: provider = "
     L"\"{22fb2cd6-0e7b-422b-a0c7-2fad1fd0e716}\" keywords=MASK level=LEVEL"},
    // xperf's own form, which the profile writes with options.
    {"etl-out-path = D:\\o.etl\nprovider = Name:0x10:5\n",
     {},
     kExitBadInput,
     L"p.txt: line 2: provider holds ':', which xperf reads as the end of the name and the start "
     L"of the provider's keywords and level, quoted or not. Give the provider by its GUID "
     L"instead, such as {22fb2cd6-0e7b-422b-a0c7-2fad1fd0e716} (xperf -providers shows the GUID "
     L"of each). The keywords and level follow the name or GUID in quotes: provider = \"Name\" "
     L"keywords=0x10 level=5"},
    {"provider = Acme\nprovider = ACME\n",
     {},
     kExitBadInput,
     L"p.txt: line 2: provider 'ACME' differs only in case from 'Acme' at line 1, and xperf reads "
     L"provider names without regard to case: list it once"},
    {"", {L"--stdout", L"-o", L"x.cmd"}, kExitBadInput, L"give -o FILE or --stdout, not both"},
    {"", {L"-o", L""}, kExitBadInput, L"-o needs a file name, and '' names none (see --help)"},
    {"",
     {L"--code-page", L"0"},
     kExitBadInput,
     L"--code-page takes one code page number from 1 to 65535, such as 437 or 65001, not '0' "
     L"(see --help)"},
    {"",
     {L"--out", L"x.cmd"},
     kExitBadInput,
     L"unknown option '--out'; did you mean '-o'? (see --help)"},
    {"",
     {L"--set", L"kernel-flag", L"CSWITCH"},
     kExitBadInput,
     L"--set takes key=value as one argument: --set kernel-flag=CSWITCH (see --help)"},
    {"",
     {L"--froce"},
     kExitBadInput,
     L"unknown option '--froce'; did you mean '--force'? (see --help)"},
    {"",
     {L"other.txt"},
     kExitBadInput,
     L"one profile at a time: 'p.txt' and 'other.txt' (see --help)"},
    {"", {L"--set"}, kExitBadInput, L"--set needs a value (see --help)"},
    {"", {L"--template"}, kExitBadInput, L"--template takes nothing else (see --help)"},
};

TEST(ScriptToolRefusals, EachBadRunSaysWhyAndWritesNothing) {
    for (const BadRun& run : kBadRuns) {
        SCOPED_TRACE(toUtf8(run.message));
        FakeHost host;
        host.unwritableFolders = {L"locked\\"};
        // The UTF-16 row holds a NUL byte, so its length is given.
        host.files[L"p.txt"] =
            run.profile[0] == '\xFF' ? std::string(run.profile, 4) : std::string(run.profile);
        const auto filesBefore = host.files;
        std::vector<std::wstring> arguments = {L"p.txt"};
        arguments.insert(arguments.end(), run.arguments.begin(), run.arguments.end());
        EXPECT_EQ(host.run(arguments), run.status);
        EXPECT_EQ(host.errors, L"corvane-script: " + std::wstring(run.message) + L"\n");
        EXPECT_EQ(host.output, "");
        EXPECT_EQ(host.files, filesBefore);
    }

    FakeHost host;
    EXPECT_EQ(host.run({}), kExitBadInput);
    EXPECT_EQ(host.errors, L"corvane-script: no profile given (see --help)\n");
    EXPECT_EQ(host.run({L"missing.txt"}), kExitBadInput);
    EXPECT_EQ(host.errors,
              L"corvane-script: cannot read the profile 'missing.txt': no such file\n");
    host.files[L"big.txt"] = std::string(kLargestProfile + 1, '#');
    EXPECT_EQ(host.run({L"big.txt"}), kExitBadInput);
    EXPECT_EQ(host.errors, L"corvane-script: the profile 'big.txt' is larger than 16 MiB, the most "
                           L"it may hold\n");
    EXPECT_EQ(host.run({L"--list", L"kernels"}), kExitBadInput);
    EXPECT_EQ(host.errors, L"corvane-script: unknown list 'kernels'; did you mean 'kernel'?\n");
}

// C0 (tab and line breaks among them), DEL, C1 and the bidirectional controls: each would act on
// the terminal or turn the line around.
const std::wstring kHostile = L"\x07\t\n\r\x1b\x7f\x85\x9b\x61c\x200f\x202a\x202e\x2066\x2069";

TEST(ScriptToolMessages, QuoteTheirInputWithControlAndDirectionCharactersWrittenOut) {
    const std::string out = "etl-out-path = D:\\o.etl\nheap = yes\n";
    for (const wchar_t hostile : kHostile) {
        SCOPED_TRACE(static_cast<unsigned>(hostile));
        const std::wstring h(1, hostile);
        const std::string u = toUtf8(h);
        const std::vector<std::pair<std::string, std::vector<std::wstring>>> runs = {
            {"k" + u + "ey = 1\n", {L"p.txt"}},
            {"provider = A" + u + " level=5\n", {L"p.txt"}},
            {out + "provider = Acme:" + u + "\n", {L"p.txt"}},
            {out + "session-name = V&ll\n", {L"p" + h + L".txt"}},
            {out, {L"p.txt", L"--set", L"heap" + h + L"=no"}},
            {out, {L"p.txt", L"--set", L"session-name=V" + h + L"ll"}},
            {out, {L"p.txt", L"--set", L"heap", L"x" + h}},
            {out, {L"p.txt", L"--stro" + h + L"ct"}},
            {out, {L"p.txt", L"q" + h + L".txt"}},
            {out, {L"p.txt", L"-o", L"locked\\x" + h + L".cmd"}},
            {"@echo off\r\nrem x" + u + "\r\n", {L"--profile-from", L"p.txt"}},
            {"@echo off\r\nrem x" + u + "\r\n",
             {L"--profile-from", L"p.txt", L"--code-page", L"28591"}},
        };
        for (const auto& [profile, arguments] : runs) {
            FakeHost host;
            host.unwritableFolders = {L"locked\\"};
            host.files[L"p.txt"] = profile;
            host.files[L"p" + h + L".txt"] = profile;
            EXPECT_NE(host.run(arguments), kExitDone) << profile;
            // One message, whose one line break is the program's own.
            const std::wstring& errors = host.errors;
            EXPECT_EQ(errors.find_first_of(kHostile), errors.size() - 1) << toUtf8(errors);
        }
    }
}

} // namespace
} // namespace corvane
