#include "app/app_module.h"
#include "app/message_loop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

constexpr UINT kProbe = WM_APP + 1;
constexpr UINT kConsumedProbe = WM_APP + 2;
constexpr UINT kSystemTimer = 0x0118;

// A message-only window that records what reaches its window procedure (i.e. was dispatched).
class SinkWindow {
public:
    SinkWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &SinkWindow::procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"CorvaneLoopTestSink";
        ::RegisterClassW(&windowClass); // fails harmlessly when already registered
        window_ = ::CreateWindowExW(0, L"CorvaneLoopTestSink", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr);
        dispatched().clear();
    }
    ~SinkWindow() { ::DestroyWindow(window_); }
    SinkWindow(const SinkWindow&) = delete;
    SinkWindow& operator=(const SinkWindow&) = delete;

    [[nodiscard]] HWND handle() const { return window_; }
    static std::vector<UINT>& dispatched() {
        static std::vector<UINT> messages;
        return messages;
    }
    [[nodiscard]] static bool received(UINT message) {
        for (const UINT m : dispatched()) {
            if (m == message) {
                return true;
            }
        }
        return false;
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        dispatched().push_back(message);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

// Records each question it is asked; consumes one chosen message id.
class RecordingFilter : public CMessageFilter {
public:
    RecordingFilter(char name, std::string& log, UINT consumes = 0)
        : name_(name), log_(log), consumes_(consumes) {}

    bool FilterMessage(MSG& message) override {
        if (message.message == kProbe || message.message == kConsumedProbe ||
            message.message == WM_KEYDOWN) {
            log_ += name_;
        }
        if (onAsked) {
            onAsked();
        }
        return consumes_ != 0 && message.message == consumes_;
    }

    std::function<void()> onAsked;

private:
    char name_;
    std::string& log_;
    UINT consumes_;
};

class QuitOn : public CMessageFilter {
public:
    explicit QuitOn(UINT message, int code) : message_(message), code_(code) {}
    bool FilterMessage(MSG& message) override {
        if (message.message == message_) {
            ::PostQuitMessage(code_);
        }
        return false;
    }

private:
    UINT message_;
    int code_;
};

void drainQueue() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST(FilterChain, AsksLastAttachedFirstAndDispatchesWhenNoneConsumes) {
    drainQueue();
    SinkWindow sink;
    std::string log;
    RecordingFilter first('A', log), second('B', log), third('C', log);
    QuitOn quit(kProbe, 7);
    CMessageLoop loop;
    ASSERT_TRUE(loop.AttachFilter(&quit));
    ASSERT_TRUE(loop.AttachFilter(&first));
    ASSERT_TRUE(loop.AttachFilter(&second));
    ASSERT_TRUE(loop.AttachFilter(&third));

    ::PostMessageW(sink.handle(), kProbe, 0, 0);
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_EQ(log, "CBA");
    EXPECT_TRUE(SinkWindow::received(kProbe));
}

TEST(FilterChain, ConsumingFilterStopsTheWalkAndTheMessageIsNeitherTranslatedNorDispatched) {
    drainQueue();
    SinkWindow sink;
    std::string log;
    RecordingFilter first('A', log), consumer('B', log, kConsumedProbe), third('C', log);
    CMessageLoop loop;
    ASSERT_TRUE(loop.AttachFilter(&first));
    ASSERT_TRUE(loop.AttachFilter(&consumer));
    ASSERT_TRUE(loop.AttachFilter(&third));

    ::PostMessageW(sink.handle(), kConsumedProbe, 0, 0);
    ::PostQuitMessage(3);
    EXPECT_EQ(loop.Run(), 3);
    EXPECT_EQ(log, "CB"); // A, attached earlier, is not asked
    EXPECT_FALSE(SinkWindow::received(kConsumedProbe));
}

TEST(FilterChain, ConsumedKeyIsNotTranslatedWhileAPassedKeyIs) {
    for (const bool consume : {false, true}) {
        drainQueue();
        SinkWindow sink;
        std::string log;
        RecordingFilter keys('K', log, consume ? WM_KEYDOWN : 0);
        CMessageLoop loop;
        ASSERT_TRUE(loop.AttachFilter(&keys));

        // 'A' with scan code 0x1E: TranslateMessage turns it into WM_CHAR when it gets to.
        ::PostMessageW(sink.handle(), WM_KEYDOWN, 'A', 0x001E0001);
        ::PostQuitMessage(0);
        EXPECT_EQ(loop.Run(), 0);
        EXPECT_EQ(log, "K");
        EXPECT_EQ(SinkWindow::received(WM_KEYDOWN), !consume) << "consume=" << consume;
        EXPECT_EQ(SinkWindow::received(WM_CHAR), !consume) << "consume=" << consume;
    }
}

TEST(FilterChain, EmptyOrNullEntriesGiveFalse) {
    CMessageLoop loop;
    MSG message{};
    message.message = kProbe;
    EXPECT_FALSE(loop.FilterChain(message));
    EXPECT_FALSE(loop.IdleChain(0));

    ASSERT_TRUE(loop.AttachFilter(nullptr));
    ASSERT_TRUE(loop.AttachIdleHandler(nullptr));
    EXPECT_FALSE(loop.FilterChain(message));
    EXPECT_FALSE(loop.IdleChain(0));

    std::string log;
    RecordingFilter consumer('X', log, kProbe);
    ASSERT_TRUE(loop.AttachFilter(&consumer));
    EXPECT_TRUE(loop.FilterChain(message));
    EXPECT_EQ(log, "X");
}

TEST(FilterChain, FilterDetachingItselfAndAnotherDuringTheWalkEndsSafely) {
    std::string log;
    RecordingFilter first('A', log), second('B', log), third('C', log);
    CMessageLoop loop;
    ASSERT_TRUE(loop.AttachFilter(&first));
    ASSERT_TRUE(loop.AttachFilter(&second));
    ASSERT_TRUE(loop.AttachFilter(&third));
    // Like a dialog destroyed by the message its own filter passes on.
    third.onAsked = [&] {
        EXPECT_TRUE(loop.DetachFilter(&third));
        EXPECT_TRUE(loop.DetachFilter(&second));
    };

    MSG message{};
    message.message = kProbe;
    EXPECT_FALSE(loop.FilterChain(message));
    EXPECT_EQ(log, "CA"); // B was removed before its turn and is never asked
    EXPECT_EQ(loop.FilterCount(), 1u);

    log.clear();
    EXPECT_FALSE(loop.FilterChain(message));
    EXPECT_EQ(log, "A");
}

TEST(FilterChain, FilterDetachingItselfLetsTheEarlierOnesBeAsked) {
    std::string log;
    RecordingFilter first('A', log), second('B', log), third('C', log);
    CMessageLoop loop;
    ASSERT_TRUE(loop.AttachFilter(&first));
    ASSERT_TRUE(loop.AttachFilter(&second));
    ASSERT_TRUE(loop.AttachFilter(&third));
    third.onAsked = [&] { EXPECT_TRUE(loop.DetachFilter(&third)); };

    MSG message{};
    message.message = kProbe;
    EXPECT_FALSE(loop.FilterChain(message));
    EXPECT_EQ(log, "CBA");
}

TEST(LoopLists, DetachOfAnUnknownEntryIsFalseAndChangesNothing) {
    std::string log;
    RecordingFilter attached('A', log), stranger('S', log);
    CMessageLoop loop;
    ASSERT_TRUE(loop.AttachFilter(&attached));
    EXPECT_FALSE(loop.DetachFilter(&stranger));
    EXPECT_EQ(loop.FilterCount(), 1u);
    EXPECT_TRUE(loop.DetachFilter(&attached));
    EXPECT_FALSE(loop.DetachFilter(&attached));
    EXPECT_EQ(loop.FilterCount(), 0u);

    struct NoIdle : CIdleHandler {
        bool DoIdle() override { return false; }
    } handler, otherHandler;
    EXPECT_FALSE(loop.DetachIdleHandler(&handler));
    ASSERT_TRUE(loop.AttachIdleHandler(&handler));
    EXPECT_FALSE(loop.DetachIdleHandler(&otherHandler));
    EXPECT_TRUE(loop.DetachIdleHandler(&handler));
    EXPECT_EQ(loop.IdleHandlerCount(), 0u);
}

TEST(IdleChain, CallsEveryHandlerOnceInAttachmentOrderAndReturnsFalse) {
    std::string log;
    struct Named : CIdleHandler {
        Named(char n, std::string& l) : name(n), log(l) {}
        bool DoIdle() override {
            log += name;
            return true; // ignored by the chain
        }
        char name;
        std::string& log;
    } first('1', log), second('2', log), third('3', log);
    CMessageLoop loop;
    ASSERT_TRUE(loop.AttachIdleHandler(&first));
    ASSERT_TRUE(loop.AttachIdleHandler(&second));
    ASSERT_TRUE(loop.AttachIdleHandler(&third));
    EXPECT_FALSE(loop.IdleChain(5));
    EXPECT_EQ(log, "123");
}

// Watches every message the loop takes and, at each idle call, what came since the last one.
class IdleWatcher : public CMessageFilter, public CIdleHandler {
public:
    bool FilterMessage(MSG& message) override {
        sinceLastIdle_.push_back(message.message);
        return false;
    }
    bool DoIdle() override {
        idleCalls_.push_back(sinceLastIdle_);
        sinceLastIdle_.clear();
        if (onIdle) {
            onIdle(idleCalls_.size());
        }
        return false;
    }
    [[nodiscard]] const std::vector<std::vector<UINT>>& idleCalls() const { return idleCalls_; }

    std::function<void(std::size_t)> onIdle;

private:
    std::vector<UINT> sinceLastIdle_;
    std::vector<std::vector<UINT>> idleCalls_;
};

TEST(IdleProcessing, QuietMessagesDoNotRearmButOthersDoOncePerArming) {
    drainQueue();
    SinkWindow sink;
    const UINT quietMessages[] = {WM_MOUSEMOVE, WM_NCMOUSEMOVE, WM_PAINT, kSystemTimer};
    IdleWatcher watcher;
    UINT_PTR wakeTimer = 0;
    // Idle call k posts quiet message k and starts a timer: the queue runs empty after the quiet
    // message, so a loop that wrongly re-armed would call the idle chain before WM_TIMER.
    watcher.onIdle = [&](std::size_t call) {
        if (wakeTimer != 0) {
            ::KillTimer(nullptr, wakeTimer);
            wakeTimer = 0;
        }
        if (call <= std::size(quietMessages)) {
            ::PostMessageW(sink.handle(), quietMessages[call - 1], 0, 0);
            wakeTimer = ::SetTimer(nullptr, 0, 40, nullptr);
        } else {
            ::PostQuitMessage(9);
        }
    };
    CMessageLoop loop;
    ASSERT_TRUE(loop.AttachFilter(&watcher));
    ASSERT_TRUE(loop.AttachIdleHandler(&watcher));
    ASSERT_EQ(loop.Run(), 9);

    const auto& calls = watcher.idleCalls();
    ASSERT_EQ(calls.size(), std::size(quietMessages) + 1);
    EXPECT_TRUE(calls[0].empty()) << "the loop starts armed";
    for (std::size_t call = 1; call < calls.size(); ++call) {
        const std::vector<UINT>& seen = calls[call];
        ASSERT_FALSE(seen.empty()) << "idle call " << call << " without a message before it";
        bool quietSeen = false;
        for (const UINT m : seen) {
            quietSeen = quietSeen || m == quietMessages[call - 1];
        }
        EXPECT_TRUE(quietSeen) << "quiet message " << std::hex << quietMessages[call - 1];
        EXPECT_TRUE(rearmsIdle(seen.back()))
            << "idle call " << call << " came right after the quiet message " << std::hex
            << seen.back();
    }
}

TEST(IdleProcessing, MessageConsumedByAFilterStillRearms) {
    drainQueue();
    SinkWindow sink;
    std::string log;
    RecordingFilter consumer('X', log, kConsumedProbe);
    IdleWatcher watcher; // attached last, so it is asked before the consumer
    UINT_PTR wakeTimer = 0;
    // Idle call 1 posts the probe that the filter consumes. Without re-arming, the loop would
    // block until the timer and the next idle call would come after WM_TIMER instead.
    watcher.onIdle = [&](std::size_t call) {
        if (call == 1) {
            ::PostMessageW(sink.handle(), kConsumedProbe, 0, 0);
            wakeTimer = ::SetTimer(nullptr, 0, 200, nullptr);
        } else {
            ::KillTimer(nullptr, wakeTimer);
            ::PostQuitMessage(4);
        }
    };
    CMessageLoop loop;
    ASSERT_TRUE(loop.AttachFilter(&consumer));
    ASSERT_TRUE(loop.AttachFilter(&watcher));
    ASSERT_TRUE(loop.AttachIdleHandler(&watcher));
    ASSERT_EQ(loop.Run(), 4);

    EXPECT_EQ(log, "X");
    EXPECT_FALSE(SinkWindow::received(kConsumedProbe)) << "the filter consumed it";
    const auto& calls = watcher.idleCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], std::vector<UINT>{kConsumedProbe})
        << "the idle handler runs right after the consumed message";
}

