// Reset with the main dialog shown against the fill when the dialog opens, with many providers.
// Opening fills the lists while the dialog is hidden; Reset refills them while the user sees
// them. Run under Wine with the fixture as the system's tdh.dll (bench/reset_bench.sh does so):
//   reset_bench [--runs N] [PROVIDERS...]      (default: --runs 3 1500 20000)
// Prints figures; it passes or fails nothing.
#include "bench/clock_win.h"
#include "res/resource.h"
#include "settings/dialog_sequences_win.h"
#include "tests/providers/tdh_fixture_control.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using corvane::bench::millisecondsNow;

namespace {

using corvane::DefaultsEnvironment;
using corvane::TraceSettings;

INT_PTR CALLBACK handleNothing(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Paints everything that is waiting to be painted, now.
void paintPending(HWND dialog) {
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    std::vector<double> openFill; // the opening sequence, dialog hidden
    std::vector<double> reset;    // Reset's handling, dialog shown
    std::vector<double> repaint;  // painting what Reset left to paint
    int providersListed = 0;
};

Figures measure(int providerCount, int runs) {
    const DefaultsEnvironment environment{
        [] { return std::optional<std::wstring>(L"C:\\Users\\user\\Desktop"); },
        [] { return corvane::LocalTime{2024, 1, 5, 9, 30, 0}; }};
    corvane::tdh_fixture::ScriptFile script;
    const std::string text = "providers " + std::to_string(providerCount) + " Provider-\n";
    if (!script.write(text)) {
        std::fprintf(stderr, "cannot write the fixture's script\n");
        std::exit(1);
    }

    Figures figures;
    for (int run = 0; run < runs; ++run) {
        const HWND dialog = CreateDialogParamW(
            GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAINDLG), nullptr, handleNothing, 0);
        if (dialog == nullptr) {
            std::fprintf(stderr, "cannot create the dialog: error %lu\n", GetLastError());
            std::exit(1);
        }
        TraceSettings settings;
        corvane::applyOpeningDefaults(settings, environment);
        double start = millisecondsNow();
        corvane::runDialogOpenSequence(dialog, settings);
        figures.openFill.push_back(millisecondsNow() - start);

        ShowWindow(dialog, SW_SHOWNOACTIVATE);
        paintPending(dialog);
        pumpMessages();

        start = millisecondsNow();
        corvane::resetSettings(dialog, settings, environment);
        const double resetDone = millisecondsNow();
        paintPending(dialog);
        figures.reset.push_back(resetDone - start);
        figures.repaint.push_back(millisecondsNow() - resetDone);
        figures.providersListed =
            static_cast<int>(SendDlgItemMessageW(dialog, IDC_PROVIDERS, LB_GETCOUNT, 0, 0));
        pumpMessages();
        DestroyWindow(dialog);
        pumpMessages();
    }
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::vector<int> sizes;
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--runs") == 0 && index + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++index]));
        } else {
            sizes.push_back(std::atoi(argv[index]));
        }
    }
    if (sizes.empty()) {
        sizes = {1500, 20000};
    }

    std::printf("median of %d runs, milliseconds\n", runs);
    std::printf("%9s %7s %10s %10s %9s %11s %18s\n", "providers", "listed", "open fill", "Reset",
                "repaint", "Reset/open", "(Reset+paint)/open");
    for (const int size : sizes) {
        const Figures figures = measure(size, runs);
        const double open = median(figures.openFill);
        const double reset = median(figures.reset);
        const double repaint = median(figures.repaint);
        std::printf("%9d %7d %10.1f %10.1f %9.1f %10.2fx %17.2fx\n", size, figures.providersListed,
                    open, reset, repaint, reset / open, (reset + repaint) / open);
        std::fflush(stdout);
    }
    return 0;
}
