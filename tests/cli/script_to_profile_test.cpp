// corvane-script --profile-from: a script that Corvane saved reads back into a profile that makes
// it again, byte for byte; one changed in one place is refused, or read as the changed script.
// The properties print their counts.
#include "cli/script_tool.h"
#include "script/capture_script.h"
#include "script/script_checks.h"
#include "script/script_format.h"
#include "tests/cli/fake_host.h"
#include "tests/core/random_settings.h"
#include "tests/core/script_examples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

namespace corvane {
namespace {

using testing::FakeHost;

// The fake host's one code page, ISO 8859-1: the hostile values' letters beyond ASCII pass.
constexpr wchar_t kCodePage[] = L"28591";

struct ReadBack {
    int status = 0;
    std::wstring errors;
    std::string profile;
    std::string script; // what the profile makes
};

ReadBack readBack(const std::string& bytes, const std::wstring& name = L"s.cmd") {
    FakeHost host;
    host.files[name] = bytes;
    ReadBack result;
    result.status =
        host.run({L"--profile-from", name, L"-o", L"s.profile", L"--code-page", kCodePage});
    result.errors = host.errors;
    if (result.status != kExitDone) {
        EXPECT_EQ(host.files.size(), 1U) << "refused, yet written";
        return result;
    }
    result.profile = host.files[L"s.profile"];
    EXPECT_EQ(host.run({L"s.profile", L"--stdout", L"--code-page", kCodePage}), kExitDone)
        << toUtf8(host.errors);
    result.script = host.output;
    return result;
}

// The random settings as the dialog's lists give them, with numbers in its limits and what only
// a profile chooses: provider options and capture state.
TraceSettings asChosen(TraceSettings s, std::mt19937& random) {
    const auto inCatalogueOrder = [](const auto& catalogue, std::vector<std::wstring>& names) {
        std::vector<std::wstring> ordered;
        std::copy_if(catalogue.begin(), catalogue.end(), std::back_inserter(ordered),
                     [&](const wchar_t* name) {
                         return std::find(names.begin(), names.end(), name) != names.end();
                     });
        names = ordered;
    };
    inCatalogueOrder(KernelFlagCatalogue, s.kernelFlags);
    inCatalogueOrder(StackwalkCatalogue, s.stackwalkEvents);
    std::sort(s.providers.begin(), s.providers.end(), wordSortLess);
    s.providers.erase(std::unique(s.providers.begin(), s.providers.end()), s.providers.end());
    s.maxFileSizeMb = static_cast<std::uint32_t>(random());
    s.bufferSizeKb = static_cast<std::uint32_t>(4 + random() % 1021);
    s.minBuffers = static_cast<std::uint32_t>(random() % 400);
    s.maxBuffers = static_cast<std::uint32_t>(random() % 400);
    s.captureState = static_cast<std::int32_t>(random() % 2);
    if (random() % 4 == 0) {
        s.kernelFlags.clear(); // the stack walks are dropped with them
    }
    for (const std::wstring& provider : s.providers) {
        ProviderOptions options;
        if (random() % 3 == 0) {
            options.keywords = (std::uint64_t{random()} << 32) >> (random() % 64);
        }
        if (random() % 3 == 0) {
            options.level = static_cast<std::uint8_t>(random() % 256);
        }
        if (random() % 3 == 0) {
            options.stack = random() % 2 == 0;
        }
        if (options.keywords || options.level || options.stack) {
            s.providerOptions[provider] = options;
        }
    }
    return s;
}

// Calls `saved` with each random setting's script that both programs would write, and its kind.
std::map<std::string, int>
forEachSavedScript(int count,
                   const std::function<void(const std::string&, const std::string&)>& saved) {
    const ScriptEncoder inCodePage = [](std::wstring_view text) -> std::optional<std::string> {
        std::string bytes;
        return FakeHost().encode(std::wstring(text), 28591, bytes) == Encoding::Ok
                   ? std::optional(bytes)
                   : std::nullopt;
    };
    std::map<std::string, int> tally;
    testing::RandomSettings settings;
    std::mt19937 random(20261208);
    for (int n = 0; n < count; ++n) {
        const TraceSettings s = asChosen(settings.next(), random);
        const std::optional<std::wstring> script = BuildCaptureScript(s);
        std::string bytes;
        if (!script) {
            ++tally["nothing selected"];
        } else if (scriptRefusal(s, *script, inCodePage)) {
            ++tally["refused by the checks"];
        } else if (FakeHost().encode(*script, 28591, bytes) != Encoding::Ok) {
            ++tally["not in code page 28591"];
        } else {
            const bool nameForm =
                s.heapEnabled != 0 && heapTargetForm(s.heapProcess) == HeapTargetForm::Name;
            saved(bytes, nameForm             ? "heap by name"
                         : s.heapEnabled != 0 ? "heap by pid"
                                              : "no heap");
            ++tally["saved"];
            tally["saved, a value holds &, %, ^, ! or an accent"] +=
                bytes.find_first_of("&%^!\xE9") != std::string::npos;
            tally["saved, capture state"] += hasCaptureStateLine(s);
            tally["saved, provider options"] += !s.providerOptions.empty();
            tally["saved, stack walks dropped"] +=
                s.kernelFlags.empty() && !s.stackwalkEvents.empty();
        }
    }
    return tally;
}

void print(const char* title, const std::map<std::string, int>& tally) {
    std::printf("%s\n", title);
    for (const auto& [what, count] : tally) {
        std::printf("  %-45s %6d\n", what.c_str(), count);
    }
}

TEST(ScriptToProfile, EverySavedScriptReadsBackIntoAProfileThatMakesItAgain) {
    std::map<std::string, int> readBackTally;
    const auto tally =
        forEachSavedScript(20000, [&](const std::string& bytes, const std::string& kind) {
            const ReadBack back = readBack(bytes);
            ASSERT_EQ(back.status, kExitDone) << toUtf8(back.errors);
            ASSERT_EQ(back.script, bytes) << back.profile;
            ++readBackTally["same bytes again, " + kind];
        });
    print("random settings, settings -> script -> profile -> script:", tally);
    print("read back:", readBackTally);
}

// One change where a hand or another tool might make it.
std::string changedOnce(const std::string& script, std::mt19937& random, std::string& kind) {
    static const std::string kCharacters = "\"&%!^\\ :+-0159aZ\r\n\xE9";
    std::string changed = script;
    const std::size_t at = random() % script.size();
    const std::size_t lineStart =
        script.rfind('\n', at) == std::string::npos ? 0 : script.rfind('\n', at) + 1;
    const std::size_t lineEnd = script.find('\n', at) + 1;
    const std::size_t digits = script.find_first_of("0123456789", at);
    switch (random() % 5) {
    case 0:
        kind = "a character replaced";
        changed[at] = kCharacters[random() % kCharacters.size()];
        break;
    case 1:
        kind = "a character removed";
        changed.erase(at, 1);
        break;
    case 2:
        kind = "a character added";
        changed.insert(at, 1, kCharacters[random() % kCharacters.size()]);
        break;
    case 3:
        kind = "a line removed";
        changed.erase(lineStart, lineEnd - lineStart);
        break;
    default:
        kind = "a number edited";
        if (digits != std::string::npos) {
            changed.replace(digits, 1, std::to_string(random() % 1000));
        }
        break;
    }
    return changed;
}

TEST(ScriptToProfile, AScriptChangedInOnePlaceIsRefusedOrReadAsTheChangedScript) {
    std::mt19937 random(20261209);
    std::map<std::string, int> outcomes;
    static_cast<void>(forEachSavedScript(20000, [&](const std::string& bytes, const std::string&) {
        std::string kind;
        const std::string changed = changedOnce(bytes, random, kind);
        if (changed == bytes) {
            return;
        }
        const ReadBack back = readBack(changed);
        if (back.status != kExitDone) {
            ASSERT_NE(back.errors.find(L"s.cmd"), std::wstring::npos) << toUtf8(back.errors);
            ++outcomes[kind + ": refused"];
            return;
        }
        ASSERT_EQ(back.script, changed) << "read into a profile that means something else:\n"
                                        << back.profile;
        ++outcomes[kind + ": read as changed"];
    }));
    print("saved scripts changed in one place:", outcomes);
}

std::string exampleScript(const char* name) {
    using namespace script_examples;
    return toUtf8(expectedScript(scriptExample(name),
                                 std::wstring(script_format::kScriptTemplate[2].text),
                                 std::wstring(script_format::kScriptTemplate[3].text)));
}

TEST(ScriptToProfile, TheGoldenScriptsReadBackIntoTheProfilesAPersonWouldWrite) {
    const std::pair<const char*, const char*> cases[] = {
        {"worked example", "# Read from the capture script s.cmd.\n"
                           "log-stack = yes\n"
                           "heap = yes\n"
                           "etl-out-path = D:\\traces\\20240105_093000.etl\n"
                           "process-name-or-pid = notepad\n"
                           "kernel-flag = PROC_THREAD\n"
                           "kernel-flag = LOADER\n"
                           "stackwalk = CSwitch\n"
                           "stackwalk = ProcessCreate\n"
                           "provider = Microsoft-Windows-Shell-Core\n"
                           "provider = Microsoft-Windows-Win32k\n"},
        {"kernel only",
         "# Read from the capture script s.cmd. Not in it, so not recovered and left at their "
         "defaults: session-name, user-path, log-stack and capture-state (no provider); "
         "process-name-or-pid, heap-session-name and heap-path (no heap).\n"
         "etl-out-path = D:\\traces\\20240105_093000.etl\n"
         "kernel-flag = PROC_THREAD\n"
         "stackwalk = CSwitch\n"
         "stackwalk = ProcessCreate\n"},
        {"heap by pid", "# Read from the capture script s.cmd. Not in it, so not recovered and "
                        "left at their defaults: kernel-path and stackwalk (no kernel-flag); "
                        "session-name, user-path, log-stack and capture-state (no provider).\n"
                        "heap = yes\n"
                        "etl-out-path = D:\\traces\\20240105_093000.etl\n"
                        "process-name-or-pid = 1234\n"},
        {"heap by name", nullptr},
    };
    for (const auto& [example, profile] : cases) {
        const std::string script = exampleScript(example);
        const ReadBack back = readBack(script);
        EXPECT_EQ(back.script, script) << example << ": " << toUtf8(back.errors);
        if (profile != nullptr) {
            EXPECT_EQ(back.profile, profile) << example;
        }
    }
}

// The script with every `from` replaced by `to`.
std::string replacedEverywhere(std::string script, const std::string& from, const std::string& to) {
    for (std::size_t at = script.find(from); at != std::string::npos;
         at = script.find(from, at + to.size())) {
        script.replace(at, from.size(), to);
    }
    return script;
}

// A key "myapp.exe" comes from the name "myapp" too, the profile's usual form; one written as
// "myapp.exe.exe" (as Corvane once did for "myapp.exe") only from itself. The fifth line that
// turns delayed expansion off belongs to a script that takes in its own folder, and to no other.
TEST(ScriptToProfile, ImageNamesAndTheExpansionGuardReadBackIntoTheSameBytes) {
    const std::string worked = exampleScript("worked example");
    const auto edited = [&](const std::string& from, const std::string& to) {
        return replacedEverywhere(worked, from, to);
    };
    const std::string guard = "\r\nsetlocal DisableDelayedExpansion\r\necho Press a key when ready";
    const std::string blank = "\r\n\r\necho Press a key when ready";
    const std::string inFolder = "\"%~dp0out.etl\"";
    const std::string out = "\"D:\\traces\\20240105_093000.etl\"";
    std::string guarded = edited(out, inFolder);
    guarded.replace(guarded.find(blank), blank.size(), guard);
    const struct {
        std::string script;
        const char* name; // nothing: refused
    } cases[] = {
        {edited("\\notepad.exe\"", "\\MyApp.exe\""), "MyApp"},
        {edited("\\notepad.exe\"", "\\MyApp.EXE\""), "MyApp.EXE"},
        {edited("\\notepad.exe\"", "\\notepad.exe.exe\""), "notepad.exe.exe"},
        {edited(blank, guard), nullptr},
        {edited(out, inFolder), nullptr},
        {guarded, "notepad"},
    };
    for (const auto& [script, name] : cases) {
        const ReadBack back = readBack(script);
        if (name == nullptr) {
            EXPECT_EQ(back.status, kExitBadInput);
            EXPECT_EQ(back.errors.find(L"s.cmd: line 5 is not as Corvane writes it"), 16U)
                << toUtf8(back.errors);
            continue;
        }
        EXPECT_EQ(back.script, script) << toUtf8(back.errors);
        EXPECT_NE(back.profile.find("\nprocess-name-or-pid = " + std::string(name) + "\n"),
                  std::string::npos)
            << back.profile;
    }
}

TEST(ScriptToProfile, RefusesWhatCorvaneDoesNotWriteNamingTheLineAndWhatBelongsThere) {
    const std::string worked = exampleScript("worked example");
    const auto edited = [&](const std::string& from, const std::string& to) {
        return replacedEverywhere(worked, from, to);
    };
    // The worked example with no session started: the slots empty, the stop line bare.
    std::string noSession = worked;
    for (const char* start :
         {"reg add", "xperf.exe -on", "xperf.exe -start Vell ", "xperf.exe -start VellHeap"}) {
        const std::size_t at = noSession.find(start);
        noSession.replace(at, noSession.find("\r\n", at) - at, " ");
    }
    noSession.replace(noSession.find("-stop Vell -stop VellHeap -stop "), 32, "");
    noSession.erase(noSession.find("reg delete"));
    FakeHost host;
    host.files[L"p.txt"] = "etl-out-path = D:\\o.etl\nheap = yes\n";
    EXPECT_EQ(host.run({L"p.txt", L"--recorder", L"wpr", L"-o", L"r.cmd"}), kExitDone);
    const std::string wprRunner = host.files[L"r.cmd"];
    const std::pair<std::string, std::wstring> cases[] = {
        {edited("PROC_THREAD", "PROC_THREAT"),
         L"s.cmd: line 13 is not as Corvane writes it: expected a kernel flag or group "
         L"(corvane-script --list kernel), not 'PROC_THREAT+LOADER -stackwalk "
         L"CSwitch+ProcessCreate -f \"\\kernel....'"},
        // Every session has the numbers of the first.
        {edited("-MaxFile 256 -FileMode Sequential\r\n\r\necho Press",
                "-MaxFile 255 -FileMode Sequential\r\n\r\necho Press"),
         L"s.cmd: line 17 is not as Corvane writes it: expected '256 -FileMode Sequential', not "
         L"'255 -FileMode Sequential'"},
        {edited("echo ...Stopping...\r\n", ""),
         L"s.cmd: line 22 is not as Corvane writes it: expected 'echo ...Stopping...', not 'echo "
         L".'"},
        {edited("/d 1 /f", "/d 1 /f & calc"),
         L"s.cmd: line 11 is not as Corvane writes it: expected the end of the line, not ' & "
         L"calc'"},
        {edited("reg add", "reg  add"),
         L"s.cmd: line 11 is not as Corvane writes it: expected 'reg add "
         L"\"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution "
         L"Options\\' or one space, not 'reg  add \"HKLM\\Software\\Microsoft\\Windows "
         L"NT\\CurrentVersion\\Imag...'"},
        {edited("Vell ", "V&ll "),
         L"s.cmd: its profile would not make it again, so nothing is written: s.profile: line 5: "
         L"session-name holds '&', which the command prompt reads as the start of another "
         L"command"},
        {worked.substr(0, worked.size() - 2),
         L"s.cmd: line 28 is not as Corvane writes it: expected CR LF, not the end of the script"},
        {worked + "calc\r\n",
         L"s.cmd: line 29 is not as Corvane writes it: expected the end of the script, not 'calc'"},
        {worked.substr(0, worked.find("xperf.exe -stop")),
         L"s.cmd: line 25 is not as Corvane writes it: expected 'xperf.exe -stop Vell -stop "
         L"VellHeap -stop -d ', not the end of the script"},
        {edited("Vell ", "Ve\x1b[2J\x9bll "),
         L"s.cmd: line 15 is not as Corvane writes it: expected no control character (Corvane "
         L"writes none), not '\\x1b[2JU+009Bll -on \"Microsoft-Windows-Shell-Core\":::'stack'+"
         L"\"Microsoft-...'"},
        {noSession,
         L"s.cmd: line 13 is not as Corvane writes it: expected a session's start line: Corvane "
         L"writes no script that starts none, not ' '"},
        // Files given for a saved script by mistake.
        {edited("\r\n", "\n"),
         L"s.cmd: its lines end in LF alone: a script Corvane writes ends them in CR LF; it was "
         L"changed by an editor or a transfer"},
        {"etl-out-path = D:\\o.etl\nheap = yes\n",
         L"s.cmd is a profile: give it to corvane-script as PROFILE"},
        {wprRunner, L"s.cmd is a WPR runner: read back the xperf script, or keep the profile that "
                    L"made it"},
    };
    for (const auto& [script, message] : cases) {
        const ReadBack back = readBack(script);
        EXPECT_EQ(back.status, kExitBadInput);
        EXPECT_EQ(back.errors, L"corvane-script: " + message + L"\n");
    }
}

#ifdef CORVANE_EXAMPLE_SCRIPT_PAGE
// The documentation's example script, which the dialog saved, reads back into the profile that
// the profile reference's section "From a saved script to a profile" shows.
TEST(ScriptToProfile, TheDocumentedExampleReadsBackIntoTheProfileShown) {
    const auto block = [](const char* page, const std::string& marker) {
        std::ifstream file(page, std::ios::binary);
        std::stringstream read;
        read << file.rdbuf();
        const std::string text = read.str();
        const std::size_t start = text.find("\n", text.find("```", text.find(marker))) + 1;
        return text.substr(start, text.find("```", start) - start);
    };
    std::string script;
    for (const char c : block(CORVANE_EXAMPLE_SCRIPT_PAGE, "<!-- example script:")) {
        script += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    const ReadBack back = readBack(script, L"x.cmd");
    EXPECT_EQ(back.script, script) << toUtf8(back.errors);
    EXPECT_EQ(back.profile,
              block(CORVANE_EXAMPLE_PROFILE_PAGE, "<!-- the profile of the example script -->"));
}
#endif

} // namespace
} // namespace corvane
