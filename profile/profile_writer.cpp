// The profile of a saved script, or of the dialog's choices: what differs from the defaults, in the
// template's order.
#include "profile/profile.h"

#include "profile/profile_keys.h"
#include "settings/visible_text.h"

#include <cstdint>
#include <string>

namespace corvane {

using namespace profile_keys;

namespace {

// What a script leaves out with a session it does not start.
struct UnrecoveredValues {
    bool (*absent)(const TraceSettings&);
    const wchar_t* keys;
    const wchar_t* because;
};

constexpr UnrecoveredValues kUnrecovered[] = {
    {[](const TraceSettings& s) { return s.kernelFlags.empty(); }, L"kernel-path and stackwalk",
     L"no kernel-flag"},
    {[](const TraceSettings& s) { return s.providers.empty(); },
     L"session-name, user-path, log-stack and capture-state", L"no provider"},
    {[](const TraceSettings& s) { return s.heapEnabled == 0; },
     L"process-name-or-pid, heap-session-name and heap-path", L"no heap"},
};

std::wstring hexText(std::uint64_t value) {
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring digits;
    do {
        digits.insert(digits.begin(), kDigits[value & 0xFU]);
        value >>= 4;
    } while (value != 0U);
    return L"0x" + digits;
}

// The name as it stands, or in double quotes where it has options or would lose its blanks.
std::wstring providerText(const std::wstring& name, const TraceSettings& settings) {
    const auto found = settings.providerOptions.find(name);
    if (found == settings.providerOptions.end()) {
        return valueText(name);
    }
    const ProviderOptions& options = found->second;
    std::wstring text = L"\"" + name + L"\"";
    if (options.keywords) {
        text += L" keywords=" + hexText(*options.keywords);
    }
    if (options.level) {
        text += L" level=" + std::to_wstring(*options.level);
    }
    if (options.stack) {
        text += *options.stack ? L" stack=on" : L" stack=off";
    }
    return text;
}

void appendLine(std::wstring& out, const wchar_t* key, const std::wstring& value) {
    out += key;
    out += L" = ";
    out += value;
    out += L'\n';
}

// The keys whose values differ from the defaults (etl-out-path always), in the template's order.
void appendKeys(std::wstring& text, const TraceSettings& settings, const TraceSettings& defaults,
                const std::wstring& recorder) {
    for (const ProfileKey& key : profileKeys()) {
        switch (key.kind) {
        case KeyKind::Number:
            if (settings.*(key.number) != defaults.*(key.number)) {
                appendLine(text, key.name, std::to_wstring(settings.*(key.number)));
            }
            break;
        case KeyKind::Check:
            if ((settings.*(key.check) != 0) != (defaults.*(key.check) != 0)) {
                appendLine(text, key.name, settings.*(key.check) != 0 ? L"yes" : L"no");
            }
            break;
        case KeyKind::Text:
            if (settings.*(key.text) != defaults.*(key.text) ||
                key.text == &TraceSettings::etlOutPath) {
                appendLine(text, key.name, valueText(settings.*(key.text)));
            }
            break;
        case KeyKind::FileMode:
            if (settings.fileMode != defaults.fileMode) {
                appendLine(text, key.name, valueText(settings.fileMode));
            }
            break;
        case KeyKind::KernelFlag:
            for (const std::wstring& name : settings.kernelFlags) {
                appendLine(text, key.name, name);
            }
            break;
        case KeyKind::Stackwalk:
            for (const std::wstring& name : settings.stackwalkEvents) {
                appendLine(text, key.name, name);
            }
            break;
        case KeyKind::Provider:
            for (const std::wstring& name : settings.providers) {
                appendLine(text, key.name, providerText(name, settings));
            }
            break;
        case KeyKind::Recorder:
            if (recorder != kRecorderNames[0]) {
                appendLine(text, key.name, recorder);
            }
            break;
        case KeyKind::WprLogging:
            if (settings.wprLogging != defaults.wprLogging) {
                appendLine(text, key.name, settings.wprLogging);
            }
            break;
        }
    }
}

} // namespace

std::wstring profileOfScript(const TraceSettings& settings, const TraceSettings& defaults,
                             std::wstring_view scriptName) {
    // A line break would end the comment, and --stdout puts the line on the terminal.
    std::wstring text = L"# Read from the capture script " + visibleText(scriptName) + L".";
    bool anyLeftOut = false;
    for (const UnrecoveredValues& values : kUnrecovered) {
        if (values.absent(settings)) {
            text +=
                anyLeftOut ? L"; " : L" Not in it, so not recovered and left at their defaults: ";
            text += std::wstring(values.keys) + L" (" + values.because + L")";
            anyLeftOut = true;
        }
    }
    text += anyLeftOut ? L".\n" : L"\n";
    // A script that xperf records: the default recorder.
    appendKeys(text, settings, defaults, kRecorderNames[0]);
    return text;
}

std::wstring profileOfChoices(const TraceSettings& settings, const TraceSettings& defaults,
                              const std::wstring& recorder) {
    std::wstring text =
        L"# Saved by Corvane's dialog: the choices that differ from its defaults.\n";
    appendKeys(text, settings, defaults, recorder);
    return text;
}

} // namespace corvane
