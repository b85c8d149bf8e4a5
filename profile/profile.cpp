#include "profile/profile.h"

#include "profile/profile_keys.h"

#include "profile/provider_line.h"
#include "encoding/utf8.h"
#include "settings/catalogues.h"
#include "settings/descriptions.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <utility>

namespace corvane {
namespace profile_keys {
namespace {

constexpr std::uint32_t kLargestNumber = std::numeric_limits<std::uint32_t>::max();

ProfileKey numberKey(const wchar_t* name, std::uint32_t TraceSettings::*field,
                     std::uint32_t minimum, std::uint32_t maximum) {
    return {name, KeyKind::Number, field, minimum, maximum, nullptr, nullptr};
}

ProfileKey checkKey(const wchar_t* name, std::int32_t TraceSettings::*field) {
    return {name, KeyKind::Check, nullptr, 0, 0, field, nullptr};
}

ProfileKey textKey(const wchar_t* name, std::wstring TraceSettings::*field) {
    return {name, KeyKind::Text, nullptr, 0, 0, nullptr, field};
}

ProfileKey listKey(const wchar_t* name, KeyKind kind) {
    return {name, kind, nullptr, 0, 0, nullptr, nullptr};
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
        // Its text field only names it in messages; the value is checked against the catalogue.
        {L"file-mode", KeyKind::FileMode, nullptr, 0, 0, nullptr, &TraceSettings::fileMode},
        listKey(L"kernel-flag", KeyKind::KernelFlag),
        listKey(L"stackwalk", KeyKind::Stackwalk),
        listKey(L"provider", KeyKind::Provider),
        checkKey(L"capture-state", &TraceSettings::captureState),
        listKey(L"recorder", KeyKind::Recorder),
    };
    return keys;
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

} // namespace profile_keys

using namespace profile_keys;

namespace {

template <std::size_t N>
std::vector<std::wstring_view> namesOf(const std::array<const wchar_t*, N>& catalogue) {
    return std::vector<std::wstring_view>(catalogue.begin(), catalogue.end());
}

// The catalogue of a key that takes a known name, with what the user calls one of its names.
struct NameVocabulary {
    std::vector<std::wstring_view> names;
    const wchar_t* what;
};

const NameVocabulary& vocabularyOf(KeyKind kind) {
    static const NameVocabulary fileModes{namesOf(FileModeCatalogue), L"file mode"};
    static const NameVocabulary kernel{namesOf(KernelFlagCatalogue), L"kernel flag"};
    static const NameVocabulary stackwalk{namesOf(StackwalkCatalogue), L"stack-walk event"};
    static const NameVocabulary recorders{
        std::vector<std::wstring_view>(std::begin(kRecorderNames), std::end(kRecorderNames)),
        L"recorder"};
    switch (kind) {
    case KeyKind::Recorder:
        return recorders;
    case KeyKind::FileMode:
        return fileModes;
    case KeyKind::KernelFlag:
        return kernel;
    default:
        return stackwalk;
    }
}

// A value in double quotes keeps the blanks at its ends; the quotes themselves go.
std::wstring_view unquoted(std::wstring_view value) {
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
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

std::wstring unknownName(const wchar_t* what, std::wstring_view name,
                         const std::vector<std::wstring_view>& candidates) {
    return L"unknown " + std::wstring(what) + L" " + quoted(name) + L"; did you mean " +
           quoted(nearestName(name, candidates)) + L"?";
}

std::size_t indexOf(const std::vector<std::wstring_view>& names, std::wstring_view name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

} // namespace

ProfileReader::ProfileReader(const TraceSettings& defaults)
    : settings_(defaults), profileOrigins_(profileKeys().size()),
      assignmentOrigins_(profileKeys().size()), kernelOrigins_(KernelFlagCatalogue.size()),
      stackwalkOrigins_(StackwalkCatalogue.size()) {
    // Selections come from the profile alone.
    settings_.kernelFlags.clear();
    settings_.stackwalkEvents.clear();
    settings_.providers.clear();
}

bool ProfileReader::readProfile(std::string_view utf8Text, std::wstring& error) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (utf8Text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        utf8Text.remove_prefix(kByteOrderMark.size());
    }
    std::size_t lineNumber = 0;
    std::wstring line;
    while (!utf8Text.empty()) {
        ++lineNumber;
        const std::size_t end = utf8Text.find('\n');
        std::string_view bytes = utf8Text.substr(0, end);
        utf8Text.remove_prefix(end == std::string_view::npos ? utf8Text.size() : end + 1);
        if (!bytes.empty() && bytes.back() == '\r') {
            bytes.remove_suffix(1);
        }
        const std::wstring where = L"line " + std::to_wstring(lineNumber);
        if (bytes.size() > kLongestProfileLine) {
            error = where + L": longer than " + std::to_wstring(kLongestProfileLine) + L" bytes";
            return false;
        }
        if (!fromUtf8(bytes, line)) {
            error = where + L": the profile is not UTF-8 text";
            return false;
        }
        const std::wstring_view content = trimmed(line);
        if (content.empty() || content.front() == L'#') {
            continue;
        }
        if (!readLine(content, where, profileOrigins_, error)) {
            return false;
        }
    }
    return true;
}

bool ProfileReader::readAssignment(std::wstring_view assignment, std::wstring& error) {
    return readLine(trimmed(assignment), L"--set " + shortened(assignment), assignmentOrigins_,
                    error);
}

bool ProfileReader::readLine(std::wstring_view line, const std::wstring& where,
                             Origins& scalarOrigins, std::wstring& error) {
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
        error = where + L": expected 'key = value', not " + quoted(line);
        return false;
    }
    const std::wstring_view name = trimmed(line.substr(0, equals));
    const std::wstring_view given = trimmed(line.substr(equals + 1));
    const std::wstring_view value = unquoted(given);

