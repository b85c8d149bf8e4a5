// Opening the main dialog and pressing Reset: the defaults reach the controls, the lists are
// filled, and Reset leaves the Heap state alone.
#include "tests/dialog/dialog_host.h"

#include "res/resource.h"
#include "settings/catalogues.h"
#include "settings/dialog_sequences_win.h"
#include "settings/exchange_win.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace corvane::testing {
namespace {

template <std::size_t N>
std::vector<std::wstring> namesOf(const std::array<const wchar_t*, N>& catalogue) {
    return {catalogue.begin(), catalogue.end()};
}

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

void expectDefaultTexts(const TestDialog& dialog, const std::wstring& etlOutPath) {
    for (const auto& [id, text] : kDefaultTexts) {
        EXPECT_EQ(dialog.text(id), id == IDC_ETL_OUT_PATH ? etlOutPath : text) << "control " << id;
    }
}

void expectNothingSelected(const TestDialog& dialog) {
    for (const int list : {IDC_KERNEL_FLAGS, IDC_STACKWALK, IDC_PROVIDERS}) {
        EXPECT_EQ(dialog.selectedCount(list), 0) << "list " << list;
    }
}

void expectFileModesWithSequentialChosen(const TestDialog& dialog) {
    ASSERT_EQ(dialog.fileModeCount(), 4);
    for (int index = 0; index < 4; ++index) {
        EXPECT_EQ(dialog.fileModeText(index), FileModeCatalogue[static_cast<std::size_t>(index)]);
    }
    EXPECT_EQ(dialog.fileModeSelection(), 0);
}

// Every value changed away from its default, every list with a selection.
void changeEverything(const TestDialog& dialog) {
    for (const auto& [id, text] : kDefaultTexts) {
        dialog.setText(id, L"1" + text);
    }
    dialog.setCheck(IDC_LOG_STACK, BST_CHECKED);
    dialog.select(IDC_KERNEL_FLAGS, L"LOADER");
    dialog.select(IDC_STACKWALK, L"CSwitch");
    dialog.select(IDC_PROVIDERS, L"Microsoft-Windows-Win32k");
    dialog.selectFileMode(3);
}

// What the main dialog's Heap handler does on a click that checks the box.
void checkHeap(TestDialog& dialog, TraceSettings& settings) {
    settings.heapEnabled = 1;
    dialog.setCheck(IDC_HEAP, BST_CHECKED);
    dialog.enableHeapEdits(true);
}

using DialogOpen = OpenedDialogTest;
using Reset = OpenedDialogTest;

TEST_F(DialogOpen, ShowsTheDefaultsWithBothBoxesClearAndTheHeapEditsDisabled) {
    expectDefaultTexts(dialog, L"D:\\traces\\20240105_093000.etl");
    EXPECT_EQ(dialog.checkState(IDC_LOG_STACK), BST_UNCHECKED);
    EXPECT_EQ(dialog.checkState(IDC_HEAP), BST_UNCHECKED);
    for (const int id : {IDC_HEAP_PROCESS, IDC_HEAP_SESSION_NAME, IDC_HEAP_PATH}) {
        EXPECT_FALSE(dialog.isEnabled(id)) << "control " << id;
    }
    EXPECT_EQ(settings.heapEnabled, 0);
    EXPECT_EQ(settings.logStack, 0);
}

TEST_F(DialogOpen, FillsTheListsFromTheCataloguesAndTheRegisteredProviders) {
    EXPECT_EQ(dialog.entries(IDC_KERNEL_FLAGS), namesOf(KernelFlagCatalogue));
    EXPECT_EQ(dialog.entries(IDC_STACKWALK), namesOf(StackwalkCatalogue));
    const std::vector<std::wstring> sortedProviders{L"Microsoft-Windows-Shell-Core",
                                                    L"Microsoft-Windows-Win32k"};
    EXPECT_EQ(dialog.entries(IDC_PROVIDERS), sortedProviders);
    expectFileModesWithSequentialChosen(dialog);
    expectNothingSelected(dialog);
}

TEST(DialogOpenSequence, TurnsHeapOffBeforeApplyingTheDefaults) {
    FixedEnvironment clock;
    TraceSettings settings;
    settings.heapEnabled = 1;
    settings.logStack = 1;
    TestDialog dialog;

    applyOpeningDefaults(settings, clock.environment());
    runDialogOpenSequence(dialog.window(), settings);

    EXPECT_EQ(settings.heapEnabled, 0);
    EXPECT_EQ(settings.logStack, 0);
    EXPECT_EQ(dialog.checkState(IDC_HEAP), BST_UNCHECKED);
}

TEST(DialogOpenSequence, LeavesEtlOutPathEmptyWithoutADesktopFolder) {
    FixedEnvironment noDesktop;
    noDesktop.folder.reset();
    TraceSettings settings;
    TestDialog dialog;

    applyOpeningDefaults(settings, noDesktop.environment());
    runDialogOpenSequence(dialog.window(), settings);

    EXPECT_EQ(dialog.text(IDC_ETL_OUT_PATH), L"");
    EXPECT_EQ(dialog.text(IDC_KERNEL_PATH), L"\\kernel.etl");
    EXPECT_FALSE(exchangeFromControls(dialog.window(), settings));
    EXPECT_EQ(dialog.focusedControlId(), IDC_ETL_OUT_PATH);
}

TEST(DialogOpenSequence, FillsTheListsEvenWhenAControlRefusesItsValue) {
    FixedEnvironment clock;
    TraceSettings settings;
    TestDialog dialog;
    reportProviders({L"Only-Provider"});
    const MisbehavingEdit refusing(dialog.control(IDC_KERNEL_PATH),
                                   MisbehavingEdit::Fault::RefuseText);

    applyOpeningDefaults(settings, clock.environment());
    runDialogOpenSequence(dialog.window(), settings);

    EXPECT_EQ(dialog.focusedControlId(), IDC_KERNEL_PATH);
    EXPECT_EQ(dialog.text(IDC_USER_PATH), L"") << "the exchange stopped at Kernel Path";
    EXPECT_EQ(dialog.entryCount(IDC_KERNEL_FLAGS), 61);
    EXPECT_EQ(dialog.entryCount(IDC_STACKWALK), 127);
    EXPECT_EQ(dialog.entries(IDC_PROVIDERS), std::vector<std::wstring>{L"Only-Provider"});
    expectFileModesWithSequentialChosen(dialog);
}

TEST(DialogOpenSequence, LeavesTheProvidersEmptyWhenTheEnumerationFails) {
    FixedEnvironment clock;
    TraceSettings settings;
    TestDialog dialog;
    reportProviderFailure(ERROR_ACCESS_DENIED);

    applyOpeningDefaults(settings, clock.environment());
    runDialogOpenSequence(dialog.window(), settings);

    EXPECT_EQ(dialog.entryCount(IDC_PROVIDERS), 0);
    EXPECT_EQ(dialog.entryCount(IDC_KERNEL_FLAGS), 61);
    expectDefaultTexts(dialog, L"D:\\traces\\20240105_093000.etl");
}

TEST_F(Reset, WithHeapCheckedKeepsTheBoxAndTheEditsEnabledButRestoresTheirTexts) {
    checkHeap(dialog, settings);
    changeEverything(dialog);
    ASSERT_TRUE(exchangeFromControls(dialog.window(), settings));
    ASSERT_EQ(settings.logStack, 1);
    clock.time.second = 1;

    resetSettings(dialog.window(), settings, clock.environment());

    EXPECT_EQ(dialog.checkState(IDC_HEAP), BST_CHECKED);
    EXPECT_EQ(settings.heapEnabled, 1);
    for (const int id : {IDC_HEAP_PROCESS, IDC_HEAP_SESSION_NAME, IDC_HEAP_PATH}) {
        EXPECT_TRUE(dialog.isEnabled(id)) << "control " << id;
    }
    expectDefaultTexts(dialog, L"D:\\traces\\20240105_093001.etl");
    EXPECT_EQ(dialog.checkState(IDC_LOG_STACK), BST_UNCHECKED);
    EXPECT_EQ(settings.logStack, 0);
}

TEST_F(Reset, WithHeapClearKeepsTheBoxClearAndTheEditsDisabled) {
    changeEverything(dialog);

    resetSettings(dialog.window(), settings, clock.environment());

    EXPECT_EQ(dialog.checkState(IDC_HEAP), BST_UNCHECKED);
    for (const int id : {IDC_HEAP_PROCESS, IDC_HEAP_SESSION_NAME, IDC_HEAP_PATH}) {
        EXPECT_FALSE(dialog.isEnabled(id)) << "control " << id;
    }
    expectDefaultTexts(dialog, L"D:\\traces\\20240105_093000.etl");
    EXPECT_EQ(dialog.checkState(IDC_LOG_STACK), BST_UNCHECKED);
}

TEST_F(Reset, RefillsTheListsWithoutSelectionsAndKeepsTheFourFileModes) {
    changeEverything(dialog);

    resetSettings(dialog.window(), settings, clock.environment());

    EXPECT_EQ(dialog.entries(IDC_KERNEL_FLAGS), namesOf(KernelFlagCatalogue));
    EXPECT_EQ(dialog.entries(IDC_STACKWALK), namesOf(StackwalkCatalogue));
    expectFileModesWithSequentialChosen(dialog);
    expectNothingSelected(dialog);
}

TEST_F(Reset, EnumeratesTheProvidersAfresh) {
    dialog.select(IDC_PROVIDERS, L"Microsoft-Windows-Shell-Core");
    reportProviders({L"Zeta", L"Microsoft-Windows-Shell-Core", L"Alpha"});

    resetSettings(dialog.window(), settings, clock.environment());

    const std::vector<std::wstring> expected{L"Alpha", L"Microsoft-Windows-Shell-Core", L"Zeta"};
    EXPECT_EQ(dialog.entries(IDC_PROVIDERS), expected);
    EXPECT_EQ(dialog.selectedCount(IDC_PROVIDERS), 0);

    reportProviderFailure(ERROR_ACCESS_DENIED);
    resetSettings(dialog.window(), settings, clock.environment());
    EXPECT_EQ(dialog.entryCount(IDC_PROVIDERS), 0) << "emptied even when enumeration fails";
}

TEST_F(Reset, KeepsTheLastEtlOutPathWithoutADesktopFolder) {
    dialog.setText(IDC_ETL_OUT_PATH, L"E:\\typed-not-confirmed.etl");
    clock.folder.reset();
    clock.time.minute = 45;

    resetSettings(dialog.window(), settings, clock.environment());

    EXPECT_EQ(dialog.text(IDC_ETL_OUT_PATH), L"D:\\traces\\20240105_093000.etl");
}

TEST_F(Reset, RefillsTheListsEvenWhenAControlRefusesItsValue) {
    changeEverything(dialog);
    reportProviders({L"After-Reset"});
    const MisbehavingEdit refusing(dialog.control(IDC_SESSION_NAME),
                                   MisbehavingEdit::Fault::RefuseText);

    resetSettings(dialog.window(), settings, clock.environment());

    EXPECT_EQ(dialog.focusedControlId(), IDC_SESSION_NAME);
    EXPECT_EQ(dialog.checkState(IDC_LOG_STACK), BST_CHECKED) << "later steps were skipped";
    expectNothingSelected(dialog);
    EXPECT_EQ(dialog.entryCount(IDC_KERNEL_FLAGS), 61);
    EXPECT_EQ(dialog.entries(IDC_PROVIDERS), std::vector<std::wstring>{L"After-Reset"});
    EXPECT_EQ(dialog.fileModeSelection(), 0);
}

} // namespace
} // namespace corvane::testing
