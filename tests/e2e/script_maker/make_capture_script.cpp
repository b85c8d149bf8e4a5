// Writes a capture script the way the OK command does, without a window: the settings come from a
// UTF-8 file of "field=value" lines over the defaults, the text from BuildCaptureScript and the
// file from SaveCaptureScript, whose save dialog is answered with the output path.
//   make_capture_script SETTINGS_FILE OUTPUT_PATH
// Exit codes: 0 written, 1 refused with a message (printed), 2 nothing selected, 3 bad input.
#include "script/capture_script.h"
#include "script/script_checks.h"
#include "ui/save_dialog_win.h"
#include "settings/trace_settings.h"
#include "tests/dialog/fake_script_ui.h"
#include "tests/support/console_tool.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using corvane::TraceSettings;
using corvane::testing::CommandLineArguments;
using corvane::testing::OwnedHandle;

struct TextField {
    const wchar_t* name;
    std::wstring TraceSettings::*field;
};
struct NumberField {
    const wchar_t* name;
    std::uint32_t TraceSettings::*field;
};
struct CheckField {
    const wchar_t* name;
    std::int32_t TraceSettings::*field;
};
// A list field takes one entry per line, in the order the lines come.
struct ListField {
    const wchar_t* name;
    std::vector<std::wstring> TraceSettings::*field;
};

constexpr TextField kTextFields[] = {
    {L"kernelPath", &TraceSettings::kernelPath},
    {L"userPath", &TraceSettings::userPath},
    {L"etlOutPath", &TraceSettings::etlOutPath},
    {L"sessionName", &TraceSettings::sessionName},
    {L"heapProcess", &TraceSettings::heapProcess},
    {L"heapSessionName", &TraceSettings::heapSessionName},
    {L"heapPath", &TraceSettings::heapPath},
    {L"fileMode", &TraceSettings::fileMode},
};
constexpr NumberField kNumberFields[] = {
    {L"maxFileSizeMb", &TraceSettings::maxFileSizeMb},
    {L"bufferSizeKb", &TraceSettings::bufferSizeKb},
    {L"maxBuffers", &TraceSettings::maxBuffers},
    {L"minBuffers", &TraceSettings::minBuffers},
};
constexpr CheckField kCheckFields[] = {
    {L"logStack", &TraceSettings::logStack},
    {L"heapEnabled", &TraceSettings::heapEnabled},
};
constexpr ListField kListFields[] = {
    {L"kernelFlag", &TraceSettings::kernelFlags},
    {L"stackwalkEvent", &TraceSettings::stackwalkEvents},
    {L"provider", &TraceSettings::providers},
};

[[nodiscard]] bool readUtf8File(const wchar_t* path, std::wstring& text) {
    const OwnedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen()) {
        return false;
    }
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    if (bytes.empty()) {
        text.clear();
        return true;
    }
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                          static_cast<int>(bytes.size()), nullptr, 0);
    if (units <= 0) {
        return false;
    }
    text.assign(static_cast<std::size_t>(units), L'\0');
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                               static_cast<int>(bytes.size()), text.data(), units) == units;
}

// Everything after the first "=" is the value, spaces included.
[[nodiscard]] bool applyLine(const std::wstring& line, TraceSettings& settings) {
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) {
        return false;
    }
    const std::wstring name = line.substr(0, equals);
    const std::wstring value = line.substr(equals + 1);
    for (const TextField& entry : kTextFields) {
        if (name == entry.name) {
            settings.*entry.field = value;
            return true;
        }
    }
    for (const NumberField& entry : kNumberFields) {
        if (name == entry.name) {
            settings.*entry.field =
                static_cast<std::uint32_t>(std::wcstoul(value.c_str(), nullptr, 10));
            return true;
        }
    }
    for (const CheckField& entry : kCheckFields) {
        if (name == entry.name) {
            settings.*entry.field =
                static_cast<std::int32_t>(std::wcstol(value.c_str(), nullptr, 10));
            return true;
        }
    }
    for (const ListField& entry : kListFields) {
        if (name == entry.name) {
            (settings.*entry.field).push_back(value);
            return true;
        }
    }
    return false;
}

[[nodiscard]] bool applySettingsText(const std::wstring& text, TraceSettings& settings) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        if (!line.empty() && !applyLine(line, settings)) {
            std::fwprintf(stderr, L"unknown settings line: %ls\n", line.c_str());
            return false;
        }
        start = end + 1;
    }
    return true;
}

// Messages go to the error stream as UTF-8, whatever the console's code page.
void printUtf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    std::fprintf(stderr, "%s\n", bytes.c_str());
}

} // namespace

int main() {
    const CommandLineArguments arguments;
    if (arguments.count() != 3) {
        std::fprintf(stderr, "usage: make_capture_script SETTINGS_FILE OUTPUT_PATH\n");
        return 3;
    }

    TraceSettings settings;
    // The dialog's defaults; the desktop folder is left out, so the settings name etlOutPath.
    corvane::defaultTraceSettings(settings, corvane::DefaultsEnvironment{});
    settings.fileMode = L"Sequential";
    std::wstring text;
    if (!readUtf8File(arguments[1], text)) {
        std::fprintf(stderr, "cannot read the settings file as UTF-8\n");
        return 3;
    }
    if (!applySettingsText(text, settings)) {
        return 3;
    }

    const std::optional<std::wstring> script = corvane::BuildCaptureScript(settings);
    if (!script) {
        std::fprintf(stderr, "nothing selected\n");
        return 2;
    }
    if (const std::optional<std::wstring> refusal = corvane::scriptRefusal(settings, *script)) {
        printUtf8(*refusal);
        return 1;
    }
    // The save dialog is answered with the output path; messages are kept, not shown.
    corvane::testing::FakeScriptUi ui;
    ui.chosenPath = arguments[2];
    corvane::SaveCaptureScript(nullptr, *script, ui);
    for (const auto& message : ui.messages) {
        printUtf8(message.text);
    }
    return ui.messages.empty() ? 0 : 1;
}