TEST(IdleProcessing, OnlyTheFourQuietMessagesKeepIdleDisarmed) {
    EXPECT_FALSE(rearmsIdle(WM_MOUSEMOVE));
    EXPECT_FALSE(rearmsIdle(WM_NCMOUSEMOVE));
    EXPECT_FALSE(rearmsIdle(WM_PAINT));
    EXPECT_FALSE(rearmsIdle(kSystemTimer));
    for (const UINT other : {UINT{WM_KEYDOWN}, UINT{WM_LBUTTONDOWN}, UINT{WM_TIMER},
                             UINT{WM_COMMAND}, UINT{WM_NCPAINT}, UINT{WM_MOUSEWHEEL}, kProbe}) {
        EXPECT_TRUE(rearmsIdle(other)) << std::hex << other;
    }
}

TEST(LoopRegistry, FindsAndRemovesTheEarlierOfTwoRegistrationsForOneThread) {
    CAppModule module;
    ASSERT_TRUE(module.Init(::GetModuleHandleW(nullptr)));
    CMessageLoop earlier, later;
    const DWORD thread = ::GetCurrentThreadId();

    EXPECT_EQ(module.FindLoop(thread), nullptr);
    ASSERT_TRUE(module.RegisterLoop(&earlier));
    ASSERT_TRUE(module.RegisterLoop(&later));
    EXPECT_EQ(module.FindLoop(thread), &earlier);
    EXPECT_EQ(module.FindLoop(thread + 1), nullptr);

    EXPECT_TRUE(module.UnregisterLoop());
    EXPECT_EQ(module.FindLoop(thread), &later);
    EXPECT_TRUE(module.UnregisterLoop());
    EXPECT_EQ(module.FindLoop(thread), nullptr);
    EXPECT_FALSE(module.UnregisterLoop());
}

