#include "cli/profile.h"

#include "cli/provider_line.h"
#include "cli/utf8.h"
#include "settings/catalogues.h"
#include "settings/descriptions.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

namespace corvane {
namespace {

enum class KeyKind { Number, Check, Text, FileMode, KernelFlag, Stackwalk, Provider };

// One profile key: its name, what it holds and where that goes in the settings. Its help, which
// the template prints, is the dialog's (fieldHelp).
struct ProfileKey {
    const wchar_t* name;
    KeyKind kind;
    std::uint32_t TraceSettings::*number;
    std::uint32_t minimum;
    std::uint32_t maximum;
    std::int32_t TraceSettings::*check;
    std::wstring TraceSettings::*text;
};

// Not a field of the dialog, so not among its help texts.
constexpr wchar_t kCaptureStateHelp[] =
    L"Capture state: yes makes the script ask the providers, right after the provider session "
    L"starts, to record the state they hold at that moment (the active window for "
    L"Microsoft-Windows-Win32k, the graphics adapters and their work for "
    L"Microsoft-Windows-DxgKrnl on Windows 8 and later), with the same keywords and levels. yes "
    L"or no; default no.";

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

// In the field order of the settings record, which is also the template's order.
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
    };
    return keys;
}

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
    switch (kind) {
    case KeyKind::FileMode:
        return fileModes;
    case KeyKind::KernelFlag:
        return kernel;
    default:
        return stackwalk;
    }
}

