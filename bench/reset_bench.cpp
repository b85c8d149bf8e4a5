// Reset as the user meets it: the real main dialog shown, the pointer resting on its Reset button
// so that the help tips have been made, and the refill timed through to a settled queue. Beside it,
// in the same run and on the same screen, the bare dialog refills the same lists (see
// bench/startup/bare_lists.h): a slowdown of the platform or of the machine shows in both, one of
// Corvane's own only in the ratio. Run under Wine with the fixture as the system's tdh.dll
// (bench/reset_bench.sh does so):
//   reset_bench [--runs N] [PROVIDERS...]      (default: --runs 15 1500 20000)
// Prints figures; it passes or fails nothing.
#include "app/app_module.h"
#include "app/message_loop.h"
#include "bench/clock_win.h"
#include "bench/pointer_win.h"
#include "bench/startup/bare_lists.h"
#include "res/resource.h"
#include "tests/providers/tdh_fixture_control.h"
#include "ui/main_dlg.h"
#include "ui/script_ui.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using corvane::bench::millisecondsNow;
using corvane::bench::pumpMessages;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// On a busy machine the fastest run is the one least disturbed by others.
double fastest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

struct Timings {
    std::vector<double> handling; // the refill itself
    std::vector<double> total;    // with its painting and the messages it left queued
    int providersListed = 0;
    bool tipsMade = false;
};

// Shows the dialog, rests the pointer on it, refills once untimed, then `runs` times timed.
Timings timeRefills(HWND dialog, int runs, const std::function<void()>& refill) {
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    // Where a user's pointer is when Reset runs.
    corvane::bench::restPointerOn(GetDlgItem(dialog, IDC_RESET));
    Timings timings;
    timings.tipsMade = corvane::bench::threadHasTooltip();
    for (int run = -1; run < runs; ++run) {
        const double start = millisecondsNow();
        refill();
        const double handled = millisecondsNow();
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        pumpMessages();
        const double settled = millisecondsNow();
        if (run >= 0) {
            timings.handling.push_back(handled - start);
            timings.total.push_back(settled - start);
        }
    }
    timings.providersListed =
        static_cast<int>(SendDlgItemMessageW(dialog, IDC_PROVIDERS, LB_GETCOUNT, 0, 0));
    return timings;
}

std::optional<Timings> timeCorvaneReset(int runs) {
    corvane::DefaultsEnvironment environment;
    environment.desktopFolder = [] { return std::optional<std::wstring>(L"C:\\bench"); };
    environment.localTime = [] { return corvane::LocalTime{2024, 1, 5, 9, 30, 0}; };
    corvane::CMainDlg dialog(environment, corvane::platformScriptUi());
    const HWND window = dialog.Create(nullptr);
    if (window == nullptr) {
        return std::nullopt;
    }
    const HWND button = GetDlgItem(window, IDC_RESET);
    const Timings timings = timeRefills(window, runs, [&] {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    });
    DestroyWindow(window);
    pumpMessages();
    return timings;
}

INT_PTR CALLBACK bareDialogProcedure(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        corvane::bench::fillBareLists(dialog);
        return TRUE;
    }
    return FALSE;
}

std::optional<Timings> timeBareRefill(int runs) {
    const HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAINDLG),
                                           nullptr, bareDialogProcedure, 0);
    if (dialog == nullptr) {
        return std::nullopt;
    }
    const Timings timings =
        timeRefills(dialog, runs, [dialog] { corvane::bench::refillBareLists(dialog); });
    DestroyWindow(dialog);
    pumpMessages();
    return timings;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 15;
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
    if (!corvane::appModule.Init(GetModuleHandleW(nullptr))) {
        return 1;
    }
    corvane::CMessageLoop loop;
    static_cast<void>(corvane::appModule.RegisterLoop(&loop));
    corvane::tdh_fixture::ScriptFile script;

    std::printf("%d runs each, milliseconds; 'settled' adds the painting and the messages left "
                "queued, the ratio is of the settled figures\n",
                runs);
    std::printf("%9s %7s %5s %8s %14s %10s %12s %10s %7s\n", "providers", "listed", "tips", "",
                "Corvane Reset", "settled", "bare refill", "settled", "ratio");
    int status = 0;
    for (const int size : sizes) {
        if (!script.write("providers " + std::to_string(size) + " Provider-\n")) {
            std::fprintf(stderr, "cannot write the fixture's script\n");
            status = 1;
            break;
        }
        const std::optional<Timings> corvane = timeCorvaneReset(runs);
        const std::optional<Timings> bare = timeBareRefill(runs);
        if (!corvane || !bare) {
            std::fprintf(stderr, "cannot create the dialog: error %lu\n", GetLastError());
            status = 1;
            break;
        }
        using Summary = double (*)(const std::vector<double>&);
        const std::pair<const char*, Summary> summaries[] = {
            {"median", [](const std::vector<double>& values) { return median(values); }},
            {"fastest", fastest}};
        for (const auto& [name, summary] : summaries) {
            const double reset = summary(corvane->total);
            const double refill = summary(bare->total);
            std::printf("%9d %7d %5s %8s %14.1f %10.1f %12.1f %10.1f %6.2fx\n", size,
                        corvane->providersListed, corvane->tipsMade ? "made" : "none", name,
                        summary(corvane->handling), reset, summary(bare->handling), refill,
                        reset / refill);
        }
        std::fflush(stdout);
    }
    static_cast<void>(corvane::appModule.UnregisterLoop());
    corvane::appModule.Term();
    return status;
}
