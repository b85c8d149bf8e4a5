#include "script/script_checks.h"
#include "tests/core/cmd_reading.h"
#include "tests/core/script_examples.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

std::size_t lineLength(const TraceSettings& settings, std::size_t number) {
    const std::wstring script = BuildCaptureScript(settings).value_or(L"");
    std::size_t start = 0;
    for (std::size_t line = 1; line < number; ++line) {
        start = script.find(L"\r\n", start) + 2;
    }
    return script.find(L"\r\n", start) - start;
}

// Lengthens `text` until line `number` is exactly `length` characters long.
void padLineTo(TraceSettings& settings, std::wstring& text, std::size_t number,
               std::size_t length) {
    text.append(length - lineLength(settings, number), L'x');
    ASSERT_EQ(lineLength(settings, number), length);
}

std::optional<std::wstring> refusalOf(const TraceSettings& settings) {
    return scriptRefusal(settings, BuildCaptureScript(settings).value_or(L""));
}

TEST(ScriptLineLimit, TheUserLineOf8191IsAcceptedAndOneMoreIsRefused) {
    TraceSettings settings = script_examples::scriptExample("worked example").settings;
    settings.providers.assign(178, L"Microsoft-Windows-Kernel-Process");
    padLineTo(settings, settings.providers.back(), 15, kCommandPromptLineLimit);
    EXPECT_EQ(refusalOf(settings), std::nullopt);
    EXPECT_EQ(providersThatFit(settings), 178U);

    settings.providers.back() += L'x';
    EXPECT_EQ(refusalOf(settings),
              L"The user session's command line would be 8,192 characters long; the command "
              L"prompt reads at most 8,191. Select fewer providers, or use a shorter User Path or "
              L"Session name.");
    EXPECT_EQ(providersThatFit(settings), 177U);
}

TEST(ScriptLineLimit, EachLongLineIsNamedByWhatItCarries) {
    struct Case {
        std::wstring TraceSettings::*field;
        std::size_t number;
        ScriptLine line;
        bool captureState;
    };
    const Case cases[] = {
        {&TraceSettings::kernelPath, 13, ScriptLine::KernelStart, false},
        {&TraceSettings::heapPath, 17, ScriptLine::HeapStart, false},
        {&TraceSettings::etlOutPath, 25, ScriptLine::StopCommand, false},
        {&TraceSettings::heapProcess, 11, ScriptLine::TracingFlagsSet, false},
        // The capture-state line after the user session's start moves the later ones down.
        {&TraceSettings::heapPath, 18, ScriptLine::HeapStart, true},
        {&TraceSettings::etlOutPath, 26, ScriptLine::StopCommand, true},
    };
    for (const Case& entry : cases) {
        TraceSettings settings = script_examples::scriptExample("worked example").settings;
        settings.captureState = entry.captureState ? 1 : 0;
        padLineTo(settings, settings.*entry.field, entry.number, kCommandPromptLineLimit);
        EXPECT_EQ(refusalOf(settings), std::nullopt) << entry.number;
        settings.*entry.field += L'x';
        const std::optional<OverlongLine> found =
            findOverlongLine(BuildCaptureScript(settings).value_or(L""), settings);
        ASSERT_TRUE(found.has_value()) << entry.number;
        EXPECT_EQ(found->line, entry.line);
        EXPECT_EQ(found->number, entry.number);
        EXPECT_EQ(found->length, 8192U);
    }
}

TEST(ScriptControlCharacters, AreRefusedInEveryValueExceptTab) {
    TraceSettings settings = script_examples::scriptExample("worked example").settings;
    settings.heapPath = L"C:\\a\tb.etl"; // a tab is only a blank to cmd
    EXPECT_EQ(refusalOf(settings), std::nullopt);

    std::wstring TraceSettings::*const fields[] = {
        &TraceSettings::kernelPath,  &TraceSettings::userPath,    &TraceSettings::etlOutPath,
        &TraceSettings::sessionName, &TraceSettings::heapProcess, &TraceSettings::heapSessionName,
        &TraceSettings::heapPath,    &TraceSettings::fileMode};
    const wchar_t refused[] = {L'\0', L'\n', L'\r', L'\x1A', L'\x1F', L'\x7F', L'\x01', L'\x1B'};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        TraceSettings holding = settings;
        holding.*fields[i] += refused[i];
        const std::optional<ControlCharacterFinding> found = findControlCharacter(holding);
        ASSERT_TRUE(found.has_value()) << i;
        EXPECT_EQ(found->value->field, fields[i]);
        EXPECT_EQ(found->character, refused[i]);
    }
    settings.providers.back() += L'\x7F';
    EXPECT_EQ(refusalOf(settings),
              L"A provider name holds a control character (U+007F), which the command prompt "
              L"would not read as written. Deselect that provider: it is number 2 of the 2 "
              L"selected.");
    // A field comes before the providers, and is named by its label.
    settings.sessionName = L"Vell\ndel /q C:\\important\\*";
    EXPECT_EQ(refusalOf(settings),
              L"The \"Session name\" field holds a control character (U+000A), which the command "
              L"prompt would not read as written. Remove it.");
}

