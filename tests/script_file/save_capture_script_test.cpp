// Saving through the seam: the save dialog's request, and which outcome the user is told about.
#include "files/long_path_win.h"
#include "tests/support/test_files.h"
#include "ui/save_dialog_win.h"
#include "ui/script_ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvane {
namespace {

using test_files::inOemCodePage;
using test_files::namesIn;
using test_files::readFileBytes;
using test_files::ScratchFolder;
using test_files::writeFileBytes;

using Names = std::vector<std::wstring>;

constexpr wchar_t kFailedToCreate[] = L"Failed to create cmd file.";
constexpr wchar_t kUnrepresentable[] =
    L"The script contains characters that the command prompt's code page cannot represent.";

// Never shown or used as windows: the fake only passes them on.
const HWND kMainDialog = reinterpret_cast<HWND>(std::uintptr_t{0x1010});
const HWND kActiveWindow = reinterpret_cast<HWND>(std::uintptr_t{0x2020});

// The request as the dialog saw it, copied while it was open.
struct SeenRequest {
    DWORD structSize = 0;
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
    std::wstring filter; // up to and including the NUL that ends the list
    bool customFilter = true;
    DWORD filterIndex = 99;
    std::wstring fileName;
    DWORD fileNameCapacity = 0;
    bool fileTitleBuffer = false;
    DWORD fileTitleCapacity = 0;
    std::wstring defaultExtension;
    bool initialDirectory = true;
    bool title = true;
    DWORD flags = 0;
    LPOFNHOOKPROC hook = nullptr;
};

std::wstring filterList(const wchar_t* filter) {
    std::wstring list;
    while (*filter != L'\0') {
        const std::wstring text(filter);
        list += text;
        list += L'\0';
        filter += text.size() + 1;
    }
    list += L'\0';
    return list;
}

class FakeScriptUi final : public ScriptUi {
public:
    // The path the user picks, or nothing for a dialog that ends without one.
    std::optional<std::wstring> chosenPath;
    unsigned long extendedError = 0;
    LocalTime now{2023, 12, 31, 23, 59, 59};

    std::vector<std::string> calls;
    std::vector<std::pair<HWND, std::wstring>> messages;
    std::optional<SeenRequest> seen;

    void showMessage(HWND owner, const wchar_t* text) override {
        calls.emplace_back("showMessage");
        messages.emplace_back(owner, text);
    }

    bool getSaveFileName(OPENFILENAMEW& request) override {
        calls.emplace_back("getSaveFileName");
        SeenRequest copy;
        copy.structSize = request.lStructSize;
        copy.owner = request.hwndOwner;
        copy.instance = request.hInstance;
        copy.filter = request.lpstrFilter ? filterList(request.lpstrFilter) : std::wstring();
        copy.customFilter = request.lpstrCustomFilter != nullptr;
        copy.filterIndex = request.nFilterIndex;
        copy.fileName = request.lpstrFile ? request.lpstrFile : L"";
        copy.fileNameCapacity = request.nMaxFile;
        copy.fileTitleBuffer = request.lpstrFileTitle != nullptr;
        copy.fileTitleCapacity = request.nMaxFileTitle;
        copy.defaultExtension = request.lpstrDefExt ? request.lpstrDefExt : L"";
        copy.initialDirectory = request.lpstrInitialDir != nullptr;
        copy.title = request.lpstrTitle != nullptr;
        copy.flags = request.Flags;
        copy.hook = request.lpfnHook;
        seen = copy;

        if (!chosenPath || chosenPath->size() >= request.nMaxFile) {
            return false;
        }
        // Fill the buffer to its end first, as a dialog may, to show the path is read to its NUL.
        std::fill_n(request.lpstrFile, request.nMaxFile, L'x');
        std::copy(chosenPath->begin(), chosenPath->end(), request.lpstrFile);
        request.lpstrFile[chosenPath->size()] = L'\0';
        return true;
    }
    // Saving a script never opens a file.
    bool getOpenFileName(OPENFILENAMEW&) override {
        calls.emplace_back("getOpenFileName");
        return false;
    }

    unsigned long commDlgExtendedError() override {
        calls.emplace_back("commDlgExtendedError");
        return extendedError;
    }

    LocalTime localTime() override {
        calls.emplace_back("localTime");
        return now;
    }

    HWND activeWindow() override {
        calls.emplace_back("activeWindow");
        return kActiveWindow;
    }
};

using Messages = std::vector<std::pair<HWND, std::wstring>>;

// "é" U+00E9 is 82 in code pages 437 and 850 and C3 A9 in UTF-8.
const std::wstring kScriptText = L"@echo off\r\nxperf -on PROC_THREAD -f \"caf\u00E9.etl\"\r\n";
const std::optional<std::string> kScriptBytes =
    inOemCodePage("@echo off\r\nxperf -on PROC_THREAD -f \"caf\x82.etl\"\r\n",
                  "@echo off\r\nxperf -on PROC_THREAD -f \"caf\xC3\xA9.etl\"\r\n");

class SavingCaptureScript : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kScriptBytes) {
            GTEST_SKIP() << "no spelled-out bytes for OEM code page " << GetOEMCP();
        }
    }

    ScratchFolder folder_;
    FakeScriptUi ui_;
};