    const std::vector<ProfileKey>& keys = profileKeys();
    const auto key = std::find_if(keys.begin(), keys.end(),
                                  [name](const ProfileKey& entry) { return name == entry.name; });
    if (key == keys.end()) {
        std::vector<std::wstring_view> names;
        for (const ProfileKey& entry : keys) {
            names.emplace_back(entry.name);
        }
        error = where + L": " + unknownName(L"key", name, names);
        return false;
    }

    std::wstring& origin = scalarOrigins[static_cast<std::size_t>(key - keys.begin())];
    const bool isList = key->kind == KeyKind::KernelFlag || key->kind == KeyKind::Stackwalk ||
                        key->kind == KeyKind::Provider;
    if (!isList && !origin.empty()) {
        error = where + L": " + key->name + L" is set twice; first at " + origin;
        return false;
    }

    switch (key->kind) {
    case KeyKind::Number: {
        std::uint32_t number = 0;
        if (!parseNumber(value, number) || number < key->minimum || number > key->maximum) {
            error = where + L": " + key->name + L" must be a whole number from " +
                    std::to_wstring(key->minimum) + L" to " + std::to_wstring(key->maximum) +
                    L", not " + quoted(value);
            return false;
        }
        settings_.*(key->number) = number;
        break;
    }
    case KeyKind::Check:
        if (equalsFolded(value, L"yes") || equalsFolded(value, L"no")) {
            settings_.*(key->check) = equalsFolded(value, L"yes") ? 1 : 0;
            break;
        }
        error = where + L": " + key->name + L" must be yes or no, not " + quoted(value);
        return false;
    case KeyKind::Text:
        if (value.empty()) {
            error = where + L": " + key->name + L" must not be empty";
            return false;
        }
        settings_.*(key->text) = std::wstring(value);
        break;
    case KeyKind::FileMode:
    case KeyKind::Recorder: {
        const NameVocabulary& vocabulary = vocabularyOf(key->kind);
        if (indexOf(vocabulary.names, value) == vocabulary.names.size()) {
            error = where + L": " + unknownName(vocabulary.what, value, vocabulary.names);
            return false;
        }
        (key->kind == KeyKind::Recorder ? recorder_ : settings_.fileMode) = std::wstring(value);
        break;
    }
    case KeyKind::KernelFlag:
    case KeyKind::Stackwalk: {
        const NameVocabulary& vocabulary = vocabularyOf(key->kind);
        const std::size_t index = indexOf(vocabulary.names, value);
        if (index == vocabulary.names.size()) {
            error = where + L": " + unknownName(vocabulary.what, value, vocabulary.names);
            return false;
        }
        Origins& listed = key->kind == KeyKind::KernelFlag ? kernelOrigins_ : stackwalkOrigins_;
        if (!listed[index].empty()) {
            error = where + L": " + vocabulary.what + L" " + quoted(value) +
                    L" is listed twice; first at " + listed[index];
            return false;
        }
        listed[index] = where;
        break;
    }
    case KeyKind::Provider: {
        ProviderLine provider;
        if (!readProviderLine(given, provider, error)) {
            error = where + L": " + error;
            return false;
        }
        if (provider.name.empty()) {
            error = where + L": " + key->name + L" must not be empty";
            return false;
        }
        const auto [entry, added] = providerOrigins_.emplace(provider.name, where);
        if (!added) {
            error = where + L": provider " + quoted(provider.name) +
                    L" is listed twice; first at " + entry->second;
            return false;
        }
        // xperf takes a name without regard to case, so these would be one provider twice.
        const auto [spelling, first] =
            providerSpellings_.emplace(folded(provider.name), provider.name);
        if (!first) {
            error = where + L": provider " + quoted(provider.name) +
                    L" differs only in case from " + quoted(spelling->second) + L" at " +
                    providerOrigins_[spelling->second] +
                    L", and xperf reads provider names without regard to case: list it once";
            return false;
        }
        if (provider.options) {
            settings_.providerOptions[provider.name] = *provider.options;
        }
        providers_.push_back(std::move(provider.name));
        break;
    }
    }
    if (!isList) {
        origin = where;
    }
    return true;
}

const std::wstring& ProfileReader::recorder() const {
    return recorder_;
}

bool ProfileReader::etlOutPathSet() const {
    const std::vector<ProfileKey>& keys = profileKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].text == &TraceSettings::etlOutPath) {
            return !profileOrigins_[i].empty() || !assignmentOrigins_[i].empty();
        }
    }
    return false;
}

