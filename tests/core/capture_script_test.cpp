#include "script/capture_script.h"
#include "script/provider_entries.h"
#include "settings/catalogues.h"
#include "tests/core/script_examples.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {
namespace {

using Lines = script_examples::Lines;

const std::wstring kOptions =
    L" -BufferSize 64 -MinBuffers 64 -MaxBuffers 320 -MaxFile 256 -FileMode Sequential";

using script_examples::exampleSettings;
using script_examples::frame;
using script_examples::joinWithCrLf;
using script_examples::kOutPath;
using script_examples::scriptExample;
using script_examples::ScriptExample;

// Splits a script into its lines, checking that every line, the last included, ends with CR LF
// and that no lone CR or LF hides inside a line.
Lines scriptLines(const std::wstring& script) {
    Lines lines;
    std::size_t start = 0;
    while (start < script.size()) {
        const std::size_t end = script.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            ADD_FAILURE() << "text after the last CR LF: " << script.substr(start);
            break;
        }
        std::wstring line = script.substr(start, end - start);
        EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos) << "line " << lines.size() + 1;
        lines.push_back(std::move(line));
        start = end + 2;
    }
    return lines;
}

Lines buildLines(const TraceSettings& settings) {
    const std::optional<std::wstring> script = BuildCaptureScript(settings);
    if (!script) {
        ADD_FAILURE() << "no script";
        return {};
    }
    return scriptLines(*script);
}

// Lines 3 and 4 are free comments: each one line beginning with "rem ".
void expectRemarkLines(const Lines& lines) {
    ASSERT_GE(lines.size(), 4U);
    EXPECT_EQ(lines[2].rfind(L"rem ", 0), 0U) << lines[2];
    EXPECT_EQ(lines[3].rfind(L"rem ", 0), 0U) << lines[3];
}

// Compares the whole text byte for byte against the frame filled with the expected pieces.
void expectScript(const TraceSettings& settings, const std::wstring& slot1,
                  const std::wstring& slot2, const std::wstring& slot3, const std::wstring& slot4,
                  const Lines& stopSection, const std::wstring& line5 = L"") {
    const std::optional<std::wstring> script = BuildCaptureScript(settings);
    ASSERT_TRUE(script.has_value());
    const Lines lines = scriptLines(*script);
    expectRemarkLines(lines);
    ASSERT_GE(lines.size(), 4U);
    Lines expected = frame(lines[2], lines[3], slot1, slot2, slot3, slot4, stopSection);
    expected[4] = line5;
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    }
    EXPECT_EQ(*script, joinWithCrLf(expected));
}

void expectExample(const ScriptExample& example) {
    expectScript(example.settings, example.slot1, example.slot2, example.slot3, example.slot4,
                 example.stopSection);
}

std::wstring logOptions(const std::wstring& path) {
    return L" -f \"" + path + L"\"" + kOptions;
}

std::vector<std::wstring> splitOn(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::wstring::npos) {
            return parts;
        }
        start = end + 1;
    }
}

// The text between prefix and suffix, which must both be there.
std::wstring between(const std::wstring& line, const std::wstring& prefix,
                     const std::wstring& suffix) {
    EXPECT_EQ(line.rfind(prefix, 0), 0U) << line.substr(0, 200);
    EXPECT_GE(line.size(), prefix.size() + suffix.size());
    EXPECT_EQ(line.compare(line.size() - suffix.size(), suffix.size(), suffix), 0)
        << line.substr(line.size() > 200 ? line.size() - 200 : 0);
    return line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
}

TEST(CaptureScriptExamples, NameFormHeapWithKernelStackwalksAndStackedProviders) {
    const ScriptExample& example = scriptExample("worked example");
    EXPECT_EQ(buildLines(example.settings).size(), 28U);
    expectExample(example);
}

TEST(CaptureScriptExamples, KernelOnlyWithStackwalksHasTwentySevenLines) {
    const ScriptExample& example = scriptExample("kernel only");
    EXPECT_EQ(buildLines(example.settings).size(), 27U);
    expectExample(example);
}

