// What the main dialog shows when it opens, and what the Reset button puts back and leaves alone.
#include "tests/dialog/main_dialog_driver.h"

#include "res/resource.h"
#include "settings/catalogues.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace corvane::testing {
namespace {

using Names = std::vector<std::wstring>;

template <std::size_t N>
Names namesOf(const std::array<const wchar_t*, N>& catalogue) {
    return {catalogue.begin(), catalogue.end()};
}

constexpr int kHeapEditIds[] = {IDC_HEAP_PROCESS, IDC_HEAP_SESSION_NAME, IDC_HEAP_PATH};

const std::vector<std::pair<int, std::wstring>> kDefaultTexts{
    {IDC_MAX_FILE_SIZE, L"256"},
    {IDC_BUFFER_SIZE, L"64"},
    {IDC_MAX_BUFFERS, L"320"},
    {IDC_MIN_BUFFERS, L"64"},
    {IDC_KERNEL_PATH, L"\\kernel.etl"},
    {IDC_USER_PATH, L"\\user.etl"},
    {IDC_ETL_OUT_PATH, L"D:\\traces\\20240105_093000.etl"},
    {IDC_SESSION_NAME, L"Vell"},
    {IDC_HEAP_PROCESS, L"0"},
    {IDC_HEAP_SESSION_NAME, L"VellHeap"},
    {IDC_HEAP_PATH, L"\\heap.etl"},
};

void expectDefaultTexts(const MainDialogSession& session, const std::wstring& etlOutPath) {
    for (const auto& [id, text] : kDefaultTexts) {
        EXPECT_EQ(session.text(id), id == IDC_ETL_OUT_PATH ? etlOutPath : text) << "control " << id;
    }
}

void expectDefaultNumbersHeld(const TraceSettings& settings) {
    EXPECT_EQ(settings.maxFileSizeMb, 256u);
    EXPECT_EQ(settings.bufferSizeKb, 64u);
    EXPECT_EQ(settings.maxBuffers, 320u);
    EXPECT_EQ(settings.minBuffers, 64u);
    EXPECT_EQ(settings.logStack, 0);
}

void expectHeapEditsEnabled(const MainDialogSession& session, bool enabled) {
    for (const int id : kHeapEditIds) {
        EXPECT_EQ(session.isEnabled(id), enabled) << "control " << id;
    }
}

void expectKernelListsAndFileModesAsOpened(const MainDialogSession& session) {
    EXPECT_EQ(session.entries(IDC_KERNEL_FLAGS), namesOf(KernelFlagCatalogue));
    EXPECT_EQ(session.entries(IDC_STACKWALK), namesOf(StackwalkCatalogue));
    EXPECT_EQ(session.fileModes(), namesOf(FileModeCatalogue));
    EXPECT_EQ(session.fileModeSelection(), 0) << "Sequential";
}

void expectNothingSelected(const MainDialogSession& session) {
    for (const int list : {IDC_KERNEL_FLAGS, IDC_STACKWALK, IDC_PROVIDERS}) {
        EXPECT_EQ(session.selectedCount(list), 0) << "list " << list;
    }
}

// Every held value typed away from its default, Log Stack checked, a selection in every list and
// another file mode, as a user would leave the dialog.
void changeEverything(const MainDialogSession& session) {
    for (const auto& [id, text] : kDefaultTexts) {
        session.type(id, L"1" + text);
    }
    session.click(IDC_LOG_STACK);
    ASSERT_EQ(session.checkState(IDC_LOG_STACK), BST_CHECKED);
    session.select(IDC_KERNEL_FLAGS, L"LOADER");
    session.select(IDC_STACKWALK, L"CSwitch");
    session.select(IDC_PROVIDERS, L"Microsoft-Windows-Win32k");
    session.chooseFileMode(3);
}

// Records, for one control, the changes to its entries and the switching of its painting.
class PaintingRecorder {
public:
    enum class Event { PaintingOff, PaintingOn, EntriesChanged };

    explicit PaintingRecorder(HWND control) : control_(control) {
        SetPropW(control_, kProperty, this);
        previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PaintingRecorder::procedure)));
    }
    ~PaintingRecorder() {
        SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropW(control_, kProperty);
    }
    PaintingRecorder(const PaintingRecorder&) = delete;
    PaintingRecorder& operator=(const PaintingRecorder&) = delete;

    [[nodiscard]] const std::vector<Event>& events() const { return events_; }

private:
    static constexpr wchar_t kProperty[] = L"CorvanePaintingRecorder";

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* const self = static_cast<PaintingRecorder*>(GetPropW(window, kProperty));
        switch (message) {
        case WM_SETREDRAW:
            self->events_.push_back(wParam != 0 ? Event::PaintingOn : Event::PaintingOff);
            break;
        case LB_RESETCONTENT:
        case LB_ADDSTRING:
        case LB_INSERTSTRING:
        case LB_DELETESTRING:
        case CB_RESETCONTENT:
        case CB_ADDSTRING:
        case CB_SETCURSEL:
            self->events_.push_back(Event::EntriesChanged);
            break;
        default:
            break;
        }
        return CallWindowProcW(self->previous_, window, message, wParam, lParam);
    }

    HWND control_;
    WNDPROC previous_ = nullptr;
    std::vector<Event> events_;
};

