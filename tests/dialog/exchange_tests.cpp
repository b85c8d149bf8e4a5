// The exchange of the held settings with the main dialog's controls, in both directions, and
// the validation of what the user typed.
#include "tests/dialog/dialog_host.h"

#include "res/resource.h"
#include "settings/exchange_win.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace corvane::testing {
namespace {

using ExchangeToControls = OpenedDialogTest;
using ExchangeFromControls = OpenedDialogTest;
using SignalFieldError = OpenedDialogTest;

TEST_F(ExchangeToControls, WritesEveryHeldFieldIntoItsOwnControl) {
    // Four different numbers, so a swapped Max/Min Buffers binding shows.
    settings.maxFileSizeMb = 0;
    settings.bufferSizeKb = 1024;
    settings.maxBuffers = 4294967295u;
    settings.minBuffers = 7;
    settings.kernelPath = L"k";
    settings.userPath = L"u";
    settings.etlOutPath = L"e";
    settings.sessionName = L"s";
    settings.heapProcess = L"p";
    settings.heapSessionName = L"hs";
    settings.heapPath = L"hp";
    settings.logStack = 1;
    settings.heapEnabled = 1;

    ASSERT_TRUE(exchangeToControls(dialog.window(), settings));

    const std::vector<std::pair<int, std::wstring>> expected{
        {IDC_MAX_FILE_SIZE, L"0"},        {IDC_BUFFER_SIZE, L"1024"},
        {IDC_MAX_BUFFERS, L"4294967295"}, {IDC_MIN_BUFFERS, L"7"},
        {IDC_KERNEL_PATH, L"k"},          {IDC_USER_PATH, L"u"},
        {IDC_ETL_OUT_PATH, L"e"},         {IDC_SESSION_NAME, L"s"},
        {IDC_HEAP_PROCESS, L"p"},         {IDC_HEAP_SESSION_NAME, L"hs"},
        {IDC_HEAP_PATH, L"hp"},
    };
    for (const auto& [id, text] : expected) {
        EXPECT_EQ(dialog.text(id), text) << "control " << id;
    }
    EXPECT_EQ(dialog.checkState(IDC_LOG_STACK), BST_CHECKED);
    EXPECT_EQ(dialog.checkState(IDC_HEAP), BST_CHECKED);
}

TEST_F(ExchangeToControls, ClearsCheckStatesOutsideZeroToTwoInTheRecordToo) {
    dialog.setCheck(IDC_LOG_STACK, BST_CHECKED);
    dialog.setCheck(IDC_HEAP, BST_CHECKED);
    settings.logStack = 7;
    settings.heapEnabled = -1;

    ASSERT_TRUE(exchangeToControls(dialog.window(), settings));

    EXPECT_EQ(settings.logStack, 0);
    EXPECT_EQ(settings.heapEnabled, 0);
    EXPECT_EQ(dialog.checkState(IDC_LOG_STACK), BST_UNCHECKED);
    EXPECT_EQ(dialog.checkState(IDC_HEAP), BST_UNCHECKED);

    settings.logStack = BST_INDETERMINATE;
    ASSERT_TRUE(exchangeToControls(dialog.window(), settings));
    EXPECT_EQ(settings.logStack, BST_INDETERMINATE) << "2 is a valid state and stays";
}

TEST_F(ExchangeToControls, StopsAtTheControlThatRefusesItsTextAndFocusesIt) {
    const MisbehavingEdit refusing(dialog.control(IDC_ETL_OUT_PATH),
                                   MisbehavingEdit::Fault::RefuseText);
    dialog.focus(IDOK);
    settings.kernelPath = L"written before";
    settings.sessionName = L"never written";
    settings.logStack = 1;

    EXPECT_FALSE(exchangeToControls(dialog.window(), settings));

    EXPECT_EQ(dialog.focusedControlId(), IDC_ETL_OUT_PATH);
    EXPECT_EQ(dialog.text(IDC_KERNEL_PATH), L"written before");
    EXPECT_EQ(dialog.text(IDC_SESSION_NAME), L"Vell") << "steps after the refusal are skipped";
    EXPECT_EQ(dialog.checkState(IDC_LOG_STACK), BST_UNCHECKED) << "check boxes are skipped too";
}

TEST_F(ExchangeFromControls, ReadsEveryControlIntoItsOwnField) {
    const std::vector<std::pair<int, std::wstring>> typed{
        {IDC_MAX_FILE_SIZE, L"0"},      {IDC_BUFFER_SIZE, L"4"},          {IDC_MAX_BUFFERS, L"320"},
        {IDC_MIN_BUFFERS, L"0064"},     {IDC_KERNEL_PATH, L" "},          {IDC_USER_PATH, L" u "},
        {IDC_ETL_OUT_PATH, L"e"},       {IDC_SESSION_NAME, L"two words"}, {IDC_HEAP_PROCESS, L"p"},
        {IDC_HEAP_SESSION_NAME, L"hs"}, {IDC_HEAP_PATH, L"hp"},
    };
    for (const auto& [id, text] : typed) {
        dialog.setText(id, text);
    }
    dialog.setCheck(IDC_LOG_STACK, BST_CHECKED);

    ASSERT_TRUE(exchangeFromControls(dialog.window(), settings));

    EXPECT_EQ(settings.maxFileSizeMb, 0u);
    EXPECT_EQ(settings.bufferSizeKb, 4u);
    EXPECT_EQ(settings.maxBuffers, 320u);
    EXPECT_EQ(settings.minBuffers, 64u) << "leading zeros are read as decimal";
    EXPECT_EQ(settings.kernelPath, L" ") << "a blank is not an empty text";
    EXPECT_EQ(settings.userPath, L" u ") << "nothing is trimmed";
    EXPECT_EQ(settings.etlOutPath, L"e");
    EXPECT_EQ(settings.sessionName, L"two words");
    EXPECT_EQ(settings.heapProcess, L"p");
    EXPECT_EQ(settings.heapSessionName, L"hs");
    EXPECT_EQ(settings.heapPath, L"hp");
    EXPECT_EQ(settings.logStack, 1);
    EXPECT_EQ(settings.heapEnabled, 0);
}

struct AcceptedNumbers {
    const char* name;
    std::vector<std::pair<int, std::wstring>> typed;
};

class ExchangeAcceptsNumbers : public OpenedDialogTest,
                               public ::testing::WithParamInterface<AcceptedNumbers> {};

TEST_P(ExchangeAcceptsNumbers, AndHoldsThemUnchanged) {
    for (const auto& [id, text] : GetParam().typed) {
        dialog.setText(id, text);
    }
    ASSERT_TRUE(exchangeFromControls(dialog.window(), settings));
    // Clear the controls, then write the record back: the same digits must return.
    for (const auto& [id, text] : GetParam().typed) {
        dialog.setText(id, L"");
    }
    ASSERT_TRUE(exchangeToControls(dialog.window(), settings));
    for (const auto& [id, text] : GetParam().typed) {
        EXPECT_EQ(dialog.text(id), text) << "control " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ExchangeAcceptsNumbers,
    ::testing::Values(AcceptedNumbers{"BufferSizeFour", {{IDC_BUFFER_SIZE, L"4"}}},
                      AcceptedNumbers{"BufferSize1024", {{IDC_BUFFER_SIZE, L"1024"}}},
                      AcceptedNumbers{"MaxFileSizeZero", {{IDC_MAX_FILE_SIZE, L"0"}}},
                      AcceptedNumbers{"MinAboveMax",
                                      {{IDC_MIN_BUFFERS, L"500"}, {IDC_MAX_BUFFERS, L"320"}}},
                      AcceptedNumbers{"LargestUnsigned",
                                      {{IDC_MAX_FILE_SIZE, L"4294967295"},
                                       {IDC_MAX_BUFFERS, L"4294967295"},
                                       {IDC_MIN_BUFFERS, L"4294967295"}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct RefusedInput {
    const char* name;
    std::vector<std::pair<int, std::wstring>> typed;
    int focusedId;
};

class ExchangeRefuses : public OpenedDialogTest,
                        public ::testing::WithParamInterface<RefusedInput> {};

TEST_P(ExchangeRefuses, AndFocusesTheFirstOffendingControl) {
    // As when Heap is checked, so the focus can reach the heap edits.
    dialog.enableHeapEdits(true);
    for (const auto& [id, text] : GetParam().typed) {
        dialog.setText(id, text);
    }
    dialog.focus(IDOK);

    EXPECT_FALSE(exchangeFromControls(dialog.window(), settings));
    EXPECT_EQ(dialog.focusedControlId(), GetParam().focusedId);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ExchangeRefuses,
    ::testing::Values(
        RefusedInput{"EmptyMaxFileSize", {{IDC_MAX_FILE_SIZE, L""}}, IDC_MAX_FILE_SIZE},
        RefusedInput{"MaxFileSizeNotANumber", {{IDC_MAX_FILE_SIZE, L"x1"}}, IDC_MAX_FILE_SIZE},
        RefusedInput{
            "MaxFileSizeAbove32Bits", {{IDC_MAX_FILE_SIZE, L"4294967296"}}, IDC_MAX_FILE_SIZE},
        RefusedInput{"BufferSizeThree", {{IDC_BUFFER_SIZE, L"3"}}, IDC_BUFFER_SIZE},
        RefusedInput{"BufferSize1025", {{IDC_BUFFER_SIZE, L"1025"}}, IDC_BUFFER_SIZE},
        RefusedInput{"EmptyMaxBuffers", {{IDC_MAX_BUFFERS, L""}}, IDC_MAX_BUFFERS},
        RefusedInput{"EmptyMinBuffers", {{IDC_MIN_BUFFERS, L""}}, IDC_MIN_BUFFERS},
        RefusedInput{"MaxBuffersBeforeMinBuffers",
                     {{IDC_MIN_BUFFERS, L""}, {IDC_MAX_BUFFERS, L""}},
                     IDC_MAX_BUFFERS},
        RefusedInput{"EmptyKernelPath", {{IDC_KERNEL_PATH, L""}}, IDC_KERNEL_PATH},
        RefusedInput{"EmptyUserPath", {{IDC_USER_PATH, L""}}, IDC_USER_PATH},
        RefusedInput{"EmptyEtlOutPath", {{IDC_ETL_OUT_PATH, L""}}, IDC_ETL_OUT_PATH},
        RefusedInput{"EmptySessionName", {{IDC_SESSION_NAME, L""}}, IDC_SESSION_NAME},
        RefusedInput{"EmptyHeapProcess", {{IDC_HEAP_PROCESS, L""}}, IDC_HEAP_PROCESS},
        RefusedInput{"EmptyHeapSessionName", {{IDC_HEAP_SESSION_NAME, L""}}, IDC_HEAP_SESSION_NAME},
        RefusedInput{"EmptyHeapPath", {{IDC_HEAP_PATH, L""}}, IDC_HEAP_PATH},
        RefusedInput{"KernelPathBeforeUserPath",
                     {{IDC_USER_PATH, L""}, {IDC_KERNEL_PATH, L""}},
                     IDC_KERNEL_PATH},
        // ETL Out Path stands before Kernel Path on screen but is checked after it.
        RefusedInput{"KernelPathBeforeEtlOutPath",
                     {{IDC_ETL_OUT_PATH, L""}, {IDC_KERNEL_PATH, L""}},
                     IDC_KERNEL_PATH},
        RefusedInput{"SessionNameBeforeHeapFields",
                     {{IDC_HEAP_PATH, L""}, {IDC_HEAP_PROCESS, L""}, {IDC_SESSION_NAME, L""}},
                     IDC_SESSION_NAME},
        // The numbers are read before any text is checked for emptiness.
        RefusedInput{"NumberBeforeEmptyText",
                     {{IDC_KERNEL_PATH, L""}, {IDC_MIN_BUFFERS, L""}},
                     IDC_MIN_BUFFERS}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(ExchangeFromControls, KeepsWhatItReadBeforeTheFailureAndLeavesTheRest) {
    dialog.setText(IDC_MAX_FILE_SIZE, L"77");
    dialog.setText(IDC_BUFFER_SIZE, L"3");
    dialog.setText(IDC_MAX_BUFFERS, L"999");
    dialog.setText(IDC_KERNEL_PATH, L"\\typed.etl");

    EXPECT_FALSE(exchangeFromControls(dialog.window(), settings));

    EXPECT_EQ(settings.maxFileSizeMb, 77u);
    EXPECT_EQ(settings.bufferSizeKb, 3u) << "the out-of-range value stays in the field";
    EXPECT_EQ(settings.maxBuffers, 320u) << "not read after the failure";
    EXPECT_EQ(settings.kernelPath, L"\\kernel.etl");
}

TEST_F(ExchangeFromControls, StoresZeroWhenANumberCannotBeConverted) {
    dialog.setText(IDC_MAX_BUFFERS, L"");

    EXPECT_FALSE(exchangeFromControls(dialog.window(), settings));

    EXPECT_EQ(settings.maxBuffers, 0u);
    EXPECT_EQ(settings.minBuffers, 64u);
}

TEST_F(ExchangeFromControls, RefusesATextThatComesBackShorterThanAnnounced) {
    const MisbehavingEdit shortRead(dialog.control(IDC_USER_PATH),
                                    MisbehavingEdit::Fault::ShortRead);
    dialog.focus(IDOK);

    EXPECT_FALSE(exchangeFromControls(dialog.window(), settings));

    EXPECT_EQ(dialog.focusedControlId(), IDC_USER_PATH);
    EXPECT_EQ(settings.kernelPath, L"\\kernel.etl");
}

TEST_F(ExchangeFromControls, RequiresTheHeapFieldsEvenWithHeapClear) {
    dialog.setText(IDC_HEAP_PATH, L"");
    ASSERT_FALSE(dialog.isEnabled(IDC_HEAP_PATH));
    ASSERT_EQ(dialog.checkState(IDC_HEAP), BST_UNCHECKED);

    EXPECT_FALSE(exchangeFromControls(dialog.window(), settings));
    EXPECT_EQ(settings.heapEnabled, 0);
}

TEST_F(SignalFieldError, MovesTheFocusWithoutChangingOrSelectingTheText) {
    dialog.setText(IDC_KERNEL_PATH, L"\\kernel.etl");
    SendMessageW(dialog.control(IDC_KERNEL_PATH), EM_SETSEL, 3, 3);
    dialog.focus(IDOK);

    signalFieldError(dialog.window(), IDC_KERNEL_PATH);

    EXPECT_EQ(dialog.focusedControlId(), IDC_KERNEL_PATH);
    EXPECT_EQ(dialog.text(IDC_KERNEL_PATH), L"\\kernel.etl");
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(dialog.control(IDC_KERNEL_PATH), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(end, 3u);
}

} // namespace
} // namespace corvane::testing
