// Times the OK command of the real main dialog with every entry of the three lists selected
// against one kernel flag selected, in alternating trials, and prints both and their difference.
// The save dialog is answered at once with a file in the temporary folder, so the times are the
// OK command's own work: reading the fields and the selections, building and checking the script
// (before the save dialog), converting and writing it (after). With every provider selected the
// user session's line is too long for the command prompt, so that OK ends at its refusal message
// instead, and nothing comes after it. The list reading and the assembly are also
// timed alone, to show where the time before the dialog goes. The dialog is shown with the pointer
// resting on OK, as a user's does, so its help tips are made.
//   corvane_ok_bench TRIALS
#include "app/app_module.h"
#include "app/message_loop.h"
#include "bench/clock_win.h"
#include "bench/pointer_win.h"
#include "res/resource.h"
#include "script/capture_script.h"
#include "ui/main_dlg.h"
#include "ui/script_ui.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using corvane::bench::millisecondsNow;

// Notes when the save dialog or a message was asked for and answers the dialog with a fixed
// path.
// Not in the anonymous namespace: there MinGW's GCC 12 (-O3) folded localTime() together with the
// environment's lambda of the same body in wWinMain, and the dialog's call of that lambda crashed.
namespace corvane::bench {

class AnsweringScriptUi final : public corvane::ScriptUi {
public:
    explicit AnsweringScriptUi(std::wstring path) : path_(std::move(path)) {}

    double saveDialogAt = 0;
    double messageAt = 0;
    int messages = 0;

    void showMessage(HWND, const wchar_t*) override {
        messageAt = millisecondsNow();
        ++messages;
    }
    bool getSaveFileName(OPENFILENAMEW& request) override {
        saveDialogAt = millisecondsNow();
        if (path_.size() >= request.nMaxFile) {
            return false;
        }
        path_.copy(request.lpstrFile, path_.size());
        request.lpstrFile[path_.size()] = L'\0';
        return true;
    }
    // The bench opens no file.
    bool getOpenFileName(OPENFILENAMEW&) override { return false; }
    unsigned long commDlgExtendedError() override { return 0; }
    corvane::LocalTime localTime() override { return {2024, 1, 5, 9, 30, 0}; }
    HWND activeWindow() override { return nullptr; }

private:
    std::wstring path_;
};

} // namespace corvane::bench

namespace {

using corvane::bench::AnsweringScriptUi;

constexpr int kLists[] = {IDC_KERNEL_FLAGS, IDC_STACKWALK, IDC_PROVIDERS};

void select(HWND dialog, bool everything) {
    for (const int list : kLists) {
        SendDlgItemMessageW(dialog, list, LB_SETSEL, everything ? TRUE : FALSE, -1);
    }
    if (!everything) {
        SendDlgItemMessageW(dialog, IDC_KERNEL_FLAGS, LB_SETSEL, TRUE, 0);
    }
}

long selectedEntries(HWND dialog) {
    long count = 0;
    for (const int list : kLists) {
        count += static_cast<long>(SendDlgItemMessageW(dialog, list, LB_GETSELCOUNT, 0, 0));
    }
    return count;
}

// Reads the selected entries' texts as the OK command does, with the same three list messages,
// and returns how many it read.
std::size_t readSelections(HWND dialog) {
    std::size_t read = 0;
    for (const int listId : kLists) {
        const HWND list = GetDlgItem(dialog, listId);
        const LRESULT count = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
        if (count <= 0) {
            continue;
        }
        std::vector<int> indices(static_cast<std::size_t>(count));
        SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(count),
                     reinterpret_cast<LPARAM>(indices.data()));
        for (const int index : indices) {
            const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
            std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(text.data()));
            ++read;
        }
    }
    return read;
}

struct Trial {
    double beforeDialog = 0; // click to save dialog
    double reading = 0;      // the list messages alone
    double assembly = 0;     // BuildCaptureScript alone on the same settings
    double afterDialog = 0;  // save dialog answered to command done
};

