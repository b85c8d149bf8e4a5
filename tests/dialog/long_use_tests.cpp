// Long use of the main dialog: a thousand rounds of Reset, OK (saved through the fake save
// dialog, since the platform's own keeps a registry handle per use) and About must leave the
// process holding what it held after the first hundred.
#include "tests/dialog/main_dialog_driver.h"
#include "tests/dialog/process_resources.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane::testing {
namespace {

constexpr int kWarmUpRounds = 100;
constexpr int kRounds = 1000;
constexpr int kSampleEvery = 100;

// Ends every dialog box this thread opens (the About box here) as soon as it is created: the
// posted OK waits in the queue until the box's own modal loop takes it.
class DialogBoxCloser {
public:
    DialogBoxCloser()
        : hook_(SetWindowsHookExW(WH_CBT, &DialogBoxCloser::watch, nullptr, GetCurrentThreadId())) {
        EXPECT_NE(hook_, nullptr);
        closed_ = 0;
    }
    ~DialogBoxCloser() {
        if (hook_ != nullptr) {
            UnhookWindowsHookEx(hook_);
        }
    }
    DialogBoxCloser(const DialogBoxCloser&) = delete;
    DialogBoxCloser& operator=(const DialogBoxCloser&) = delete;

    [[nodiscard]] static int closed() { return closed_; }

private:
    static LRESULT CALLBACK watch(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            const auto window = reinterpret_cast<HWND>(wParam);
            const auto* creation = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            if ((creation->lpcs->style & WS_CHILD) == 0 &&
                std::wstring_view(className) == L"#32770") {
                PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                ++closed_;
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    HHOOK hook_;
    static inline int closed_ = 0;
};

// One counter of ProcessResources, how to read it and how far it may move once warmed up.
struct Counter {
    const char* name;
    std::function<std::optional<std::int64_t>(const ProcessResources&)> read;
    std::int64_t tolerance;
};

template <typename T>
std::optional<std::int64_t> widen(const std::optional<T>& value) {
    return value ? std::optional<std::int64_t>(static_cast<std::int64_t>(*value)) : std::nullopt;
}

const std::vector<Counter> kCounters{
    // The heap may settle a little; a leak of even one block per round would not fit.
    {"private bytes",
     [](const ProcessResources& r) { return widen(std::optional(r.privateBytes)); }, 256 * 1024},
    {"working set", [](const ProcessResources& r) { return widen(std::optional(r.workingSet)); },
     1024 * 1024},
    {"threads", [](const ProcessResources& r) { return widen(std::optional(r.threads)); }, 0},
    {"windows", [](const ProcessResources& r) { return widen(std::optional(r.windows)); }, 0},
    {"handles", [](const ProcessResources& r) { return widen(r.handles); }, 4},
    {"GDI objects", [](const ProcessResources& r) { return widen(r.gdiObjects); }, 8},
    {"USER objects", [](const ProcessResources& r) { return widen(r.userObjects); }, 8},
};

using LongUse = MainDialogFixture;

TEST_F(LongUse, AThousandRoundsOfResetOkAndAboutKeepResourcesFlat) {
    ASSERT_TRUE(openWithProviders("providers 50 Provider-\n"));
    ui.chosenPath = scratch.file(L"long-use.cmd");
    const DialogBoxCloser closer;

    std::vector<ProcessResources> samples;
    const DWORD started = GetTickCount();
    for (int round = 1; round <= kRounds; ++round) {
        session.click(IDC_RESET);
        session.select(IDC_KERNEL_FLAGS, L"PROC_THREAD");
        session.select(IDC_PROVIDERS, L"Provider-00042");
        session.click(IDOK);
        session.click(ID_APP_ABOUT);

        ASSERT_TRUE(ui.messages.empty()) << "round " << round;
        ASSERT_EQ(ui.offeredNames.size(), 1u) << "round " << round << ": one save per OK";
        ASSERT_EQ(DialogBoxCloser::closed(), round) << "one About box per round";
        // The fake save dialog's own record must not grow with the rounds.
        ui.offeredNames.clear();
        if (round >= kWarmUpRounds && round % kSampleEvery == 0) {
            samples.push_back(countProcessResources());
        }
    }
    const DWORD elapsed = GetTickCount() - started;
    ASSERT_TRUE(fileExists(*ui.chosenPath));
    EXPECT_EQ(session.entries(IDC_PROVIDERS).size(), 50u);

    std::printf("%d rounds in %lu ms\n", kRounds, static_cast<unsigned long>(elapsed));
    const ProcessResources& warm = samples.front();
    const ProcessResources& last = samples.back();
    for (const Counter& counter : kCounters) {
        const std::optional<std::int64_t> before = counter.read(warm);
        if (!before) {
            std::printf("%-13s not counted: the platform does not report it\n", counter.name);
            continue;
        }
        std::printf("%-13s", counter.name);
        for (const ProcessResources& sample : samples) {
            const std::optional<std::int64_t> value = counter.read(sample);
            std::printf(" %lld", value ? static_cast<long long>(*value) : -1LL);
        }
        std::printf("\n");
        const std::optional<std::int64_t> after = counter.read(last);
        ASSERT_TRUE(after) << counter.name << " stopped being reported";
        EXPECT_LE(*after - *before, counter.tolerance)
            << counter.name << " grew from " << *before << " after " << kWarmUpRounds
            << " rounds to " << *after << " after " << kRounds;
    }
}

} // namespace
} // namespace corvane::testing