TEST(CaptureScriptPresence, TheCaptureStateLineAsksTheUserSessionOnlyWhenItRuns) {
    TraceSettings settings = scriptExample("worked example").settings;
    settings.captureState = 1;
    const Lines lines = buildLines(settings);
    ASSERT_EQ(lines.size(), 29U);
    EXPECT_EQ(lines[15], L"xperf.exe -capturestate Vell \"Microsoft-Windows-Shell-Core\":::'stack'+"
                         L"\"Microsoft-Windows-Win32k\":::'stack'");
    // Without providers there is no user session to ask: the script is the one without the key.
    settings.providers.clear();
    const std::optional<std::wstring> asked = BuildCaptureScript(settings);
    settings.captureState = 0;
    EXPECT_EQ(asked, BuildCaptureScript(settings));
}

TEST(CaptureScriptPresence, NothingIsTracedWithoutKernelFlagsProvidersOrHeap) {
    TraceSettings settings = exampleSettings();
    EXPECT_FALSE(BuildCaptureScript(settings).has_value());

    // Stack walks ride on the kernel logger; alone they trace nothing.
    settings.stackwalkEvents.assign(StackwalkCatalogue.begin(), StackwalkCatalogue.end());
    settings.logStack = 1;
    settings.heapProcess = L"notepad";
    EXPECT_FALSE(BuildCaptureScript(settings).has_value());
}

TEST(CaptureScriptPresence, OnlyOneProviderWithoutStacks) {
    TraceSettings settings = exampleSettings();
    settings.providers = {L"Microsoft-Windows-Kernel-Power"};
    expectScript(settings, L" ", L" ",
                 L"xperf.exe -start Vell -on \"Microsoft-Windows-Kernel-Power\"" +
                     logOptions(L"\\user.etl"),
                 L" ",
                 {L"xperf.exe -stop Vell -d \"" + kOutPath + L"\"", L"",
                  L"xperf.exe \"" + kOutPath + L"\""});
}

TEST(CaptureScriptPresence, StackwalksWithoutKernelFlagsAreDroppedEvenWhenOtherTracesRun) {
    TraceSettings settings = exampleSettings();
    settings.stackwalkEvents = {L"CSwitch", L"VirtualAlloc"};
    settings.providers = {L"P"};
    settings.heapEnabled = 1;
    const std::wstring script = BuildCaptureScript(settings).value_or(L"");
    EXPECT_EQ(script.find(L"CSwitch"), std::wstring::npos);
    EXPECT_EQ(script.find(L"VirtualAlloc"), std::wstring::npos);
    EXPECT_EQ(scriptLines(script).at(12), L" ");
}

TEST(CaptureScriptPresence, KernelFlagsWithoutStackwalksHaveNoStackwalkOption) {
    TraceSettings settings = exampleSettings();
    settings.kernelFlags = {L"Base", L"LOADER"}; // a group and a flag side by side, untouched
    EXPECT_EQ(buildLines(settings).at(12),
              L"xperf.exe -on Base+LOADER" + logOptions(L"\\kernel.etl"));
}

TEST(CaptureScriptPresence, OnlyHeapByPidStopsOnlyTheHeapSession) {
    expectExample(scriptExample("heap by pid"));
}

TEST(CaptureScriptPresence, OnlyHeapByNameSetsAndClearsTheRegistryValue) {
    expectExample(scriptExample("heap by name"));
}

TEST(CaptureScriptPresence, AnyNonZeroCheckStateCountsAsSet) {
    TraceSettings settings = exampleSettings();
    settings.providers = {L"A", L"B"};
    settings.logStack = 2; // indeterminate
    settings.heapEnabled = 2;
    const Lines lines = buildLines(settings);
    ASSERT_EQ(lines.size(), 27U);
    EXPECT_EQ(lines[14], L"xperf.exe -start Vell -on \"A\":::'stack'+\"B\":::'stack'" +
                             logOptions(L"\\user.etl"));
    EXPECT_EQ(lines[16].rfind(L"xperf.exe -start VellHeap -heap -pids 0 ", 0), 0U);
    EXPECT_EQ(lines[24], L"xperf.exe -stop Vell -stop VellHeap -d \"" + kOutPath + L"\"");
}

