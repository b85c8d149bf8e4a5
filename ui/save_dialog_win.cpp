#include "ui/save_dialog_win.h"

#include "encoding/script_encoding_win.h"
#include "encoding/utf8.h"
#include "files/safe_write_win.h"
#include "script/script_file_name.h"
#include "script/script_messages.h"

#include <algorithm>
#include <cstddef>
#include <cwctype>
#include <vector>

namespace corvane {
namespace {

constexpr wchar_t kFailedToCreateMessage[] = L"Failed to create cmd file.";
constexpr wchar_t kFailedToCreateProfileMessage[] = L"Failed to create profile file.";

// Description and pattern pairs, each text NUL-ended; the literal's own NUL ends the list.
constexpr wchar_t kScriptFilter[] = L"Windows Command Script\0*.cmd\0All Files\0*.*\0";
constexpr wchar_t kProfileFilter[] = L"Capture Profile\0*.profile\0All Files\0*.*\0";
// Room for the longest path the file calls accept, so no chosen name is cut off.
constexpr std::size_t kFileNameCapacity = 32768;
constexpr std::size_t kFileTitleCapacity = 256;
constexpr DWORD kSaveDialogFlags =
    OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING;

// Installed so the dialog has the hooked Explorer look; every message keeps its default handling.
UINT_PTR CALLBACK leaveToDefaultHandling(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// The file-name request of the save dialog together with the buffers it points into.
class SaveDialogRequest {
public:
    SaveDialogRequest(const std::wstring& defaultName, HWND owner, const wchar_t* filter,
                      const wchar_t* defaultExtension)
        : fileName_(kFileNameCapacity, L'\0'), fileTitle_(kFileTitleCapacity, L'\0') {
        const std::size_t nameLength = std::min(defaultName.size(), fileName_.size() - 1);
        std::copy_n(defaultName.begin(), nameLength, fileName_.begin());

        // Every Windows this program supports reports a dialog version of at least 4.90, so the
        // full record always applies; the shorter 4.00 size is never needed.
        record_.lStructSize = sizeof(OPENFILENAMEW);
        record_.hwndOwner = owner;
        record_.hInstance = GetModuleHandleW(nullptr);
        record_.lpstrFilter = filter;
        record_.nFilterIndex = 0;
        record_.lpstrFile = fileName_.data();
        record_.nMaxFile = static_cast<DWORD>(fileName_.size());
        record_.lpstrFileTitle = fileTitle_.data();
        record_.nMaxFileTitle = static_cast<DWORD>(fileTitle_.size());
        record_.lpstrDefExt = defaultExtension;
        record_.Flags = kSaveDialogFlags;
        record_.lpfnHook = leaveToDefaultHandling;
    }

    // The record points into this object.
    SaveDialogRequest(const SaveDialogRequest&) = delete;
    SaveDialogRequest& operator=(const SaveDialogRequest&) = delete;

    OPENFILENAMEW& record() { return record_; }

    std::wstring chosenPath() const {
        const auto end = std::find(fileName_.begin(), fileName_.end(), L'\0');
        return std::wstring(fileName_.begin(), end);
    }

private:
    std::vector<wchar_t> fileName_;
    std::vector<wchar_t> fileTitle_;
    OPENFILENAMEW record_{};
};

// Writes the file in place of what the path held; a failure, and a backup left behind, are told
// in a message under `failure`'s first line, as corvane-script would say them.
void writeShowingFailure(HWND owner, const std::wstring& path, const std::string& bytes,
                         const wchar_t* failure, const wchar_t* whatIsSaved, ScriptUi& ui,
                         FilePlacement& placement) {
    WriteOutcome outcome;
    if (!writeFileReplacing(path, bytes, placement, outcome)) {
        std::wstring message = failure;
        const std::wstring refusal = refusalReason(outcome.refusal);
        const std::wstring kept = keptFilesNote(outcome);
        for (const std::wstring* detail : {&refusal, &kept}) {
            if (!detail->empty()) {
                message += L"\n" + asSentence(*detail);
            }
        }
        ui.showMessage(owner, message.c_str());
    } else if (const std::wstring left = leftBehindNote(outcome); !left.empty()) {
        ui.showMessage(owner,
                       (std::wstring(whatIsSaved) + L" is saved. " + asSentence(left)).c_str());
    }
}

} // namespace

std::wstring asSentence(std::wstring text) {
    if (!text.empty()) {
        text[0] = static_cast<wchar_t>(std::towupper(text[0]));
        text += L'.';
    }
    return text;
}

void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui) {
    SaveCaptureScript(owner, scriptText, ui, platformFilePlacement());
}

void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui,
                       FilePlacement& placement) {
    // Checked before the dialog, so that nobody confirms replacing a file that is then not written.
    std::string bytes;
    if (const CodePageConversion conversion = toCodePage(scriptText, scriptCodePage(), bytes);
        conversion != CodePageConversion::Ok) {
        ui.showMessage(owner, conversion == CodePageConversion::ChangesAscii
                                  ? kAsciiChangedMessage
                                  : kUnrepresentableScriptMessage);
        return;
    }

    if (const std::optional<std::wstring> path = AskForScriptPath(owner, ui)) {
        writeShowingFailure(owner, *path, bytes, kFailedToCreateMessage, L"The script", ui,
                            placement);
    }
}

std::optional<std::wstring> AskForScriptPath(HWND owner, ScriptUi& ui) {
    // The time first, then the owner: one reading each, in this order.
    const std::wstring defaultName = DefaultScriptName(ui.localTime());
    SaveDialogRequest request(defaultName, ui.activeWindow(), kScriptFilter, L"cmd");
    if (!ui.getSaveFileName(request.record())) {
        // A cancel is the user's choice; any other end loses the name the user meant to save.
        if (ui.commDlgExtendedError() != 0) {
            ui.showMessage(owner, kFailedToCreateMessage);
        }
        return std::nullopt;
    }
    return request.chosenPath();
}

void SaveProfile(HWND owner, const std::wstring& profileText, ScriptUi& ui) {
    std::wstring defaultName;
    appendTimestamp(defaultName, ui.localTime());
    defaultName += L".profile";
    SaveDialogRequest request(defaultName, ui.activeWindow(), kProfileFilter, L"profile");
    if (!ui.getSaveFileName(request.record())) {
        if (ui.commDlgExtendedError() != 0) {
            ui.showMessage(owner, kFailedToCreateProfileMessage);
        }
        return;
    }
    writeShowingFailure(owner, request.chosenPath(), toUtf8(profileText),
                        kFailedToCreateProfileMessage, L"The profile", ui, platformFilePlacement());
}

} // namespace corvane
