// Random settings, drawn heavy with what cmd and the C runtime treat specially, read the way cmd
// reads their script: whatever the checks accept reaches xperf and reg as meant. Prints how many
// settings were read and what was refused for which reason.
#include "tests/core/cmd_reading.h"

#include "script/capture_script.h"
#include "script/script_checks.h"
#include "settings/catalogues.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

namespace corvane::testing {
namespace {

constexpr std::wstring_view kHostile = L"\"&|<>^%!\\ \t:~*019.-e\u00e9\U0001F600";

class RandomSettings {
public:
    TraceSettings next() {
        TraceSettings s;
        for (std::wstring* text : {&s.kernelPath, &s.userPath, &s.etlOutPath, &s.sessionName,
                                   &s.heapProcess, &s.heapSessionName, &s.heapPath}) {
            *text = this->text();
        }
        if (below(2) == 0) {
            s.heapProcess.insert(0, 1, L'4'); // the PID form as often as the name form
        }
        for (std::size_t n = below(3); n > 0; --n) {
            s.kernelFlags.emplace_back(KernelFlagCatalogue[below(KernelFlagCatalogue.size())]);
            s.stackwalkEvents.emplace_back(StackwalkCatalogue[below(StackwalkCatalogue.size())]);
        }
        for (std::size_t n = below(3); n > 0; --n) {
            s.providers.push_back(text());
        }
        s.fileMode = FileModeCatalogue[below(FileModeCatalogue.size())];
        s.logStack = static_cast<std::int32_t>(below(2));
        s.heapEnabled = static_cast<std::int32_t>(below(2));
        return s;
    }

private:
    std::size_t below(std::size_t n) { return random_() % n; }
    // Never empty: the dialog and corvane-script refuse an empty text before any script.
    std::wstring text() {
        std::wstring t;
        for (std::size_t n = 1 + below(5); n > 0; --n) {
            t += below(5) == 0 ? kHostile[below(kHostile.size())] : wchar_t(L'a' + below(26));
        }
        return below(20) == 0 ? t + L'\\' : t;
    }
    std::mt19937 random_{20261207};
};

const char* refusalReason(const TraceSettings& s, std::wstring_view script) {
    static const char* const kRules[] = {"double quote",
                                         "trailing backslash",
                                         "operator in a bare value",
                                         "blank in a bare value",
                                         "leading dash",
                                         "unpaired percent",
                                         "'%' in a bare value",
                                         "'%' from the environment",
                                         "'!'",
                                         "non-ASCII bare value",
                                         "code page byte",
                                         "'+' in a provider",
                                         "':' in a provider",
                                         "providers differing in case"};
    if (findControlCharacter(s)) {
        return "control character";
    }
    if (const std::optional<UnsafeValueFinding> finding = findUnsafeValue(s)) {
        return kRules[static_cast<int>(finding->rule)];
    }
    return findOverlongLine(script, s) ? "line too long" : nullptr;
}

TEST(ScriptReading, ModelReadsALineAsCmdAndTheCRuntimeDo) {
    using Arguments = std::vector<std::wstring>;
    const std::pair<std::wstring_view, std::optional<Arguments>> cases[] = {
        {L"x 50%% %1 100%.etl", Arguments{L"x", L"50%", L"100.etl"}},
        {L"x a%b b%a %u:a=b%", Arguments{L"x", L"aa", L"a=b"}},
        {L"x %~dp0", Arguments{L"x"}},
        {L"x %~q", std::nullopt},
        {L"x -start A&calc", std::nullopt},
        {L"x \"A&B|<>\" ^&^^ \"^\"", Arguments{L"x", L"A&B|<>", L"&^", L"^"}},
        {L"x a^", std::nullopt},
        {L"x \"D:\\t\\\" -f", Arguments{L"x", L"D:\\t\" -f"}},
        {L"x a\\\\\"b c\" d\\e\t\\\\\\\"", Arguments{L"x", L"a\\b c", L"d\\e", L"\\\""}},
        {L"x a\"b\"\" c d", Arguments{L"x", L"ab\"", L"c", L"d"}},
    };
    for (const auto& [line, expected] : cases) {
        const std::optional<std::wstring> expanded = expandPercents(line);
        const std::optional<std::wstring> command = expanded ? singleCommand(*expanded) : expanded;
        EXPECT_EQ(command ? std::optional(splitArguments(*command)) : std::nullopt, expected)
            << std::wstring(line);
    }
}

TEST(ScriptReading, EveryAcceptedRandomSettingReachesXperfAndRegAsMeant) {
    constexpr int kSettings = 100000;
    const char* const kReadings[] = {"read as meant", "stops the script"};
    std::map<std::string, int> tally;
    RandomSettings random;
    for (int n = 0; n < kSettings; ++n) {
        const TraceSettings settings = random.next();
        const std::optional<std::wstring> script = BuildCaptureScript(settings);
        if (!script) {
            ++tally["nothing selected"];
        } else if (scriptRefusal(settings, *script)) {
            const char* reason = refusalReason(settings, *script);
            ASSERT_NE(reason, nullptr) << "refused for no known reason";
            ++tally[std::string("refused: ") + reason];
        } else {
            const ScriptReading reading = readScript(settings, *script);
            ASSERT_TRUE(reading.reading <= Reading::StopsScript)
                << "accepted, yet not read as meant: " << reading.line;
            ++tally[std::string("accepted, ") + kReadings[static_cast<int>(reading.reading)]];
            tally["accepted, a bare value expands to nothing"] += reading.bareValueEmptied;
        }
    }
    std::printf("%d random settings read:\n", kSettings);
    for (const auto& [what, count] : tally) {
        std::printf("  %-40s %6d\n", what.c_str(), count);
    }
}

} // namespace
} // namespace corvane::testing
