#include "profile/profile.h"

#include "profile/profile_keys.h"

#include "encoding/utf8.h"
#include "settings/catalogues.h"

#include <algorithm>
#include <cstddef>

namespace corvane {

using namespace profile_keys;

namespace {

// A value in double quotes keeps the blanks at its ends; the quotes themselves go.
std::wstring_view unquoted(std::wstring_view value) {
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

} // namespace

ProfileReader::ProfileReader(const TraceSettings& defaults)
    : profileOrigins_(profileKeys().size()), assignmentOrigins_(profileKeys().size()) {
    values_.settings = defaults;
    // Selections come from the profile alone.
    values_.settings.kernelFlags.clear();
    values_.settings.stackwalkEvents.clear();
    values_.settings.providers.clear();
    values_.kernelOrigins.resize(KernelFlagCatalogue.size());
    values_.stackwalkOrigins.resize(StackwalkCatalogue.size());
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
    if (!key->listed && !origin.empty()) {
        error = where + L": " + key->name + L" is set twice; first at " + origin;
        return false;
    }
    std::wstring reason;
    if (!key->read(*key, {given, unquoted(given), where}, values_, reason)) {
        error = where + L": " + reason;
        return false;
    }
    if (!key->listed) {
        origin = where;
    }
    return true;
}

const std::wstring& ProfileReader::recorder() const {
    return values_.recorder;
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
            return shortened(profileName, kShownPathLength) + L": " + profileOrigins_[i] + L": " +
                   key;
        }
        return L"the default " + key;
    }
    return {};
}

std::wstring ProfileReader::providerOrigin(const std::wstring& name,
                                           const std::wstring& profileName) const {
    const auto found = values_.providerOrigins.find(name);
    if (found == values_.providerOrigins.end() || found->second.rfind(L"--set ", 0) == 0) {
        return L"--set provider";
    }
    return shortened(profileName, kShownPathLength) + L": " + found->second + L": provider";
}

TraceSettings ProfileReader::settings(const ProviderOrder& providerOrder) const {
    TraceSettings settings = values_.settings;
    for (std::size_t i = 0; i < KernelFlagCatalogue.size(); ++i) {
        if (!values_.kernelOrigins[i].empty()) {
            settings.kernelFlags.emplace_back(KernelFlagCatalogue[i]);
        }
    }
    // The catalogue holds the stack-walk events in the sorted list's order already.
    for (std::size_t i = 0; i < StackwalkCatalogue.size(); ++i) {
        if (!values_.stackwalkOrigins[i].empty()) {
            settings.stackwalkEvents.emplace_back(StackwalkCatalogue[i]);
        }
    }
    settings.providers = values_.providers;
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