TEST(CaptureScriptPresence, HeapTargetIsIgnoredWhileHeapIsOff) {
    TraceSettings settings = exampleSettings();
    settings.kernelFlags = {L"DPC"};
    settings.heapProcess = L"notepad";
    const std::wstring script = BuildCaptureScript(settings).value_or(L"");
    EXPECT_EQ(script.find(L"reg add"), std::wstring::npos);
    EXPECT_EQ(script.find(L"reg delete"), std::wstring::npos);
    EXPECT_EQ(script.find(L"VellHeap"), std::wstring::npos);
    EXPECT_EQ(script.find(L"notepad"), std::wstring::npos);
}

TEST(CaptureScriptPresence, StopClausesGoUserThenHeapThenKernel) {
    TraceSettings settings = exampleSettings();
    settings.kernelFlags = {L"PROC_THREAD"};
    settings.providers = {L"P"};
    settings.heapEnabled = 1;
    settings.sessionName = L"User";
    settings.heapSessionName = L"Heap";
    EXPECT_EQ(buildLines(settings).at(24),
              L"xperf.exe -stop User -stop Heap -stop -d \"" + kOutPath + L"\"");
}

struct HeapTargetCase {
    const wchar_t* text;
    HeapTargetForm form;
};

// Read as "%u" would: optional white space, an optional sign right before a digit, then a digit.
const HeapTargetCase kHeapTargetCases[] = {
    {L"0", HeapTargetForm::Pid},
    {L"1234", HeapTargetForm::Pid},
    {L" 42", HeapTargetForm::Pid},
    {L"42abc", HeapTargetForm::Pid},
    {L"-5", HeapTargetForm::Pid},
    {L"+7", HeapTargetForm::Pid},
    {L"007", HeapTargetForm::Pid},
    {L"99999999999999999999", HeapTargetForm::Pid},
    {L"\t\n\v\f\r 8", HeapTargetForm::Pid},
    {L"  -12 x", HeapTargetForm::Pid},
    {L"notepad", HeapTargetForm::Name},
    {L"notepad.exe", HeapTargetForm::Name},
    {L"", HeapTargetForm::Name},
    {L"   ", HeapTargetForm::Name},
    {L"-", HeapTargetForm::Name},
    {L"+x", HeapTargetForm::Name},
    {L"- 5", HeapTargetForm::Name},
    {L"+-5", HeapTargetForm::Name},
    {L"--5", HeapTargetForm::Name},
    {L"a1", HeapTargetForm::Name},
    {L".5", HeapTargetForm::Name},
    {L"7zFM", HeapTargetForm::Pid},     // a number first wins, whatever follows
    {L"\u0663", HeapTargetForm::Name},  // ARABIC-INDIC DIGIT THREE
    {L"\uff11", HeapTargetForm::Name},  // FULLWIDTH DIGIT ONE
    {L"\u00a05", HeapTargetForm::Name}, // NO-BREAK SPACE is not skipped
    {L"\u30005", HeapTargetForm::Name}, // IDEOGRAPHIC SPACE is not skipped
};