TEST(LoopRegistry, KeepsEachThreadsLoopApart) {
    CAppModule module;
    ASSERT_TRUE(module.Init(::GetModuleHandleW(nullptr)));
    CMessageLoop mine, theirs;
    ASSERT_TRUE(module.RegisterLoop(&mine));

    DWORD otherThread = 0;
    bool otherUnregisteredSomething = true;
    bool otherRegistered = false;
    std::thread other([&] {
        otherThread = ::GetCurrentThreadId();
        // This thread has no entry yet; the main thread's entry is not its to remove.
        otherUnregisteredSomething = module.UnregisterLoop();
        otherRegistered = module.RegisterLoop(&theirs);
    });
    other.join();
    EXPECT_FALSE(otherUnregisteredSomething);
    ASSERT_TRUE(otherRegistered);
    EXPECT_EQ(module.FindLoop(::GetCurrentThreadId()), &mine);
    EXPECT_EQ(module.FindLoop(otherThread), &theirs);

    EXPECT_TRUE(module.UnregisterLoop()); // this thread's entry only
    EXPECT_EQ(module.FindLoop(::GetCurrentThreadId()), nullptr);
    EXPECT_EQ(module.FindLoop(otherThread), &theirs);
    EXPECT_FALSE(module.UnregisterLoop());
}

TEST(AppModule, TerminationRunsOnceAndEndsTheRegistry) {
    CAppModule module;
    const HINSTANCE self = ::GetModuleHandleW(nullptr);
    ASSERT_TRUE(module.Init(self));
    EXPECT_EQ(module.GetResourceInstance(), self);
    CMessageLoop loop;
    ASSERT_TRUE(module.RegisterLoop(&loop));

    module.Term();
    EXPECT_TRUE(module.IsTerminated());
    EXPECT_EQ(module.FindLoop(::GetCurrentThreadId()), nullptr);
    EXPECT_FALSE(module.RegisterLoop(&loop));
    EXPECT_FALSE(module.UnregisterLoop());
    module.Term(); // the second request does nothing (and must not delete the lock again)
    EXPECT_TRUE(module.IsTerminated());
}

TEST(AppModule, LoopFunctionsFailBeforeInitialisation) {
    CAppModule module;
    CMessageLoop loop;
    EXPECT_FALSE(module.RegisterLoop(&loop));
    EXPECT_EQ(module.FindLoop(::GetCurrentThreadId()), nullptr);
}

} // namespace
} // namespace corvane
