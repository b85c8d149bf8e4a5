#include "ui/open_choices_win.h"

#include "encoding/script_encoding_win.h"
#include "files/read_file_win.h"
#include "jobs/script_to_profile.h"
#include "jobs/system_services_win.h"
#include "profile/profile.h"
#include "script/capture_script.h"
#include "script/capture_script_reader.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace corvane {
namespace {

constexpr wchar_t kChoicesFilter[] =
    L"Capture Profiles (*.profile)\0*.profile\0Windows Command Scripts (*.cmd)\0*.cmd\0"
    L"All Files\0*.*\0";
constexpr std::size_t kFileNameCapacity = 32768; // the longest path the file calls accept
constexpr DWORD kOpenDialogFlags =
    OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;

// Every script Corvane writes, for xperf or for wpr, starts with this line; a profile cannot, as
// its reader takes only comments and `key = value` lines. So the content decides, and a script
// saved under another extension, or a profile named .cmd, is still read as what it is.
constexpr std::string_view kScriptFirstLine = "@echo off\r\n";

// The `profiles` folder beside the program, where the release puts its recipes; empty without one.
std::wstring recipesFolder() {
    std::vector<wchar_t> module(kFileNameCapacity, L'\0');
    const DWORD length =
        GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (length == 0 || length >= module.size()) {
        return {};
    }
    std::wstring folder(module.data(), length);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    folder += L"profiles";
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    const bool isFolder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return isFolder ? folder : std::wstring();
}

bool readProfileChoices(const std::string& bytes, const std::wstring& shown,
                        const TraceSettings& defaults, OpenedChoices& choices,
                        std::wstring& refusal) {
    ProfileReader reader(defaults);
    std::wstring error;
    if (!reader.readProfile(bytes, error)) {
        refusal = shown + L": " + error;
        return false;
    }
    choices.settings = reader.settings(sortedListBoxOrder());
    choices.recorder = reader.recorder();
    if (choices.settings.etlOutPath.empty()) {
        refusal = shown + L": the profile sets no etl-out-path, and there is no desktop folder for "
                          L"its default: add 'etl-out-path = FILE'";
        return false;
    }
    return true;
}

bool readScriptChoices(const std::string& bytes, const std::wstring& shown,
                       const TraceSettings& defaults, OpenedChoices& choices,
                       std::wstring& refusal) {
    const unsigned codePage = scriptCodePage();
    const std::wstring inCodePage = L" in code page " + std::to_wstring(codePage);
    std::wstring text;
    if (fromCodePage(bytes, codePage, text) != CodePageConversion::Ok) {
        refusal = shown + L" is not text" + inCodePage + L", the one Corvane saves scripts in";
        return false;
    }
    if (isWprRunner(bytes)) {
        refusal = shown + L" runs wpr.exe with the WPR profile beside it and holds no choices of "
                          L"its own: open the profile it was made from, or a capture script that "
                          L"runs xperf";
        return false;
    }
    ScriptFormError error;
    if (!readCaptureScript(text, defaults, sortedListBoxOrder(), choices.settings, error)) {
        refusal = scriptFormMessage(shown, error);
        return false;
    }
    // The dialog will write these choices with OK: only a script it makes again is taken.
    const std::optional<std::wstring> again = BuildCaptureScript(choices.settings);
    std::string againBytes;
    if (!again || toCodePage(*again, codePage, againBytes) != CodePageConversion::Ok ||
        againBytes != bytes) {
        refusal = shown + L": line " + std::to_wstring(firstDifferentLine(bytes, againBytes)) +
                  L" is not as Corvane writes it: its choices make the line otherwise" +
                  inCodePage + L", so nothing is opened";
        return false;
    }
    choices.recorder = L"xperf";
    return true;
}

} // namespace

std::optional<std::wstring> askForChoicesFile(HWND owner, ScriptUi& ui) {
    std::vector<wchar_t> fileName(kFileNameCapacity, L'\0');
    const std::wstring folder = recipesFolder();
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = kChoicesFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = fileName.data();
    request.nMaxFile = static_cast<DWORD>(fileName.size());
    request.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    request.Flags = kOpenDialogFlags;
    if (!ui.getOpenFileName(request)) {
        return std::nullopt;
    }
    return std::wstring(fileName.data());
}

bool readChoicesFile(const std::wstring& path, const DefaultsEnvironment& environment,
                     OpenedChoices& choices, std::wstring& refusal) {
    const std::wstring shown = shortened(path, kShownPathLength);
    std::string bytes;
    std::wstring why;
    if (!readWholeFile(path, kLargestProfile, bytes, why)) {
        refusal = L"Cannot read " + quoted(path, kShownPathLength) + L": " + why;
        return false;
    }
    if (bytes.size() > kLargestProfile) {
        refusal = shown + L" is larger than " + std::to_wstring(kLargestProfile >> 20) +
                  L" MiB, far more than a profile or a script that Corvane writes";
        return false;
    }
    const TraceSettings defaults = profileDefaults(environment);
    const bool script = bytes.compare(0, kScriptFirstLine.size(), kScriptFirstLine) == 0;
    return script ? readScriptChoices(bytes, shown, defaults, choices, refusal)
                  : readProfileChoices(bytes, shown, defaults, choices, refusal);
}

} // namespace corvane
