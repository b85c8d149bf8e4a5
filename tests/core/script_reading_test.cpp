// Random settings, drawn heavy with what cmd and the C runtime treat specially, read the way cmd
// reads their script: whatever the checks accept reaches xperf and reg as meant. Prints how many
// settings were read and what was refused for which reason.
#include "tests/core/cmd_reading.h"
#include "tests/core/random_settings.h"

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

// The code pages the script is written in (0: none given, so ASCII only) and read in.
constexpr unsigned kWritten[] = {0, 437, 65001, 932, 936, 950};
constexpr unsigned kRead[] = {437, 65001, 932, 936, 950};

const char* refusalReason(const TraceSettings& s, std::wstring_view script,
                          const ScriptEncoder& encoder) {
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
    if (const std::optional<UnsafeValueFinding> finding = findUnsafeValue(s, encoder)) {
        return kRules[static_cast<int>(finding->rule)];
    }
    return findOverlongLine(script, s, encoder) ? "line too long" : nullptr;
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
    constexpr int kSettings = 20000;
    std::map<std::string, int> tally;
    RandomSettings random;
    for (int n = 0; n < kSettings; ++n) {
        const TraceSettings settings = random.next();
        const std::optional<std::wstring> script = BuildCaptureScript(settings);
        if (!script) {
            ++tally["nothing selected"];
            continue;
        }
        // Checked and written in each code page, then read in every prompt.
        for (const unsigned written : kWritten) {
            const auto encoder =
                written == 0 ? ScriptEncoder() : [written](std::wstring_view text) {
                    return encodeIn(text, written);
                };
            if (scriptRefusal(settings, *script, encoder)) {
                const char* reason = refusalReason(settings, *script, encoder);
                ASSERT_NE(reason, nullptr) << "refused for no known reason";
                ++tally[std::string("refused: ") + reason];
                continue;
            }
            // Without a code page only ASCII is written: the same bytes in 437 and in UTF-8.
            if (written == 0 ? encodeIn(*script, 437) != encodeIn(*script, 65001)
                             : !encoder(*script)) {
                ++tally["not written: the code page cannot hold it"];
                continue;
            }
            for (const unsigned read : kRead) {
                for (const bool delayed : {false, true}) {
                    const ScriptReading reading =
                        readScript(settings, *script, hostilePrompt(delayed, written, read));
                    ASSERT_TRUE(reading.reading <= Reading::StopsScript)
                        << "accepted in code page " << written << ", yet read in " << read
                        << (delayed ? " with" : " without")
                        << " delayed expansion not as meant: " << reading.line;
                    tally["accepted, a bare value expands to nothing"] += reading.bareValueEmptied;
                }
            }
            ++tally["accepted, read as meant in all 10 prompts"];
        }
    }
    std::printf("%d random settings, each checked in code pages 437, 65001, 932, 936, 950 and "
                "none (ASCII), read in 437, 65001, 932, 936 and 950 with and without delayed "
                "expansion:\n",
                kSettings);
    for (const auto& [what, count] : tally) {
        std::printf("  %-44s %6d\n", what.c_str(), count);
    }
}

} // namespace
} // namespace corvane::testing
