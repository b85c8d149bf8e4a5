// Writes a capture script the way the OK command does, without a window: the settings come from a
// UTF-8 file of "field=value" lines over the defaults, the text from BuildCaptureScript and the
// file from SaveCaptureScript, whose save dialog is answered with the output path.
//   make_capture_script SETTINGS_FILE OUTPUT_PATH
// Exit codes: 0 written, 1 refused with a message (printed), 2 nothing selected, 3 bad input.
#include "script/capture_script.h"
#include "script/script_file_win.h"
#include "settings/trace_settings.h"

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

// Owns a handle that CloseHandle releases; INVALID_HANDLE_VALUE means none.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (isOpen()) {
            CloseHandle(handle_);
        }
    }
    [[nodiscard]] bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Answers the save dialog with a fixed path and keeps the messages instead of showing them.
class ConsoleScriptUi final : public corvane::ScriptUi {
public:
    explicit ConsoleScriptUi(std::wstring path) : path_(std::move(path)) {}

    std::vector<std::wstring> messages;

    void showMessage(HWND, const wchar_t* text) override { messages.emplace_back(text); }

    bool getSaveFileName(OPENFILENAMEW& request) override {
        if (path_.size() >= request.nMaxFile) {
            return false;
        }
        path_.copy(request.lpstrFile, path_.size());
        request.lpstrFile[path_.size()] = L'\0';
        return true;
    }

    unsigned long commDlgExtendedError() override { return 0; }
    corvane::LocalTime localTime() override { return {2024, 1, 5, 9, 30, 0}; }
    HWND activeWindow() override { return nullptr; }

private:
    std::wstring path_;
};

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
    const FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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

// Owns the argument vector that CommandLineToArgvW allocates.
class Arguments {
public:
    Arguments() : vector_(CommandLineToArgvW(GetCommandLineW(), &count_)) {}
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    ~Arguments() {
        if (vector_ != nullptr) {
            LocalFree(vector_);
        }
    }
    [[nodiscard]] int count() const { return vector_ == nullptr ? 0 : count_; }
    [[nodiscard]] const wchar_t* operator[](int index) const { return vector_[index]; }

private:
    int count_ = 0;
    wchar_t** vector_;
};

} // namespace

int main() {
    const Arguments arguments;
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
    ConsoleScriptUi ui(arguments[2]);
    corvane::SaveCaptureScript(nullptr, *script, ui);
    for (const std::wstring& message : ui.messages) {
        printUtf8(message);
    }
    return ui.messages.empty() ? 0 : 1;
}