// Painting off, then only changes to the entries, then painting on again.
::testing::AssertionResult changedWithPaintingHeld(const PaintingRecorder& recorder) {
    using Event = PaintingRecorder::Event;
    const std::vector<Event>& events = recorder.events();
    if (events.size() < 3 || events.front() != Event::PaintingOff ||
        events.back() != Event::PaintingOn) {
        return ::testing::AssertionFailure()
               << events.size() << " events, not painting off ... painting on";
    }
    for (std::size_t index = 1; index + 1 < events.size(); ++index) {
        if (events[index] != Event::EntriesChanged) {
            return ::testing::AssertionFailure()
                   << "painting switched in the middle, event " << index;
        }
    }
    return ::testing::AssertionSuccess();
}

using DialogOpen = MainDialogTest;
using DialogOpening = MainDialogFixture;
using Reset = MainDialogTest;
using ResetWithoutDesktopFolder = MainDialogTest;

TEST_F(DialogOpen, ShowsTheDefaultsHiddenWithBothBoxesClearAndTheHeapEditsDisabled) {
    EXPECT_FALSE(IsWindowVisible(session.window())) << "the shell shows it, not the opening";
    expectDefaultTexts(session, L"D:\\traces\\20240105_093000.etl");
    EXPECT_EQ(session.checkState(IDC_LOG_STACK), BST_UNCHECKED);
    EXPECT_EQ(session.checkState(IDC_HEAP), BST_UNCHECKED);
    expectHeapEditsEnabled(session, false);
    expectDefaultNumbersHeld(session.settings());
    EXPECT_EQ(session.settings().heapEnabled, 0);
}

TEST_F(DialogOpen, FillsTheListsFromTheCataloguesAndTheProvidersSortedWithNothingSelected) {
    expectKernelListsAndFileModesAsOpened(session);
    EXPECT_EQ(session.entries(IDC_KERNEL_FLAGS).size(), 61u);
    EXPECT_EQ(session.entries(IDC_STACKWALK).size(), 127u);
    EXPECT_EQ(session.entries(IDC_PROVIDERS),
              (Names{L"Microsoft-Windows-Shell-Core", L"Microsoft-Windows-Win32k"}));
    expectNothingSelected(session);
}

TEST_F(DialogOpening, WithoutADesktopFolderLeavesEtlOutPathEmptyAndOkRefusesIt) {
    clock.folder.reset();
    ASSERT_TRUE(openWithProviders(kTwoProviders));

    EXPECT_EQ(session.text(IDC_ETL_OUT_PATH), L"");
    EXPECT_EQ(session.text(IDC_KERNEL_PATH), L"\\kernel.etl");

    session.select(IDC_KERNEL_FLAGS, L"PROC_THREAD");
    EXPECT_TRUE(pressOkSavingAs(L"refused.cmd").empty());
    expectOnlyMessage(L"Please input valid data.");
    EXPECT_EQ(session.focusedId(), IDC_ETL_OUT_PATH);
}

TEST_F(DialogOpening, FillsTheListsEvenWhenAControlRefusesItsValue) {
    const MisbehavingEdit refusing(IDC_KERNEL_PATH, MisbehavingEdit::Fault::RefuseText);
    ASSERT_TRUE(openWithProviders("provider Only-Provider\n"));

    EXPECT_EQ(session.text(IDC_MAX_BUFFERS), L"320") << "written before the refusal";
    EXPECT_EQ(session.text(IDC_KERNEL_PATH), L"");
    EXPECT_EQ(session.text(IDC_USER_PATH), L"") << "the exchange stopped at Kernel Path";
    expectKernelListsAndFileModesAsOpened(session);
    EXPECT_EQ(session.entries(IDC_PROVIDERS), Names{L"Only-Provider"});
}

TEST_F(Reset, WithHeapCheckedKeepsTheBoxAndTheEditsEnabledButRestoresEveryText) {
    session.click(IDC_HEAP);
    changeEverything(session);
    session.click(IDOK); // the record takes the typed values (and refuses nothing)
    ASSERT_EQ(session.settings().logStack, 1);
    ASSERT_EQ(session.settings().maxFileSizeMb, 1256u);
    clock.time.second = 1;

    session.click(IDC_RESET);

    EXPECT_EQ(session.checkState(IDC_HEAP), BST_CHECKED);
    EXPECT_EQ(session.settings().heapEnabled, 1);
    expectHeapEditsEnabled(session, true);
    expectDefaultTexts(session, L"D:\\traces\\20240105_093001.etl");
    EXPECT_EQ(session.checkState(IDC_LOG_STACK), BST_UNCHECKED);
    expectDefaultNumbersHeld(session.settings());
    EXPECT_EQ(session.settings().etlOutPath, L"D:\\traces\\20240105_093001.etl");
}

