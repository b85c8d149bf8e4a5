#include "profile/profile_keys.h"

#include "profile/profile.h"
#include "profile/provider_line.h"
#include "settings/catalogues.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <limits>
#include <utility>

namespace corvane::profile_keys {
namespace {

constexpr std::uint32_t kLargestNumber = std::numeric_limits<std::uint32_t>::max();

template <std::size_t N>
std::vector<std::wstring_view> namesOf(const std::array<const wchar_t*, N>& catalogue) {
    return std::vector<std::wstring_view>(catalogue.begin(), catalogue.end());
}

// The catalogue of a key that takes a known name, with what the user calls one of its names.
struct NameVocabulary {
    std::vector<std::wstring_view> names;
    const wchar_t* what;
};

std::size_t indexOf(const std::vector<std::wstring_view>& names, std::wstring_view name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

// The index of `name` in the vocabulary; false, with the nearest name offered, for another.
bool findName(const NameVocabulary& vocabulary, std::wstring_view name, std::size_t& index,
              std::wstring& error) {
    index = indexOf(vocabulary.names, name);
    if (index == vocabulary.names.size()) {
        error = unknownName(vocabulary.what, name, vocabulary.names);
        return false;
    }
    return true;
}

bool parseNumber(std::wstring_view text, std::uint32_t& value) {
    if (text.empty()) {
        return false;
    }
    std::uint64_t number = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        number = number * 10U + static_cast<std::uint64_t>(c - L'0');
        if (number > kLargestNumber) {
            return false;
        }
    }
    value = static_cast<std::uint32_t>(number);
    return true;
}

bool readNumber(const ProfileKey& key, const KeyValue& value, ProfileValues& values,
                std::wstring& error) {
    std::uint32_t number = 0;
    if (!parseNumber(value.value, number) || number < key.minimum || number > key.maximum) {
        error =
            key.name + (L" must be a whole number from " + std::to_wstring(key.minimum) + L" to " +
                        std::to_wstring(key.maximum) + L", not " + quoted(value.value));
        return false;
    }
    values.settings.*(key.number) = number;
    return true;
}

bool readYesNo(const ProfileKey& key, const KeyValue& value, ProfileValues& values,
               std::wstring& error) {
    const bool yes = equalsFolded(value.value, L"yes");
    if (!yes && !equalsFolded(value.value, L"no")) {
        error = key.name + (L" must be yes or no, not " + quoted(value.value));
        return false;
    }
    values.settings.*(key.check) = yes ? 1 : 0;
    return true;
}

bool readText(const ProfileKey& key, const KeyValue& value, ProfileValues& values,
              std::wstring& error) {
    if (value.value.empty()) {
        error = key.name + std::wstring(L" must not be empty");
        return false;
    }
    values.settings.*(key.text) = std::wstring(value.value);
    return true;
}

bool readFileMode(const ProfileKey& key, const KeyValue& value, ProfileValues& values,
                  std::wstring& error) {
    static const NameVocabulary fileModes{namesOf(FileModeCatalogue), L"file mode"};
    std::size_t index = 0;
    if (!findName(fileModes, value.value, index, error)) {
        return false;
    }
    values.settings.*(key.text) = std::wstring(value.value);
    return true;
}

bool readWprLogging(const ProfileKey& key, const KeyValue& value, ProfileValues& values,
                    std::wstring& error) {
    static const NameVocabulary modes{
        std::vector<std::wstring_view>(std::begin(kWprLoggingModes), std::end(kWprLoggingModes)),
        L"WPR logging mode"};
    std::size_t index = 0;
    if (!findName(modes, value.value, index, error)) {
        return false;
    }
    values.settings.*(key.text) = std::wstring(value.value);
    return true;
}

bool readRecorder(const ProfileKey&, const KeyValue& value, ProfileValues& values,
                  std::wstring& error) {
    static const NameVocabulary recorders{
        std::vector<std::wstring_view>(std::begin(kRecorderNames), std::end(kRecorderNames)),
        L"recorder"};
    std::size_t index = 0;
    if (!findName(recorders, value.value, index, error)) {
        return false;
    }
    values.recorder = std::wstring(value.value);
    return true;
}

// A catalogue name selected by its line, which `origins` keeps at the name's index.
bool readSelection(const NameVocabulary& vocabulary, std::vector<std::wstring>& origins,
                   const KeyValue& value, std::wstring& error) {
    std::size_t index = 0;
    if (!findName(vocabulary, value.value, index, error)) {
        return false;
    }
    if (!origins[index].empty()) {
        error = vocabulary.what +
                (L" " + quoted(value.value) + L" is listed twice; first at " + origins[index]);
        return false;
    }
    origins[index] = value.where;
    return true;
}

bool readKernelFlag(const ProfileKey&, const KeyValue& value, ProfileValues& values,
                    std::wstring& error) {
    static const NameVocabulary kernel{namesOf(KernelFlagCatalogue), L"kernel flag"};
    return readSelection(kernel, values.kernelOrigins, value, error);
}

bool readStackwalk(const ProfileKey&, const KeyValue& value, ProfileValues& values,
                   std::wstring& error) {
    static const NameVocabulary stackwalk{namesOf(StackwalkCatalogue), L"stack-walk event"};
    return readSelection(stackwalk, values.stackwalkOrigins, value, error);
}

bool readProvider(const ProfileKey& key, const KeyValue& value, ProfileValues& values,
                  std::wstring& error) {
    ProviderLine provider;
    if (!readProviderLine(value.given, provider, error)) {
        return false;
    }
    if (provider.name.empty()) {
        error = key.name + std::wstring(L" must not be empty");
        return false;
    }
    const auto [entry, added] = values.providerOrigins.emplace(provider.name, value.where);
    if (!added) {
        error =
            L"provider " + quoted(provider.name) + L" is listed twice; first at " + entry->second;
        return false;
    }
    // xperf takes a name without regard to case, so these would be one provider twice.
    const auto [spelling, first] =
        values.providerSpellings.emplace(folded(provider.name), provider.name);
    if (!first) {
        error = L"provider " + quoted(provider.name) + L" differs only in case from " +
                quoted(spelling->second) + L" at " + values.providerOrigins[spelling->second] +
                L", and xperf reads provider names without regard to case: list it once";
        return false;
    }
    if (provider.options) {
        values.settings.providerOptions[provider.name] = *provider.options;
    }
    values.providers.push_back(std::move(provider.name));
    return true;
}

ProfileKey numberKey(const wchar_t* name, std::uint32_t TraceSettings::*field,
                     std::uint32_t minimum, std::uint32_t maximum) {
    return {name, KeyKind::Number, readNumber, false, field, minimum, maximum, nullptr, nullptr};
}

ProfileKey checkKey(const wchar_t* name, std::int32_t TraceSettings::*field) {
    return {name, KeyKind::Check, readYesNo, false, nullptr, 0, 0, field, nullptr};
}

ProfileKey textKey(const wchar_t* name, std::wstring TraceSettings::*field,
                   KeyKind kind = KeyKind::Text, ValueReader read = readText) {
    return {name, kind, read, false, nullptr, 0, 0, nullptr, field};
}

// A key whose values the reader keeps apart from the settings' fields.
ProfileKey keptKey(const wchar_t* name, KeyKind kind, ValueReader read, bool listed) {
    return {name, kind, read, listed, nullptr, 0, 0, nullptr, nullptr};
}

} // namespace

const std::vector<ProfileKey>& profileKeys() {
    static const std::vector<ProfileKey> keys = {
        numberKey(L"max-file-size-mb", &TraceSettings::maxFileSizeMb, 0, kLargestNumber),
        numberKey(L"buffer-size-kb", &TraceSettings::bufferSizeKb, 4, 1024),
        numberKey(L"max-buffers", &TraceSettings::maxBuffers, 0, kLargestNumber),
        numberKey(L"min-buffers", &TraceSettings::minBuffers, 0, kLargestNumber),
        checkKey(L"log-stack", &TraceSettings::logStack),
        checkKey(L"heap", &TraceSettings::heapEnabled),
        textKey(L"kernel-path", &TraceSettings::kernelPath),
        textKey(L"user-path", &TraceSettings::userPath),
        textKey(L"etl-out-path", &TraceSettings::etlOutPath),
        textKey(L"session-name", &TraceSettings::sessionName),
        textKey(L"process-name-or-pid", &TraceSettings::heapProcess),
        textKey(L"heap-session-name", &TraceSettings::heapSessionName),
        textKey(L"heap-path", &TraceSettings::heapPath),
        textKey(L"file-mode", &TraceSettings::fileMode, KeyKind::FileMode, readFileMode),
        keptKey(L"kernel-flag", KeyKind::KernelFlag, readKernelFlag, true),
        keptKey(L"stackwalk", KeyKind::Stackwalk, readStackwalk, true),
        keptKey(L"provider", KeyKind::Provider, readProvider, true),
        checkKey(L"capture-state", &TraceSettings::captureState),
        keptKey(L"recorder", KeyKind::Recorder, readRecorder, false),
        textKey(L"wpr-logging", &TraceSettings::wprLogging, KeyKind::WprLogging, readWprLogging),
    };
    return keys;
}

std::wstring unknownName(const wchar_t* what, std::wstring_view name,
                         const std::vector<std::wstring_view>& candidates) {
    return L"unknown " + std::wstring(what) + L" " + quoted(name) + L"; did you mean " +
           quoted(nearestName(name, candidates)) + L"?";
}

bool isBlank(wchar_t c) noexcept {
    return c == L' ' || c == L'\t';
}

std::wstring_view trimmed(std::wstring_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Blanks at the ends would be trimmed, a CR at the end taken for a CR LF line end, and a value in
// quotes would lose them.
std::wstring valueText(const std::wstring& value) {
    const bool needsQuotes =
        !value.empty() &&
        (isBlank(value.front()) || isBlank(value.back()) || value.back() == L'\r' ||
         (value.size() >= 2 && value.front() == L'"' && value.back() == L'"'));
    return needsQuotes ? L"\"" + value + L"\"" : value;
}

} // namespace corvane::profile_keys
