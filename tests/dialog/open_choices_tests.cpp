// Opening profiles and saved scripts in the dialog, from its window menu or by a drop, and saving
// its choices as a profile: OK then writes what corvane-script writes for the same file.
#include "tests/dialog/main_dialog_driver.h"

#include "res/resource.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace corvane::testing {
namespace {

constexpr wchar_t kOpenItem[] = L"&Open profile or script\u2026";
constexpr wchar_t kSaveProfileItem[] = L"Save as &profile\u2026";
constexpr wchar_t kSaveForWprItem[] = L"Save for &WPR\u2026";

std::wstring testsFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// The recipes of profiles/, copied beside this program by the build.
std::vector<std::wstring> recipes() {
    std::vector<std::wstring> paths;
    WIN32_FIND_DATAW found{};
    const std::wstring folder = testsFolder() + L"\\recipes\\";
    const HANDLE search = FindFirstFileW((folder + L"*.profile").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return paths;
    }
    do {
        paths.push_back(folder + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Runs the built corvane-script.exe with these arguments; its exit status.
DWORD runCorvaneScript(const std::vector<std::wstring>& arguments) {
    std::wstring program = testsFolder() + L"\\" CORVANE_SCRIPT_FROM_TESTS;
    std::replace(program.begin(), program.end(), L'/', L'\\');
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const std::wstring& argument : arguments) {
        commandLine += L" \"" + argument + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "corvane-script.exe did not start: " << GetLastError();
        return ~DWORD{0};
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD status = ~DWORD{0};
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

// A drop of these files, as the shell hands it over: DROPFILES, then each path and one more NUL.
HDROP dropOf(const std::vector<std::wstring>& paths) {
    std::wstring names;
    for (const std::wstring& path : paths) {
        names.append(path).push_back(L'\0');
    }
    names.push_back(L'\0');
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* const drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

class OpenChoicesTest : public MainDialogTest {
protected:
    // The window menu's command with this text; 0 when there is none.
    [[nodiscard]] UINT windowMenuCommand(const wchar_t* text) const {
        const HMENU menu = GetSystemMenu(session.window(), FALSE);
        for (int index = 0; index < GetMenuItemCount(menu); ++index) {
            wchar_t item[128] = {};
            GetMenuStringW(menu, static_cast<UINT>(index), item, 128, MF_BYPOSITION);
            if (std::wstring(item) == text) {
                return GetMenuItemID(menu, index);
            }
        }
        return 0;
    }

    void chooseFromWindowMenu(const wchar_t* text) const {
        const UINT command = windowMenuCommand(text);
        ASSERT_NE(command, 0u) << "no window menu item";
        SendMessageW(session.window(), WM_SYSCOMMAND, command, 0);
    }

    void openThroughMenu(const std::wstring& path) {
        ui.openedPath = path;
        chooseFromWindowMenu(kOpenItem);
    }

    // The bytes OK writes; empty when it writes nothing.
    std::string okBytes(const std::wstring& name) {
        ui.chosenPath = scratch.file(name);
        session.click(IDOK);
        return fileExists(*ui.chosenPath) ? readFileBytes(*ui.chosenPath) : std::string();
    }

    std::string corvaneScriptBytes(const std::wstring& profile, const std::wstring& name) {
        const std::wstring output = scratch.file(name);
        EXPECT_EQ(runCorvaneScript({profile, L"-o", output, L"--force"}), 0u) << name;
        return readFileBytes(output);
    }

    // Everything a control shows, to see that a refused file changed nothing.
    [[nodiscard]] std::vector<std::wstring> controlsShown() const {
        std::vector<std::wstring> shown;
        for (int id = IDC_KERNEL_FLAGS; id <= IDC_HEAP_PATH; ++id) {
            shown.push_back(std::to_wstring(id) + L":" + session.text(id) +
                            (session.isEnabled(id) ? L" on " : L" off ") +
                            std::to_wstring(session.checkState(id)));
        }
        for (const int list : {IDC_KERNEL_FLAGS, IDC_STACKWALK, IDC_PROVIDERS}) {
            const HWND box = session.control(list);
            for (const std::wstring& entry : session.entries(list)) {
                const LRESULT index = SendMessageW(box, LB_FINDSTRINGEXACT, ~WPARAM{0},
                                                   reinterpret_cast<LPARAM>(entry.c_str()));
                shown.push_back(entry +
                                (SendMessageW(box, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0
                                     ? L" +"
                                     : L""));
            }
        }
        shown.push_back(std::to_wstring(session.fileModeSelection()));
        return shown;
    }
};

TEST_F(OpenChoicesTest, WindowMenuHoldsTheNewCommandsAboveASeparatorAndClose) {
    const HMENU menu = GetSystemMenu(session.window(), FALSE);
    const int count = GetMenuItemCount(menu);
    int close = 0;
    while (close < count && GetMenuItemID(menu, close) != SC_CLOSE) {
        ++close;
    }
    ASSERT_GE(close, 4);
    EXPECT_EQ(GetMenuItemID(menu, close - 4), windowMenuCommand(kOpenItem));
    EXPECT_EQ(GetMenuItemID(menu, close - 3), windowMenuCommand(kSaveProfileItem));
    EXPECT_EQ(GetMenuItemID(menu, close - 2), windowMenuCommand(kSaveForWprItem));
    EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(close - 1), MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
    for (const wchar_t* item : {kOpenItem, kSaveProfileItem, kSaveForWprItem}) {
        const UINT command = windowMenuCommand(item);
        EXPECT_TRUE(command != 0 && command < 0xF000 && (command & 0xF) == 0) << command;
    }
}

// Each recipe opened in turn over the one before: OK writes corvane-script's bytes for it.
TEST_F(OpenChoicesTest, EveryRecipeOpenedMakesTheScriptCorvaneScriptMakes) {
    const std::vector<std::wstring> paths = recipes();
    ASSERT_EQ(paths.size(), 12u);
    for (const std::wstring& recipe : paths) {
        const std::wstring name = recipe.substr(recipe.find_last_of(L'\\') + 1);
        openThroughMenu(recipe);
        ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;
        EXPECT_EQ(okBytes(name + L".ok.cmd"), corvaneScriptBytes(recipe, name + L".cli.cmd"))
            << std::string(name.begin(), name.end());
    }
    ASSERT_FALSE(ui.openFilters.empty());
    EXPECT_EQ(ui.openFilters[0], L"Capture Profiles (*.profile)|*.profile|Windows Command Scripts "
                                 L"(*.cmd)|*.cmd|All Files|*.*|");
}

TEST_F(OpenChoicesTest, ADroppedRecipeOpensAndMoreThanOneFileIsRefused) {
    const std::wstring recipe = testsFolder() + L"\\recipes\\ui-delays.profile";
    SendMessageW(session.window(), WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({recipe, recipe})),
                 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              L"Drop one file at a time: a profile or a capture script that Corvane saved.");
    EXPECT_EQ(session.selectedCount(IDC_KERNEL_FLAGS), 0);

    SendMessageW(session.window(), WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({recipe})), 0);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(okBytes(L"dropped.cmd"), corvaneScriptBytes(recipe, L"cli.cmd"));
}

// What the dialog itself saved, as a profile or as a script, opens to the same OK bytes, with the
// options and the recorder that have no control kept; Reset forgets them.
TEST_F(OpenChoicesTest, SavedProfileAndSavedScriptOpenToTheSameScript) {
    const std::wstring source = scratch.file(L"source.profile");
    ASSERT_TRUE(test_files::writeFileBytes(
        source,
        "recorder = wpr\netl-out-path = C:\\t\\x.etl\nheap = yes\nfile-mode = Circular\n"
        "kernel-flag = PROC_THREAD\nstackwalk = ThreadCreate\nlog-stack = yes\n"
        "provider = \"Microsoft-Windows-Win32k\" keywords=0x10 level=5\n"
        "provider = \"Acme-Not-Here\" stack=off\ncapture-state = yes\nwpr-logging = memory\n"));
    openThroughMenu(source);
    ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    EXPECT_TRUE(session.isEnabled(IDC_HEAP_PROCESS));
    const std::string expected = okBytes(L"first.cmd");
    ASSERT_NE(expected.find("\"Acme-Not-Here\""), std::string::npos);

    ui.chosenPath = scratch.file(L"saved.profile");
    chooseFromWindowMenu(kSaveProfileItem);
    ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    EXPECT_NE(readFileBytes(*ui.chosenPath).find("\nrecorder = wpr\n"), std::string::npos);
    EXPECT_NE(readFileBytes(*ui.chosenPath).find("\nwpr-logging = memory\n"), std::string::npos);

    for (const std::wstring& saved : {scratch.file(L"saved.profile"), scratch.file(L"first.cmd")}) {
        session.click(IDC_RESET);
        EXPECT_TRUE(session.settings().providerOptions.empty());
        EXPECT_EQ(session.settings().captureState, 0);
        EXPECT_EQ(session.settings().wprLogging, L"file");
        EXPECT_EQ(session.dialog().Recorder(), L"xperf");
        EXPECT_EQ(session.entries(IDC_PROVIDERS).size(), 2u) << "the added provider is gone";
        openThroughMenu(saved);
        ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;
        EXPECT_EQ(okBytes(L"again.cmd"), expected);
    }

    // A deselected provider's options are not written, and do not come back with it.
    session.select(IDC_PROVIDERS, L"Microsoft-Windows-Win32k", false);
    static_cast<void>(okBytes(L"without.cmd"));
    session.select(IDC_PROVIDERS, L"Microsoft-Windows-Win32k");
    constexpr char kWithOptions[] = "\"Microsoft-Windows-Win32k\":0x10:5";
    EXPECT_NE(expected.find(kWithOptions), std::string::npos);
    const std::string back = okBytes(L"back.cmd");
    EXPECT_NE(back.find("\"Microsoft-Windows-Win32k\""), std::string::npos);
    EXPECT_EQ(back.find(kWithOptions), std::string::npos) << back;
}

struct RefusedFile {
    const char* name;
    std::string bytes;
    std::wstring messageStart; // after the file's path
};

TEST_F(OpenChoicesTest, RefusedFilesLeaveEveryControlAsItWas) {
    const std::wstring recipe = testsFolder() + L"\\recipes\\heap-of-one-process.profile";
    const std::wstring wprRunner = scratch.file(L"runner.cmd");
    ASSERT_EQ(runCorvaneScript({recipe, L"--recorder", L"wpr", L"-o", wprRunner}), 0u);
    openThroughMenu(testsFolder() + L"\\recipes\\ui-delays.profile");
    std::string edited = okBytes(L"saved.cmd");
    edited.replace(edited.find("pause"), 5, "PAUSE");

    const RefusedFile refused[] = {
        {"bad.profile", "kernel-flag = PROC_THREAD\nkernel-flag = NOT_A_FLAG\n", L": line 2: "},
        {"edited.cmd", edited, L": line 7 is not as Corvane writes it: expected "},
        {"runner.cmd", readFileBytes(wprRunner), L" runs wpr.exe with the WPR profile beside it"},
    };
    for (const RefusedFile& file : refused) {
        const std::wstring path =
            scratch.file(std::wstring(file.name, file.name + strlen(file.name)));
        ASSERT_TRUE(test_files::writeFileBytes(path, file.bytes));
        const std::vector<std::wstring> before = controlsShown();
        ui.messages.clear();
        openThroughMenu(path);
        ASSERT_EQ(ui.messages.size(), 1u) << file.name;
        EXPECT_EQ(ui.messages[0].owner, session.window());
        EXPECT_EQ(ui.messages[0].text.rfind(path + file.messageStart, 0), 0u)
            << std::string(ui.messages[0].text.begin(), ui.messages[0].text.end());
        EXPECT_EQ(controlsShown(), before) << file.name;
    }
}

// Save for WPR runs corvane-script's --recorder wpr job: the same two files, named alike in
// folders of their own, as the script names the profile beside it.
TEST_F(OpenChoicesTest, SaveForWprWritesThePairCorvaneScriptWrites) {
    const std::wstring recipe = testsFolder() + L"\\recipes\\ui-delays.profile";
    const std::wstring dialogFolder = scratch.file(L"dialog");
    const std::wstring cliFolder = scratch.file(L"cli");
    ASSERT_TRUE(CreateDirectoryW(dialogFolder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(cliFolder.c_str(), nullptr));
    openThroughMenu(recipe);
    ui.chosenPath = dialogFolder + L"\\pair.cmd";
    // Replaced without asking again: the save dialog has asked for the script.
    ASSERT_TRUE(test_files::writeFileBytes(dialogFolder + L"\\pair.wprp", "earlier"));
    chooseFromWindowMenu(kSaveForWprItem);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].owner, session.window());
    EXPECT_EQ(ui.messages[0].text.rfind(L"Wrote pair.cmd and pair.wprp.", 0), 0u)
        << std::string(ui.messages[0].text.begin(), ui.messages[0].text.end());
    ASSERT_EQ(runCorvaneScript({recipe, L"--recorder", L"wpr", L"-o", cliFolder + L"\\pair.cmd"}),
              0u);
    for (const wchar_t* name : {L"\\pair.cmd", L"\\pair.wprp"}) {
        const std::string written = readFileBytes(dialogFolder + name);
        EXPECT_NE(written.size(), 0u);
        EXPECT_EQ(written, readFileBytes(cliFolder + name));
    }
}

// The system says only that it cannot find the path; the message names the folder that is not
// there, as corvane-script's does, and no folder is made for it.
TEST_F(OpenChoicesTest, SaveForWprIntoAMissingFolderNamesTheFolder) {
    openThroughMenu(testsFolder() + L"\\recipes\\ui-delays.profile");
    const std::wstring missing = scratch.file(L"missing");
    ui.chosenPath = missing + L"\\pair.cmd";
    chooseFromWindowMenu(kSaveForWprItem);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].owner, session.window());
    EXPECT_NE(ui.messages[0].text.find(L"the folder '" + missing + L"' does not exist"),
              std::wstring::npos)
        << std::string(ui.messages[0].text.begin(), ui.messages[0].text.end());
    EXPECT_EQ(GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

// What WPR cannot take is refused in the job's words before any file is named or written.
TEST_F(OpenChoicesTest, SaveForWprRefusesAFileModeWprCannotTakeAndWritesNothing) {
    openThroughMenu(testsFolder() + L"\\recipes\\cpu-sampling.profile");
    const std::vector<std::wstring> modes = session.fileModes();
    const auto append = std::find(modes.begin(), modes.end(), L"Append");
    ASSERT_NE(append, modes.end());
    session.chooseFileMode(static_cast<int>(append - modes.begin()));
    ui.chosenPath = scratch.file(L"refused.cmd");
    const std::vector<std::wstring> before = test_files::namesIn(scratch.path());
    chooseFromWindowMenu(kSaveForWprItem);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind(L"File-mode Append has no WPR form: ", 0), 0u)
        << std::string(ui.messages[0].text.begin(), ui.messages[0].text.end());
    EXPECT_TRUE(ui.offeredNames.empty()) << "no save dialog";
    EXPECT_EQ(test_files::namesIn(scratch.path()), before);
}

} // namespace
} // namespace corvane::testing