std::wstring ProfileReader::origin(std::wstring TraceSettings::*field,
                                   const std::wstring& profileName) const {
    const std::vector<ProfileKey>& keys = profileKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].text != field) {
            continue;
        }
        const std::wstring key = keys[i].name;
        if (!assignmentOrigins_[i].empty()) {
            return L"--set " + key;
        }
        if (!profileOrigins_[i].empty()) {
            return profileName + L": " + profileOrigins_[i] + L": " + key;
        }
        return L"the default " + key;
    }
    return {};
}

std::wstring ProfileReader::providerOrigin(const std::wstring& name,
                                           const std::wstring& profileName) const {
    const auto found = providerOrigins_.find(name);
    if (found == providerOrigins_.end() || found->second.rfind(L"--set ", 0) == 0) {
        return L"--set provider";
    }
    return profileName + L": " + found->second + L": provider";
}

TraceSettings ProfileReader::settings(const ProviderOrder& providerOrder) const {
    TraceSettings settings = settings_;
    for (std::size_t i = 0; i < KernelFlagCatalogue.size(); ++i) {
        if (!kernelOrigins_[i].empty()) {
            settings.kernelFlags.emplace_back(KernelFlagCatalogue[i]);
        }
    }
    // The catalogue holds the stack-walk events in the sorted list's order already.
    for (std::size_t i = 0; i < StackwalkCatalogue.size(); ++i) {
        if (!stackwalkOrigins_[i].empty()) {
            settings.stackwalkEvents.emplace_back(StackwalkCatalogue[i]);
        }
    }
    settings.providers = providers_;
    std::stable_sort(settings.providers.begin(), settings.providers.end(), providerOrder);
    return settings;
}

TraceSettings profileDefaults(const DefaultsEnvironment& environment) {
    TraceSettings settings;
    settings.heapEnabled = 0;
    defaultTraceSettings(settings, environment);
    settings.fileMode = FileModeCatalogue[0];
    return settings;
}

} // namespace corvane