TEST(ScriptUnsafeValues, EachRuleIsFoundWhereTheValueStands) {
    using Rule = UnsafeValueRule;
    struct Case {
        std::wstring TraceSettings::*field; // null: the second provider
        const wchar_t* value;
        std::optional<Rule> rule; // nothing: accepted
        wchar_t character;
    };
    const Case cases[] = {
        {&TraceSettings::kernelPath, L"C:\\R&D 100%%\\k.etl", {}, 0},
        {&TraceSettings::userPath, L"%TEMP%\\u%%1.etl", Rule::UnsafeReference, L'%'},
        {&TraceSettings::heapPath, L"%~dp0heap.etl", {}, 0},
        {&TraceSettings::heapProcess, L" 42 43", {}, 0},
        {&TraceSettings::heapProcess, L"R&D tool\\", {}, 0},
        {nullptr, L"IIS: WWW Server", Rule::ProviderColon, L':'},
        {&TraceSettings::sessionName, L"Vell!", Rule::DelayedExpansion, L'!'},
        {&TraceSettings::sessionName, L"Vell&calc", Rule::BareArgumentOperator, L'&'},
        {&TraceSettings::heapSessionName, L"H^eap", Rule::BareArgumentOperator, L'^'},
        {&TraceSettings::heapProcess, L"12 & calc", Rule::BareArgumentOperator, L'&'},
        {&TraceSettings::heapProcess, L"7>x", Rule::BareArgumentOperator, L'>'},
        {&TraceSettings::sessionName, L"My Session", Rule::BareArgumentBlank, L' '},
        {&TraceSettings::heapSessionName, L"H\tH", Rule::BareArgumentBlank, L'\t'},
        {&TraceSettings::sessionName, L"-stop", Rule::LeadingDash, L'-'},
        {&TraceSettings::heapProcess, L"12 -5", Rule::LeadingDash, L'-'},
        {&TraceSettings::heapSessionName, L"Heap-2", {}, 0},
        {nullptr, L"A\" & calc & \"", Rule::DoubleQuote, L'"'},
        {&TraceSettings::heapProcess, L"note\" & calc & rem \"", Rule::DoubleQuote, L'"'},
        {&TraceSettings::etlOutPath, L"D:\\traces\\", Rule::TrailingBackslash, L'\\'},
        {&TraceSettings::userPath, L"D:\\traces\\%EMPTY%", Rule::UnsafeReference, L'%'},
        {&TraceSettings::heapPath, L"%~dp0", Rule::TrailingBackslash, L'%'},
        {&TraceSettings::sessionName, L"%USERNAME%", Rule::BareArgumentReference, L'%'},
        {&TraceSettings::heapProcess, L"12 %1", Rule::BareArgumentReference, L'%'},
        {&TraceSettings::userPath, L"u%1.etl", Rule::UnsafeReference, L'%'},
        {nullptr, L"x%CMDCMDLINE:~0,1% & calc", Rule::UnsafeReference, L'%'},
        {&TraceSettings::kernelPath, L"%~q1k.etl", Rule::UnsafeReference, L'%'},
        {&TraceSettings::etlOutPath, L"%path%\\x.etl", Rule::UnsafeReference, L'%'},
        {nullptr, L"Acme\\", Rule::TrailingBackslash, L'\\'},
        {&TraceSettings::kernelPath, L"C:\\logs\\100%.etl", Rule::UnpairedPercent, L'%'},
        {&TraceSettings::etlOutPath, L"-stop", Rule::LeadingDash, L'-'},
        {&TraceSettings::kernelPath, L"%~n0k.etl", Rule::LeadingDash, L'%'},
        {&TraceSettings::kernelPath, L"%~dpn0k.etl", {}, 0},
        {nullptr, L"A+B", Rule::ProviderPlus, L'+'},
        {nullptr, L"x%~dp0", Rule::BareArgumentReference, L'%'},
        {nullptr, L"MICROSOFT-WINDOWS-SHELL-CORE", Rule::ProviderCaseTwin, 0},
        {&TraceSettings::sessionName, L"\u30DDcalc.exe", Rule::NonAsciiBareValue, 0x30DD},
        // In code page 932 ソ is 83 5C, ア 83 41.
        {&TraceSettings::etlOutPath, L"D:\\\u30BD", Rule::CodePageByte, 0x30BD},
        {&TraceSettings::etlOutPath, L"D:\\\u30A2%%d", {}, 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& entry = cases[i];
        TraceSettings settings = script_examples::scriptExample("worked example").settings;
        settings.heapEnabled = 0; // looked at even where the script leaves them out
        (entry.field != nullptr ? settings.*entry.field : settings.providers[1]) = entry.value;
        const std::optional<UnsafeValueFinding> found = findUnsafeValue(
            settings, [](std::wstring_view text) { return testing::encodeIn(text, 932); });
        ASSERT_EQ(found.has_value(), entry.rule.has_value());
        if (found) {
            EXPECT_EQ(found->rule, *entry.rule);
            EXPECT_EQ(found->character, entry.character);
            EXPECT_EQ(found->value != nullptr ? found->value->field : nullptr, entry.field);
            EXPECT_EQ(found->provider, entry.field != nullptr ? 0U : 1U);
        }
    }
}

// A value that takes in the script's folder turns delayed expansion off before any value, and an
// image name typed with its ".exe" is registered as typed; '!' stays refused all the same.
TEST(ScriptOwnPathAndImageName, EachValueGivesItsLineOrIsRefused) {
    const std::wstring key =
        L"\"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\";
    const std::wstring guard = L"setlocal DisableDelayedExpansion";
    struct Case {
        std::wstring TraceSettings::*field;
        const wchar_t* value;
        std::size_t number; // 0: refused for a '!'
        std::wstring line;
    };
    const Case cases[] = {
        {&TraceSettings::etlOutPath, L"%~dp0out.etl", 5, guard},
        {&TraceSettings::kernelPath, L"%~f0.k.etl", 5, guard},
        {&TraceSettings::heapProcess, L"app%~n0", 5, guard},
        {&TraceSettings::etlOutPath, L"D:\\100%%~dp0.etl", 5, L""}, // "%%": no reference
        {&TraceSettings::etlOutPath, L"%~dp0!x!.etl", 0, {}},
        {&TraceSettings::heapProcess, L"myapp.exe", 11,
         L"reg add " + key + L"myapp.exe\" /v TracingFlags /t REG_DWORD /d 1 /f"},
        {&TraceSettings::heapProcess, L"MyApp.EXE", 28,
         L"reg delete " + key + L"MyApp.EXE\" /v TracingFlags /f"},
        {&TraceSettings::heapProcess, L"myapp.ex", 11,
         L"reg add " + key + L"myapp.ex.exe\" /v TracingFlags /t REG_DWORD /d 1 /f"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(::testing::Message() << std::wstring(entry.value));
        TraceSettings settings = script_examples::scriptExample("worked example").settings;
        settings.*entry.field = entry.value;
        const std::optional<UnsafeValueFinding> found = findUnsafeValue(settings);
        ASSERT_EQ(found.has_value(), entry.number == 0);
        if (found) {
            EXPECT_EQ(found->rule, UnsafeValueRule::DelayedExpansion);
            continue;
        }
        const std::wstring script = BuildCaptureScript(settings).value_or(L"");
        std::size_t start = 0;
        for (std::size_t line = 1; line < entry.number; ++line) {
            start = script.find(L"\r\n", start) + 2;
        }
        EXPECT_EQ(script.substr(start, script.find(L"\r\n", start) - start), entry.line);
    }
}

TEST(ScriptLineLimit, CountsUtf16UnitsAndTheBytesOfTheCodePage) {
    TraceSettings settings = script_examples::scriptExample("worked example").settings;
    // The length and measure of the line found too long, or 0 when none is.
    const auto overlong = [&](const ScriptEncoder& encoder) {
        const auto found =
            findOverlongLine(BuildCaptureScript(settings).value_or(L""), settings, encoder);
        return found ? std::make_pair(found->length, found->measure)
                     : std::make_pair(std::size_t{0}, LineMeasure::Characters);
    };
    settings.etlOutPath.clear();
    const std::size_t frame = lineLength(settings, 25);
    // U+1F600 is two UTF-16 units on every system.
    settings.etlOutPath = std::wstring(8191 - frame - 2, L'a') + L"\U0001F600";
    EXPECT_EQ(overlong({}).first, 0U); // exactly 8,191 units
    settings.etlOutPath += L'x';
    EXPECT_EQ(overlong({}), std::make_pair(std::size_t{8192}, LineMeasure::Characters));
    // In a code page of two bytes a character, half as many characters reach the limit.
    settings.etlOutPath.assign(4096 - frame, L'a');
    const ScriptEncoder twoEach = [](std::wstring_view line) {
        return std::optional<std::string>(std::string(2 * line.size(), 'x'));
    };
    EXPECT_EQ(overlong(twoEach), std::make_pair(std::size_t{8192}, LineMeasure::Bytes));
    // 8,191 bytes in 8,091 characters, as UTF-8 writes e-acute in two, pass whole.
    const ScriptEncoder utf8 = [](std::wstring_view line) {
        return testing::encodeIn(line, 65001);
    };
    settings.etlOutPath = std::wstring(100, L'\u00e9') + std::wstring(8191 - frame - 200, L'a');
    EXPECT_EQ(overlong(utf8).first, 0U);
    settings.etlOutPath += L'a';
    EXPECT_EQ(overlong(utf8), std::make_pair(std::size_t{8192}, LineMeasure::Bytes));
}

} // namespace
} // namespace corvane
