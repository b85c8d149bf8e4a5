#include "script/script_checks.h"
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
    };
    const Case cases[] = {
        {&TraceSettings::kernelPath, 13, ScriptLine::KernelStart},
        {&TraceSettings::heapPath, 17, ScriptLine::HeapStart},
        {&TraceSettings::etlOutPath, 25, ScriptLine::StopCommand},
        {&TraceSettings::heapProcess, 11, ScriptLine::TracingFlagsSet},
    };
    for (const Case& entry : cases) {
        TraceSettings settings = script_examples::scriptExample("worked example").settings;
        padLineTo(settings, settings.*entry.field, entry.number, kCommandPromptLineLimit);
        EXPECT_EQ(refusalOf(settings), std::nullopt) << entry.number;
        settings.*entry.field += L'x';
        const std::optional<OverlongLine> found =
            findOverlongLine(BuildCaptureScript(settings).value_or(L""));
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

} // namespace
} // namespace corvane