TEST_F(SavingCaptureScript, OffersTheSaveDialogWithTheTimestampedName) {
    SaveCaptureScript(kMainDialog, kScriptText, ui_);
    ASSERT_TRUE(ui_.seen);
    const SeenRequest& request = *ui_.seen;

    EXPECT_EQ(request.structSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(request.owner, kActiveWindow);
    EXPECT_EQ(request.instance, GetModuleHandleW(nullptr));
    const wchar_t filter[] = L"Windows Command Script\0*.cmd\0All Files\0*.*\0";
    EXPECT_EQ(request.filter, std::wstring(filter, std::size(filter)));
    EXPECT_FALSE(request.customFilter);
    EXPECT_EQ(request.filterIndex, 0u);
    EXPECT_EQ(request.fileName, L"20231231_235959.cmd");
    EXPECT_EQ(request.fileNameCapacity, 32768u);
    EXPECT_TRUE(request.fileTitleBuffer);
    EXPECT_EQ(request.fileTitleCapacity, 256u);
    EXPECT_EQ(request.defaultExtension, L"cmd");
    EXPECT_FALSE(request.initialDirectory);
    EXPECT_FALSE(request.title);
    EXPECT_EQ(request.flags, 0x00880022u);
    ASSERT_NE(request.hook, nullptr);
    const UINT messages[] = {WM_INITDIALOG, WM_NOTIFY, WM_COMMAND, WM_SIZE, WM_DESTROY};
    for (const UINT message : messages) {
        EXPECT_EQ(request.hook(nullptr, message, 0, 0), 0u) << "message " << message;
    }
}

TEST_F(SavingCaptureScript, ChosenFileGetsTheScriptSilently) {
    ui_.chosenPath = folder_.file(L"capture.cmd");
    SaveCaptureScript(kMainDialog, kScriptText, ui_);

    EXPECT_EQ(readFileBytes(folder_.file(L"capture.cmd")), kScriptBytes);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"capture.cmd"});
    EXPECT_EQ(ui_.calls,
              (std::vector<std::string>{"localTime", "activeWindow", "getSaveFileName"}));
}

TEST_F(SavingCaptureScript, ChosenPathLongerThanMaxPathIsSavedInFull) {
    std::wstring deep = folder_.path();
    while (deep.size() < 400) {
        deep += L"\\" + std::wstring(50, L'p');
        ASSERT_TRUE(CreateDirectoryW(withLongPathPrefix(deep).c_str(), nullptr));
    }
    ui_.chosenPath = deep + L"\\capture.cmd";
    SaveCaptureScript(kMainDialog, kScriptText, ui_);

    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(readFileBytes(*ui_.chosenPath), kScriptBytes);
}

TEST_F(SavingCaptureScript, CancelIsSilentAndWritesNothing) {
    SaveCaptureScript(kMainDialog, kScriptText, ui_);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(namesIn(folder_.path()).empty());
}

TEST_F(SavingCaptureScript, DialogThatFailsIsReported) {
    ui_.extendedError = 0x3003; // FNERR_BUFFERTOOSMALL
    SaveCaptureScript(kMainDialog, kScriptText, ui_);
    EXPECT_EQ(ui_.messages, (Messages{{kMainDialog, kFailedToCreate}}));
    EXPECT_TRUE(namesIn(folder_.path()).empty());
}

TEST_F(SavingCaptureScript, FailedWriteIsReportedToTheMainDialog) {
    ui_.chosenPath = folder_.file(L"missing\\capture.cmd");
    SaveCaptureScript(kMainDialog, kScriptText, ui_);
    EXPECT_EQ(ui_.messages, (Messages{{kMainDialog, kFailedToCreate}}));
    EXPECT_TRUE(namesIn(folder_.path()).empty());
}

TEST_F(SavingCaptureScript, ARefusedFileKeepsTheFirstLineAndAddsWhy) {
    const std::wstring readOnly = folder_.file(L"read-only.cmd");
    ASSERT_TRUE(writeFileBytes(readOnly, "earlier\r\n"));
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::pair<std::wstring, std::wstring> cases[] = {
        {readOnly, L"The file is read-only."},
        {folder_.path(), L"It is a folder."},
        {L"CON", L"It is a device, not a file."},
    };
    for (const auto& [path, why] : cases) {
        ui_.messages.clear();
        ui_.chosenPath = path;
        SaveCaptureScript(kMainDialog, kScriptText, ui_);
        EXPECT_EQ(ui_.messages, (Messages{{kMainDialog, kFailedToCreate + (L"\n" + why)}}));
    }
}

TEST_F(SavingCaptureScript, UnrepresentableScriptIsRefusedBeforeTheDialogAndTheEarlierFileKept) {
    const std::wstring path = folder_.file(L"earlier.cmd");
    ASSERT_TRUE(writeFileBytes(path, "earlier\r\n"));
    ui_.chosenPath = path;
    // A lone high surrogate D83D has no bytes in any code page, UTF-8 included.
    SaveCaptureScript(kMainDialog, L"xperf -f \"out\xD83D.etl\"\r\n", ui_);

    EXPECT_EQ(ui_.messages, (Messages{{kMainDialog, kUnrepresentable}}));
    EXPECT_EQ(ui_.calls, std::vector<std::string>{"showMessage"}) << "no save dialog, no clock";
    EXPECT_EQ(readFileBytes(path), "earlier\r\n");
    EXPECT_EQ(namesIn(folder_.path()), Names{L"earlier.cmd"});
}

TEST_F(SavingCaptureScript, SavingTwiceToOneFileKeepsTheSecondScript) {
    ui_.chosenPath = folder_.file(L"twice.cmd");
    SaveCaptureScript(kMainDialog, L"first, and longer than the second\r\n", ui_);
    SaveCaptureScript(kMainDialog, L"second\r\n", ui_);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(readFileBytes(*ui_.chosenPath), "second\r\n");
}

} // namespace
} // namespace corvane