TEST(HeapTarget, FormDecidesPidsTextAndRegistryLines) {
    for (const HeapTargetCase& entry : kHeapTargetCases) {
        const std::wstring text = entry.text;
        SCOPED_TRACE(testing::Message() << "heap target \"" << text << "\"");
        EXPECT_EQ(heapTargetForm(text), entry.form);

        TraceSettings settings = exampleSettings();
        settings.heapEnabled = 1;
        settings.heapProcess = text;
        // Whole-text searches: a CR or LF in the target is copied too and would split lines.
        const std::wstring script = BuildCaptureScript(settings).value_or(L"");
        const std::wstring heapStart = L"\r\n\r\nxperf.exe -start VellHeap -heap -pids ";
        // A name typed with its ".exe" does not get a second one.
        const std::wstring imageKey = L"Image File Execution Options\\" + text +
                                      (text == L"notepad.exe" ? L"" : L".exe") + L"\" /v";
        const std::wstring setLine = L"echo .\r\nreg add \"HKLM\\Software\\Microsoft\\";
        const std::wstring clearLine = L".etl\"\r\nreg delete \"HKLM\\Software\\Microsoft\\";
        if (entry.form == HeapTargetForm::Pid) {
            // The text as typed follows -pids, not the scanned number.
            EXPECT_NE(script.find(heapStart + text + L" -stackwalk Heap"), std::wstring::npos);
            EXPECT_NE(script.find(L"echo .\r\n \r\n"), std::wstring::npos);
            EXPECT_EQ(script.find(imageKey), std::wstring::npos);
            EXPECT_EQ(script.find(L"reg delete"), std::wstring::npos);
        } else {
            EXPECT_NE(script.find(heapStart + L"0 -stackwalk Heap"), std::wstring::npos);
            EXPECT_NE(script.find(setLine), std::wstring::npos);
            EXPECT_NE(script.find(clearLine), std::wstring::npos);
            EXPECT_NE(script.find(imageKey), std::wstring::npos);
            EXPECT_NE(script.rfind(imageKey), script.find(imageKey));
            const std::wstring scriptEnd = L".exe\" /v TracingFlags /f\r\n";
            ASSERT_GE(script.size(), scriptEnd.size());
            EXPECT_EQ(script.substr(script.size() - scriptEnd.size()), scriptEnd);
        }
    }
}

TEST(CaptureScriptValues, NumbersAreWrittenInFullInTheFixedOrderForEverySession) {
    struct Numbers {
        std::uint32_t bufferSize, minBuffers, maxBuffers, maxFile;
        const wchar_t* written;
    };
    const Numbers cases[] = {
        {0, 0, 0, 0, L"-BufferSize 0 -MinBuffers 0 -MaxBuffers 0 -MaxFile 0"},
        {4294967295U, 4294967295U, 4294967295U, 4294967295U,
         L"-BufferSize 4294967295 -MinBuffers 4294967295 -MaxBuffers 4294967295 -MaxFile "
         L"4294967295"},
        // Minimum above maximum passes through: there is no cross-field rule.
        {10, 4294967295U, 0, 1000000000,
         L"-BufferSize 10 -MinBuffers 4294967295 -MaxBuffers 0 -MaxFile 1000000000"},
    };
    for (const Numbers& numbers : cases) {
        TraceSettings settings = exampleSettings();
        settings.kernelFlags = {L"PROC_THREAD"};
        settings.providers = {L"P"};
        settings.heapEnabled = 1;
        settings.fileMode = L"NewFile";
        settings.bufferSizeKb = numbers.bufferSize;
        settings.minBuffers = numbers.minBuffers;
        settings.maxBuffers = numbers.maxBuffers;
        settings.maxFileSizeMb = numbers.maxFile;
        const Lines lines = buildLines(settings);
        ASSERT_EQ(lines.size(), 27U);
        const std::wstring tail = std::wstring(L" ") + numbers.written + L" -FileMode NewFile";
        EXPECT_EQ(lines[12], L"xperf.exe -on PROC_THREAD -f \"\\kernel.etl\"" + tail);
        EXPECT_EQ(lines[14], L"xperf.exe -start Vell -on \"P\" -f \"\\user.etl\"" + tail);
        EXPECT_EQ(lines[16],
                  L"xperf.exe -start VellHeap -heap -pids 0 -stackwalk "
                  L"HeapCreate+HeapAlloc+HeapRealloc+HeapFree+HeapDestroy -f \"\\heap.etl\"" +
                      tail);
    }
}