wchar_t foldCase(wchar_t c) noexcept {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// What the word sort passes over, so that "co-op" stays beside "coop".
bool isPassedOver(wchar_t c) noexcept {
    return c == L'-' || c == L'\'';
}

// Symbols, then digits, then letters with case ignored, then everything beyond ASCII.
std::uint32_t sortWeight(wchar_t c) noexcept {
    const auto code = static_cast<std::uint32_t>(c);
    if (code >= 0x80) {
        return 0x200 + code;
    }
    const wchar_t folded = foldCase(c);
    if (folded >= L'a' && folded <= L'z') {
        return 0x100 + static_cast<std::uint32_t>(folded);
    }
    if (c >= L'0' && c <= L'9') {
        return 0x80 + code;
    }
    return code;
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

// A value in double quotes keeps the blanks at its ends; the quotes themselves go.
std::wstring_view unquoted(std::wstring_view value) {
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Blanks at the ends would be trimmed, a CR at the end taken for a CR LF line end, and a value in
// quotes would lose them.
bool needsQuotes(std::wstring_view value) {
    return !value.empty() &&
           (isBlank(value.front()) || isBlank(value.back()) || value.back() == L'\r' ||
            (value.size() >= 2 && value.front() == L'"' && value.back() == L'"'));
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

bool equalsFolded(std::wstring_view left, std::wstring_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](wchar_t a, wchar_t b) { return foldCase(a) == foldCase(b); });
}

std::size_t editDistance(std::wstring_view left, std::wstring_view right) {
    std::vector<std::size_t> row(right.size() + 1);
    for (std::size_t j = 0; j < row.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= left.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= right.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t substitution =
                diagonal + (foldCase(left[i - 1]) == foldCase(right[j - 1]) ? 0U : 1U);
            row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
            diagonal = above;
        }
    }
    return row.back();
}

std::wstring unknownName(const wchar_t* what, std::wstring_view name,
                         const std::vector<std::wstring_view>& candidates) {
    return L"unknown " + std::wstring(what) + L" " + quoted(name) + L"; did you mean " +
           quoted(nearestName(name, candidates)) + L"?";
}

std::size_t indexOf(const std::vector<std::wstring_view>& names, std::wstring_view name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

std::wstring formatValue(const std::wstring& value) {
    return needsQuotes(value) ? L"\"" + value + L"\"" : value;
}

// Appends text as comment lines of at most kTemplateWidth columns, broken at blanks and at each
// line break of the text, so that every line of it stays a comment.
void appendComment(std::wstring& out, std::wstring_view text, std::wstring_view indent) {
    constexpr std::size_t kTemplateWidth = 80;
    const std::size_t width = kTemplateWidth - 2 - indent.size();
    while (!text.empty()) {
        std::size_t cut = std::min(text.find(L'\n'), text.size());
        if (cut > width) {
            const std::size_t blank = text.rfind(L' ', width);
            cut = blank != std::wstring_view::npos && blank > 0 ? blank
                                                                : std::min(text.find(L' '), cut);
        }
        out += L"# ";
        out += indent;
        out += trimmed(text.substr(0, cut));
        out += L'\n';
        text.remove_prefix(cut);
        while (!text.empty() && (text.front() == L' ' || text.front() == L'\n')) {
            text.remove_prefix(1);
        }
    }
}

} // namespace

std::wstring shortened(std::wstring_view text, std::size_t length) {
    if (text.size() <= length) {
        return std::wstring(text);
    }
    return std::wstring(text.substr(0, length)) + L"...";
}

std::wstring quoted(std::wstring_view text, std::size_t length) {
    return L"'" + shortened(text, length) + L"'";
}

bool wordSortLess(const std::wstring& left, const std::wstring& right) {
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t leftSkipped = 0;
    std::size_t rightSkipped = 0;
    for (;;) {
        while (i < left.size() && isPassedOver(left[i])) {
            ++i;
            ++leftSkipped;
        }
        while (j < right.size() && isPassedOver(right[j])) {
            ++j;
            ++rightSkipped;
        }
        if (i == left.size() || j == right.size()) {
            break;
        }
        const std::uint32_t a = sortWeight(left[i++]);
        const std::uint32_t b = sortWeight(right[j++]);
        if (a != b) {
            return a < b;
        }
    }
    const bool leftEnded = i == left.size();
    const bool rightEnded = j == right.size();
    if (leftEnded != rightEnded) {
        return leftEnded;
    }
    if (leftSkipped != rightSkipped) {
        return leftSkipped < rightSkipped;
    }
    return left < right;
}

std::wstring nearestName(std::wstring_view name, const std::vector<std::wstring_view>& candidates) {
    std::wstring_view best;
    std::size_t bestDistance = std::numeric_limits<std::size_t>::max();
    for (const std::wstring_view candidate : candidates) {
        const std::size_t distance = editDistance(name, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return std::wstring(best);
}

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
    case KeyKind::FileMode: {
        const NameVocabulary& vocabulary = vocabularyOf(key->kind);
        if (indexOf(vocabulary.names, value) == vocabulary.names.size()) {
            error = where + L": " + unknownName(vocabulary.what, value, vocabulary.names);
            return false;
        }
        settings_.fileMode = std::wstring(value);
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

std::wstring profileTemplate(const TraceSettings& defaults) {
    std::wstring text =
        L"# Corvane capture profile, UTF-8: one 'key = value' per line; '#' starts a comment "
        L"line.\n"
        L"# A key left out takes the default shown here. Double quotes around a value keep "
        L"blanks at its ends.\n";
    for (const ProfileKey& key : profileKeys()) {
        text += L"\n";
        const FieldHelp* help = fieldHelp(key.name);
        if (key.check == &TraceSettings::captureState) {
            appendComment(text, kCaptureStateHelp, L"");
        } else if (help != nullptr) {
            appendComment(text, std::wstring(help->label) + L": " + std::wstring(help->text), L"");
        }
        if (key.kind == KeyKind::FileMode) {
            for (const wchar_t* mode : FileModeCatalogue) {
                appendComment(text, fileModeHelp(mode), L"  ");
            }
        }
        switch (key.kind) {
        case KeyKind::Number:
            text += key.name + (L" = " + std::to_wstring(defaults.*(key.number)));
            break;
        case KeyKind::Check:
            if (key.check == &TraceSettings::captureState) {
                text += L"# capture-state = yes";
                break;
            }
            text += key.name + std::wstring(defaults.*(key.check) != 0 ? L" = yes" : L" = no");
            break;
        case KeyKind::Text:
            // Its default depends on the machine and the time, so it stays unset here.
            if (key.text == &TraceSettings::etlOutPath) {
                text += L"# etl-out-path = D:\\traces\\capture.etl";
                break;
            }
            text += key.name + (L" = " + formatValue(defaults.*(key.text)));
            break;
        case KeyKind::FileMode:
            text += key.name + (L" = " + formatValue(defaults.fileMode));
            break;
        case KeyKind::KernelFlag:
            text += L"# kernel-flag = PROC_THREAD";
            break;
        case KeyKind::Stackwalk:
            text += L"# stackwalk = CSwitch";
            break;
        case KeyKind::Provider:
            text += L"# provider = Microsoft-Windows-Kernel-Process\n";
            appendComment(text, providerLineHelp(), L"");
            text += L"# provider = \"Microsoft-Windows-DxgKrnl\" keywords=0xFFFF level=verbose\n"
                    L"# provider = \"Microsoft-Windows-Win32k\" keywords=0xfdffffffefffffff "
                    L"stack=off";
            break;
        }
        text += L"\n";
    }
    return text;
}

} // namespace corvane