TEST_F(Reset, WithHeapClearKeepsTheBoxClearAndTheEditsDisabled) {
    changeEverything(session);

    session.click(IDC_RESET);

    EXPECT_EQ(session.checkState(IDC_HEAP), BST_UNCHECKED);
    EXPECT_EQ(session.settings().heapEnabled, 0);
    expectHeapEditsEnabled(session, false);
    expectDefaultTexts(session, L"D:\\traces\\20240105_093000.etl");
    EXPECT_EQ(session.checkState(IDC_LOG_STACK), BST_UNCHECKED);
}

TEST_F(Reset, RefillsTheListsWithoutSelectionsAndKeepsTheFourFileModes) {
    changeEverything(session);

    session.click(IDC_RESET);

    expectKernelListsAndFileModesAsOpened(session);
    expectNothingSelected(session);
    EXPECT_TRUE(ui.messages.empty()) << "Reset shows nothing";
    EXPECT_TRUE(ui.offeredNames.empty()) << "and writes nothing";
}

TEST_F(Reset, RefillsTheListsEvenWhenAControlRefusesItsValue) {
    changeEverything(session);
    ASSERT_TRUE(providers.write("provider After-Reset\n"));
    const MisbehavingEdit refusing(session.control(IDC_SESSION_NAME),
                                   MisbehavingEdit::Fault::RefuseText);

    session.click(IDC_RESET);

    EXPECT_EQ(session.focusedId(), IDC_SESSION_NAME);
    EXPECT_EQ(session.text(IDC_ETL_OUT_PATH), L"D:\\traces\\20240105_093000.etl")
        << "written before the refusal";
    EXPECT_EQ(session.text(IDC_HEAP_PROCESS), L"10") << "texts after the refusal are skipped";
    EXPECT_EQ(session.checkState(IDC_LOG_STACK), BST_CHECKED) << "so are the check boxes";
    expectKernelListsAndFileModesAsOpened(session);
    expectNothingSelected(session);
    EXPECT_EQ(session.entries(IDC_PROVIDERS), Names{L"After-Reset"});
}

TEST_F(Reset, WithTheDialogShownChangesEachListWithItsPaintingHeldThenRepaintsItOnce) {
    ShowWindow(session.window(), SW_SHOWNOACTIVATE);
    UpdateWindow(session.window());
    changeEverything(session);
    ASSERT_TRUE(providers.write("provider Zeta\nprovider Alpha\n"));
    constexpr int kChanged[] = {IDC_KERNEL_FLAGS, IDC_STACKWALK, IDC_FILE_MODE, IDC_PROVIDERS};
    std::vector<std::unique_ptr<PaintingRecorder>> recorders;
    for (const int id : kChanged) {
        recorders.push_back(std::make_unique<PaintingRecorder>(session.control(id)));
    }

    session.click(IDC_RESET);

    for (std::size_t index = 0; index < recorders.size(); ++index) {
        const HWND control = session.control(kChanged[index]);
        EXPECT_TRUE(changedWithPaintingHeld(*recorders[index])) << "control " << kChanged[index];
        EXPECT_TRUE(IsWindowVisible(control)) << "control " << kChanged[index];
        EXPECT_TRUE(GetUpdateRect(control, nullptr, FALSE))
            << "repaint pending, control " << kChanged[index];
    }
    expectKernelListsAndFileModesAsOpened(session);
    expectNothingSelected(session);
    EXPECT_EQ(session.entries(IDC_PROVIDERS), (Names{L"Alpha", L"Zeta"}));

    // Painting is on again: once painted, a new entry asks for a repaint of its own.
    const HWND providerList = session.control(IDC_PROVIDERS);
    UpdateWindow(session.window());
    ASSERT_FALSE(GetUpdateRect(providerList, nullptr, FALSE));
    SendMessageW(providerList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Added-Later"));
    EXPECT_TRUE(GetUpdateRect(providerList, nullptr, FALSE));
}

TEST_F(ResetWithoutDesktopFolder, KeepsTheEtlOutPathThatTheLastOkRead) {
    session.type(IDC_ETL_OUT_PATH, L"E:\\confirmed.etl");
    session.click(IDOK); // nothing selected, but the exchange has read the field
    session.type(IDC_ETL_OUT_PATH, L"E:\\typed-later.etl");
    clock.folder.reset();
    clock.time.minute = 45;

    session.click(IDC_RESET);

    EXPECT_EQ(session.text(IDC_ETL_OUT_PATH), L"E:\\confirmed.etl");
    EXPECT_EQ(session.text(IDC_KERNEL_PATH), L"\\kernel.etl");
}

} // namespace
} // namespace corvane::testing
