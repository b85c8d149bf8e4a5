// Capture profiles: UTF-8 text of `key = value` lines that names the same choices as the main
// dialog, so that a script can be made again from a file that can be kept, shared and reviewed.
#pragma once

#include "profile/profile_keys.h"
#include "settings/trace_settings.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Far beyond any real profile (20,000 providers take about 1 MiB), and small enough that a wrong
// file given as the profile is refused before it costs much memory.
inline constexpr std::size_t kLargestProfile = 16U << 20;
// A line holds one value; the longest path Windows takes is 32,767 UTF-16 units.
inline constexpr std::size_t kLongestProfileLine = 64U << 10;

// How much of a value a message shows, and of a path.
inline constexpr std::size_t kShownValueLength = 64;
inline constexpr std::size_t kShownPathLength = 1024;

// `text` for a message: a longer one is cut to its first `length` characters and "...", so that
// a runaway value does not flood the terminal, and its control characters written out
// (visibleText), so that it cannot act on the terminal. Every message that quotes input uses it.
[[nodiscard]] std::wstring shortened(std::wstring_view text,
                                     std::size_t length = kShownValueLength);
// The same in single quotes.
[[nodiscard]] std::wstring quoted(std::wstring_view text, std::size_t length = kShownValueLength);

// The order in which the dialog's sorted Providers list would show two names.
using ProviderOrder = std::function<bool(const std::wstring&, const std::wstring&)>;

// Off Windows, the Windows word sort of a sorted list box as far as it goes for ASCII: hyphens
// and apostrophes are passed over, other symbols come before digits and digits before letters,
// A-Z and a-z are alike; characters beyond ASCII follow all of those by code point. Names that
// are equal that way put the one with fewer hyphens and apostrophes first, then the lower code
// units, so the order never depends on the order of the input.
[[nodiscard]] bool wordSortLess(const std::wstring& left, const std::wstring& right);

// Whether two texts are the same with A-Z and a-z alike.
[[nodiscard]] bool equalsFolded(std::wstring_view left, std::wstring_view right);

// The text with A-Z as a-z: equal for two texts that equalsFolded takes for the same.
[[nodiscard]] std::wstring folded(std::wstring_view text);

// The candidate nearest to `name` by edit distance with letter case ignored; the first one on a
// tie. Empty when there are no candidates.
[[nodiscard]] std::wstring nearestName(std::wstring_view name,
                                       const std::vector<std::wstring_view>& candidates);

// Collects a profile and `--set` assignments into settings, starting from the given defaults.
// A scalar key may be set once by the profile and once by an assignment, which wins; a list key
// adds one name per line.
class ProfileReader {
public:
    explicit ProfileReader(const TraceSettings& defaults);

    // false at the first problem, with a message that starts with its line ("line 7: ...").
    [[nodiscard]] bool readProfile(std::string_view utf8Text, std::wstring& error);
    // `key=value` as given after --set; the message starts with the assignment.
    [[nodiscard]] bool readAssignment(std::wstring_view assignment, std::wstring& error);

    [[nodiscard]] bool etlOutPathSet() const;
    // "xperf" (the default) or "wpr": the program the script records with.
    [[nodiscard]] const std::wstring& recorder() const;

    // Where a text value or a provider was given, for messages: "PROFILE: line 7: session-name"
    // or "--set session-name" (an assignment's own text may be what is wrong with it).
    [[nodiscard]] std::wstring origin(std::wstring TraceSettings::*field,
                                      const std::wstring& profileName) const;
    [[nodiscard]] std::wstring providerOrigin(const std::wstring& name,
                                              const std::wstring& profileName) const;

    // The settings, with the selections in the order in which the dialog's lists show them.
    [[nodiscard]] TraceSettings settings(const ProviderOrder& providerOrder) const;

private:
    // Where each value came from, for messages: "line 7" or "--set key=value".
    using Origins = std::vector<std::wstring>;

    [[nodiscard]] bool readLine(std::wstring_view line, const std::wstring& where,
                                Origins& scalarOrigins, std::wstring& error);

    profile_keys::ProfileValues values_;
    Origins profileOrigins_;    // per key of the table
    Origins assignmentOrigins_; // per key of the table
};

// The dialog's values when it opens: defaultTraceSettings, Heap clear, the first file mode.
[[nodiscard]] TraceSettings profileDefaults(const DefaultsEnvironment& environment);

// A profile that sets every key to its default, each after its help as comments: a starting point.
[[nodiscard]] std::wstring profileTemplate(const TraceSettings& defaults);

// The profile a person would write for settings read back from the script `scriptName`: the keys
// in the template's order, each only where it differs from `defaults` (etl-out-path always, as its
// default moves with the clock), after one comment line that names the script and the values it
// does not carry.
[[nodiscard]] std::wstring profileOfScript(const TraceSettings& settings,
                                           const TraceSettings& defaults,
                                           std::wstring_view scriptName);

// The profile of the dialog's choices, in the same form: the keys that differ from `defaults`
// (etl-out-path always) and the recorder where it is not xperf, after one comment line.
[[nodiscard]] std::wstring profileOfChoices(const TraceSettings& settings,
                                            const TraceSettings& defaults,
                                            const std::wstring& recorder);

} // namespace corvane