TEST(CaptureScriptValues, EveryKernelNameWithEveryStackwalkEvent) {
    TraceSettings settings = exampleSettings();
    settings.kernelFlags.assign(KernelFlagCatalogue.begin(), KernelFlagCatalogue.end());
    settings.stackwalkEvents.assign(StackwalkCatalogue.begin(), StackwalkCatalogue.end());
    const Lines lines = buildLines(settings);
    ASSERT_EQ(lines.size(), 27U);

    const std::wstring names = between(lines[12], L"xperf.exe -on ", logOptions(L"\\kernel.etl"));
    const std::size_t stackwalk = names.find(L" -stackwalk ");
    ASSERT_NE(stackwalk, std::wstring::npos);
    EXPECT_EQ(names.find(L" -stackwalk ", stackwalk + 1), std::wstring::npos);

    const std::vector<std::wstring> flags = splitOn(names.substr(0, stackwalk), L'+');
    ASSERT_EQ(flags.size(), KernelFlagCatalogue.size());
    for (std::size_t i = 0; i < flags.size(); ++i) {
        EXPECT_EQ(flags[i], KernelFlagCatalogue[i]);
    }
    const std::vector<std::wstring> events =
        splitOn(names.substr(stackwalk + std::wstring(L" -stackwalk ").size()), L'+');
    ASSERT_EQ(events.size(), StackwalkCatalogue.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i], StackwalkCatalogue[i]);
    }
}

TEST(CaptureScriptValues, ThousandsOfProvidersAreJoinedWithAndWithoutStacks) {
    constexpr std::size_t kProviderCount = 5000;
    TraceSettings settings = exampleSettings();
    for (std::size_t i = 0; i < kProviderCount; ++i) {
        settings.providers.push_back(L"Provider-" + std::to_wstring(i));
    }
    for (const std::int32_t logStack : {0, 1}) {
        SCOPED_TRACE(logStack);
        settings.logStack = logStack;
        const Lines lines = buildLines(settings);
        ASSERT_EQ(lines.size(), 27U);
        const std::wstring joined =
            between(lines[14], L"xperf.exe -start Vell -on ", logOptions(L"\\user.etl"));
        const std::vector<std::wstring> entries = splitOn(joined, L'+');
        ASSERT_EQ(entries.size(), kProviderCount);
        const std::wstring suffix = logStack != 0 ? L":::'stack'" : L"";
        for (std::size_t i = 0; i < kProviderCount; ++i) {
            ASSERT_EQ(entries[i], L"\"Provider-" + std::to_wstring(i) + L"\"" + suffix);
        }
        EXPECT_EQ(lines[24], L"xperf.exe -stop Vell -d \"" + kOutPath + L"\"");
    }
}

TEST(ProviderAsWritten, OnlyANameWithAColonGivesWayToItsGuid) {
    const std::wstring guid = L"{43424140-4544-4746-4849-4A4B4C4D4E4F}";
    EXPECT_EQ(providerAsWritten(L"IIS: WWW Server", guid), guid);
    EXPECT_EQ(providerAsWritten(L":", guid), guid);
    EXPECT_EQ(providerAsWritten(L"IIS: WWW Server", L""), L"IIS: WWW Server"); // none known
    EXPECT_EQ(providerAsWritten(L"A+B \"%x%\" ^!", guid), L"A+B \"%x%\" ^!");
}

