// Times programs from their start to their visible main dialog, in paired runs, and prints the
// figures and their ratio. Each run is closed again with WM_CLOSE once its dialog shows.
//   corvane_startup_probe PAIRS PROGRAM BASELINE
// The two programs alternate which goes first in a pair; one untimed run of each warms the
// caches first.
#include "bench/clock_win.h"
#include "res/resource.h"
#include "tests/support/console_tool.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

using corvane::bench::millisecondsNow;

namespace {

using corvane::testing::CommandLineArguments;
using corvane::testing::OwnedHandle;

constexpr DWORD kStartLimitMs = 120000;
constexpr DWORD kExitLimitMs = 30000;

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findVisibleDialog(HWND window, LPARAM parameter) {
    auto* const search = reinterpret_cast<Search*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[16] = {};
    if (processId == search->processId && IsWindowVisible(window) &&
        GetClassNameW(window, className, 16) > 0 && std::wcscmp(className, L"#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct Run {
    bool ok = false;
    double ms = 0;
    long providers = -1; // entries in the Providers list when the dialog showed
};

Run timeStart(const std::wstring& program) {
    Run run;
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = millisecondsNow();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        std::fprintf(stderr, "cannot start %ls (error %lu)\n", program.c_str(), GetLastError());
        return run;
    }
    const OwnedHandle processHandle(process.hProcess);
    const OwnedHandle threadHandle(process.hThread);

    Search search{process.dwProcessId, nullptr};
    // Waiting on the process doubles as the pause between looks and notices an early end.
    while (search.found == nullptr) {
        EnumWindows(findVisibleDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            break;
        }
        if (WaitForSingleObject(processHandle.get(), 1) == WAIT_OBJECT_0 ||
            millisecondsNow() - start > kStartLimitMs) {
            std::fprintf(stderr, "%ls showed no dialog\n", program.c_str());
            TerminateProcess(processHandle.get(), 1);
            return run;
        }
    }
    run.ms = millisecondsNow() - start;
    run.providers =
        static_cast<long>(SendDlgItemMessageW(search.found, IDC_PROVIDERS, LB_GETCOUNT, 0, 0));

    PostMessageW(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(processHandle.get(), kExitLimitMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "%ls did not close\n", program.c_str());
        TerminateProcess(processHandle.get(), 1);
        return run;
    }
    run.ok = true;
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main() {
    const CommandLineArguments arguments;
    if (arguments.count() != 4) {
        std::fprintf(stderr, "usage: corvane_startup_probe PAIRS PROGRAM BASELINE\n");
        return 2;
    }
    const int pairs = std::max(1, static_cast<int>(std::wcstol(arguments[1], nullptr, 10)));
    const std::wstring programs[2] = {arguments[2], arguments[3]};

    for (const std::wstring& program : programs) {
        if (!timeStart(program).ok) {
            return 1;
        }
    }
    std::vector<double> times[2];
    std::vector<double> ratios;
    long providers[2] = {-1, -1};
    for (int pair = 0; pair < pairs; ++pair) {
        Run runs[2];
        const int first = pair % 2;
        for (int step = 0; step < 2; ++step) {
            const int which = (first + step) % 2;
            runs[which] = timeStart(programs[which]);
            if (!runs[which].ok) {
                return 1;
            }
            times[which].push_back(runs[which].ms);
            providers[which] = runs[which].providers;
        }
        ratios.push_back(runs[0].ms / runs[1].ms);
        std::printf("pair %2d: %8.1f ms %8.1f ms  ratio %.3f\n", pair + 1, runs[0].ms, runs[1].ms,
                    ratios.back());
    }
    const double program = median(times[0]);
    const double baseline = median(times[1]);
    std::printf("providers listed: %ld and %ld\n", providers[0], providers[1]);
    std::printf("median start to visible dialog: program %.1f ms, baseline %.1f ms\n", program,
                baseline);
    // On a busy machine the fastest run of each is the one least disturbed by others.
    const double programFastest = *std::min_element(times[0].begin(), times[0].end());
    const double baselineFastest = *std::min_element(times[1].begin(), times[1].end());
    std::printf("fastest: program %.1f ms, baseline %.1f ms, ratio %.3f\n", programFastest,
                baselineFastest, programFastest / baselineFastest);
    std::printf("ratio of medians %.3f, median of pair ratios %.3f (min %.3f, max %.3f)\n",
                program / baseline, median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    return 0;
}