std::optional<Trial> timeOk(HWND dialog, const corvane::CMainDlg& mainDialog,
                            AnsweringScriptUi& ui) {
    ui.saveDialogAt = 0;
    ui.messageAt = 0;
    ui.messages = 0;
    const double start = millisecondsNow();
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    const double end = millisecondsNow();
    // Either the save dialog and no message, or one refusal before any save dialog.
    const bool saved = ui.saveDialogAt != 0 && ui.messages == 0;
    const bool refused = ui.saveDialogAt == 0 && ui.messages == 1;
    if (!saved && !refused) {
        return std::nullopt;
    }
    const double answeredAt = saved ? ui.saveDialogAt : ui.messageAt;
    Trial trial;
    trial.beforeDialog = answeredAt - start;
    trial.afterDialog = end - answeredAt;
    const double readingStart = millisecondsNow();
    static_cast<void>(readSelections(dialog));
    trial.reading = millisecondsNow() - readingStart;
    // The command left the selections it read in the settings.
    const double assemblyStart = millisecondsNow();
    const std::optional<std::wstring> script = corvane::BuildCaptureScript(mainDialog.Settings());
    trial.assembly = millisecondsNow() - assemblyStart;
    return script ? std::optional<Trial>(trial) : std::nullopt;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Summary {
    double beforeDialog;
    double reading;
    double assembly;
    double afterDialog;
    double total;
};

Summary summarise(const std::vector<Trial>& trials) {
    std::vector<double> before, reading, assembly, after, total;
    for (const Trial& trial : trials) {
        before.push_back(trial.beforeDialog);
        reading.push_back(trial.reading);
        assembly.push_back(trial.assembly);
        after.push_back(trial.afterDialog);
        total.push_back(trial.beforeDialog + trial.afterDialog);
    }
    return {median(before), median(reading), median(assembly), median(after), median(total)};
}

std::wstring temporaryScriptPath() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder, length) + L"corvane_ok_bench.cmd";
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    const int trials = std::max(1, static_cast<int>(std::wcstol(commandLine, nullptr, 10)));
    if (!corvane::appModule.Init(instance)) {
        return 1;
    }
    const std::wstring scriptPath = temporaryScriptPath();
    int exitCode = 0;
    {
        corvane::CMessageLoop loop;
        static_cast<void>(corvane::appModule.RegisterLoop(&loop));
        AnsweringScriptUi ui(scriptPath);
        corvane::DefaultsEnvironment environment;
        environment.desktopFolder = [] { return std::optional<std::wstring>(L"C:\\bench"); };
        environment.localTime = [] { return corvane::LocalTime{2024, 1, 5, 9, 30, 0}; };
        corvane::CMainDlg dialog(environment, ui);
        const HWND window = dialog.Create(nullptr);
        if (window == nullptr) {
            exitCode = 1;
        } else {
            // Shown, with the pointer resting on OK as a user's does: the help tips are made.
            ShowWindow(window, SW_SHOW);
            UpdateWindow(window);
            corvane::bench::restPointerOn(GetDlgItem(window, IDOK));
            std::printf("help tips %s\n", corvane::bench::threadHasTooltip() ? "made" : "not made");
            std::vector<Trial> results[2]; // every entry, one entry
            long counts[2] = {0, 0};
            // One untimed round first, then alternate which goes first.
            for (int round = -1; round < trials && exitCode == 0; ++round) {
                for (int step = 0; step < 2; ++step) {
                    const int which = (round + step + 2) % 2;
                    select(window, which == 0);
                    counts[which] = selectedEntries(window);
                    const std::optional<Trial> trial = timeOk(window, dialog, ui);
                    if (!trial) {
                        exitCode = 1;
                        break;
                    }
                    if (round >= 0) {
                        results[which].push_back(*trial);
                    }
                }
            }
            if (exitCode == 0) {
                const Summary all = summarise(results[0]);
                const Summary one = summarise(results[1]);
                for (int which = 0; which < 2; ++which) {
                    const Summary& summary = which == 0 ? all : one;
                    std::printf(
                        "%6ld selected: to the save dialog or refusal %7.2f ms (list reading "
                        "%6.2f ms, "
                        "script assembly %6.2f ms), after it %7.2f ms, in all %7.2f ms\n",
                        counts[which], summary.beforeDialog, summary.reading, summary.assembly,
                        summary.afterDialog, summary.total);
                }
                std::printf("medians of %d trials; difference in all %.2f ms, up to the save "
                            "dialog or refusal %.2f ms\n",
                            trials, all.total - one.total, all.beforeDialog - one.beforeDialog);
            } else {
                std::printf("OK reached neither the save dialog nor one refusal\n");
            }
            DestroyWindow(window);
        }
        static_cast<void>(corvane::appModule.UnregisterLoop());
    }
    DeleteFileW(scriptPath.c_str());
    corvane::appModule.Term();
    return exitCode;
}