TEST(CaptureScriptValues, TextsAreCopiedUnquotedUnescapedAndUntrimmed) {
    // e-acute, Greek Omega, a CJK ideograph and U+1F600 (a surrogate pair in UTF-16).
    const std::wstring unicode = L"\u00e9\u03a9\u4e2d\U0001F600";
    TraceSettings settings = exampleSettings();
    settings.kernelFlags = {L"LOADER"};
    settings.providers = {L"My \"Odd\" %PATH% ^& " + unicode, L"+plus"};
    settings.logStack = 1;
    settings.heapEnabled = 1;
    settings.heapProcess = L" %PID%^ " + unicode; // a name form, leading space kept
    settings.sessionName = L"My Session %USERNAME%";
    settings.heapSessionName = L"Heap^Session";
    settings.kernelPath = L" C:\\k %1.etl ";
    settings.userPath = L"\"quoted\".etl";
    settings.heapPath = unicode + L".etl";
    settings.etlOutPath = L"C:\\out ^%~dp0\\" + unicode + L".etl";
    settings.fileMode = L"Circular";

    const std::wstring options =
        L" -BufferSize 64 -MinBuffers 64 -MaxBuffers 320 -MaxFile 256 -FileMode Circular";
    const std::wstring key = L"\"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File "
                             L"Execution Options\\ %PID%^ " +
                             unicode + L".exe\"";
    const std::wstring out = L"\"C:\\out ^%~dp0\\" + unicode + L".etl\"";
    expectScript(settings, L"reg add " + key + L" /v TracingFlags /t REG_DWORD /d 1 /f",
                 L"xperf.exe -on LOADER -f \" C:\\k %1.etl \"" + options,
                 L"xperf.exe -start My Session %USERNAME% -on \"My \"Odd\" %PATH% ^& " + unicode +
                     L"\":::'stack'+\"+plus\":::'stack' -f \"\"quoted\".etl\"" + options,
                 L"xperf.exe -start Heap^Session -heap -pids 0 -stackwalk "
                 L"HeapCreate+HeapAlloc+HeapRealloc+HeapFree+HeapDestroy -f \"" +
                     unicode + L".etl\"" + options,
                 {L"xperf.exe -stop My Session %USERNAME% -stop Heap^Session -stop -d " + out, L"",
                  L"xperf.exe " + out, L"reg delete " + key + L" /v TracingFlags /f"},
                 L"setlocal DisableDelayedExpansion"); // for the output path's %~dp0
}

TEST(CaptureScriptValues, LeadingSpaceOfAPidIsKeptAfterPids) {
    TraceSettings settings = exampleSettings();
    settings.heapEnabled = 1;
    settings.heapProcess = L" 42";
    EXPECT_EQ(buildLines(settings).at(16).rfind(L"xperf.exe -start VellHeap -heap -pids  42 ", 0),
              0U);
}

TEST(CaptureScriptValues, PlusGoesOnlyAfterNonEmptyGatheredKernelText) {
    TraceSettings settings = exampleSettings();
    settings.kernelFlags = {L"", L"LOADER", L"DPC"};
    settings.stackwalkEvents = {L"", L"CSwitch"};
    EXPECT_EQ(buildLines(settings).at(12),
              L"xperf.exe -on LOADER+DPC -stackwalk CSwitch" + logOptions(L"\\kernel.etl"));
}

TEST(CaptureScriptValues, EmptyTextsLeaveEmptyQuotesAndBareGaps) {
    TraceSettings settings = exampleSettings();
    settings.providers = {L""};
    settings.sessionName.clear();
    settings.userPath.clear();
    settings.etlOutPath.clear();
    settings.fileMode.clear();
    const Lines lines = buildLines(settings);
    ASSERT_EQ(lines.size(), 27U);
    EXPECT_EQ(lines[14], L"xperf.exe -start  -on \"\" -f \"\" -BufferSize 64 -MinBuffers 64 "
                         L"-MaxBuffers 320 -MaxFile 256 -FileMode ");
    EXPECT_EQ(lines[24], L"xperf.exe -stop  -d \"\"");
    EXPECT_EQ(lines[26], L"xperf.exe \"\"");
}

TEST(CaptureScriptValues, SameSettingsGiveTheSameText) {
    TraceSettings settings = exampleSettings();
    settings.kernelFlags = {L"PROC_THREAD"};
    settings.providers = {L"P"};
    settings.heapEnabled = 1;
    settings.heapProcess = L"explorer";
    const std::optional<std::wstring> first = BuildCaptureScript(settings);
    const std::optional<std::wstring> second = BuildCaptureScript(settings);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first, second);
}

} // namespace
} // namespace corvane
