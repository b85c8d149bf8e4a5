// OK with a bad value in a field: the focus lands on the first offending control, the main dialog
// says "Please input valid data." and nothing is built or saved.
#include "tests/dialog/main_dialog_driver.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace corvane::testing {
namespace {

using Typed = std::vector<std::pair<int, std::wstring>>;

struct InvalidInput {
    const char* name;
    Typed typed;
    int focusedId;
    bool heapChecked = false; // the platform gives no focus to the disabled heap edits
};

class InvalidData : public MainDialogTest, public ::testing::WithParamInterface<InvalidInput> {};

TEST_P(InvalidData, FocusesTheFirstOffendingControlAndSaysSo) {
    session.select(IDC_KERNEL_FLAGS, L"PROC_THREAD"); // something to trace, so only the data fails
    if (GetParam().heapChecked) {
        session.click(IDC_HEAP);
    }
    for (const auto& [id, text] : GetParam().typed) {
        session.type(id, text);
    }

    EXPECT_TRUE(pressOkSavingAs(L"refused.cmd").empty());

    expectOnlyMessage(L"Please input valid data.");
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages[0].focusedId, GetParam().focusedId) << "focus moved before the message";
    EXPECT_EQ(session.focusedId(), GetParam().focusedId);
    for (const auto& [id, text] : GetParam().typed) {
        EXPECT_EQ(session.text(id), text) << "control " << id << " keeps what was typed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, InvalidData,
    ::testing::Values(
        InvalidInput{"EmptyMaxFileSize", {{IDC_MAX_FILE_SIZE, L""}}, IDC_MAX_FILE_SIZE},
        InvalidInput{"MaxFileSizeNotANumber", {{IDC_MAX_FILE_SIZE, L"x1"}}, IDC_MAX_FILE_SIZE},
        InvalidInput{
            "MaxFileSizeAbove32Bits", {{IDC_MAX_FILE_SIZE, L"4294967296"}}, IDC_MAX_FILE_SIZE},
        InvalidInput{"EmptyBufferSize", {{IDC_BUFFER_SIZE, L""}}, IDC_BUFFER_SIZE},
        InvalidInput{"BufferSizeThree", {{IDC_BUFFER_SIZE, L"3"}}, IDC_BUFFER_SIZE},
        InvalidInput{"BufferSize1025", {{IDC_BUFFER_SIZE, L"1025"}}, IDC_BUFFER_SIZE},
        InvalidInput{"EmptyMaxBuffers", {{IDC_MAX_BUFFERS, L""}}, IDC_MAX_BUFFERS},
        InvalidInput{"EmptyMinBuffers", {{IDC_MIN_BUFFERS, L""}}, IDC_MIN_BUFFERS},
        InvalidInput{"EmptyKernelPath", {{IDC_KERNEL_PATH, L""}}, IDC_KERNEL_PATH},
        InvalidInput{"EmptyUserPath", {{IDC_USER_PATH, L""}}, IDC_USER_PATH},
        InvalidInput{"EmptyEtlOutPath", {{IDC_ETL_OUT_PATH, L""}}, IDC_ETL_OUT_PATH},
        InvalidInput{"EmptySessionName", {{IDC_SESSION_NAME, L""}}, IDC_SESSION_NAME},
        InvalidInput{"EmptyHeapProcess", {{IDC_HEAP_PROCESS, L""}}, IDC_HEAP_PROCESS, true},
        InvalidInput{
            "EmptyHeapSessionName", {{IDC_HEAP_SESSION_NAME, L""}}, IDC_HEAP_SESSION_NAME, true},
        InvalidInput{"EmptyHeapPath", {{IDC_HEAP_PATH, L""}}, IDC_HEAP_PATH, true},
        // Max Buffers stands above Min Buffers but after it in the tab order; it is read first.
        InvalidInput{"MaxBuffersBeforeMinBuffers",
                     {{IDC_MIN_BUFFERS, L""}, {IDC_MAX_BUFFERS, L""}},
                     IDC_MAX_BUFFERS},
        InvalidInput{"KernelPathBeforeUserPath",
                     {{IDC_USER_PATH, L""}, {IDC_KERNEL_PATH, L""}},
                     IDC_KERNEL_PATH},
        // ETL Out Path comes before Kernel Path in the tab order but is checked after it.
        InvalidInput{"KernelPathBeforeEtlOutPath",
                     {{IDC_ETL_OUT_PATH, L""}, {IDC_KERNEL_PATH, L""}},
                     IDC_KERNEL_PATH},
        InvalidInput{"SessionNameBeforeHeapFields",
                     {{IDC_HEAP_PATH, L""}, {IDC_HEAP_PROCESS, L""}, {IDC_SESSION_NAME, L""}},
                     IDC_SESSION_NAME},
        // Every number is read before any text is checked for emptiness.
        InvalidInput{"NumberBeforeEmptyText",
                     {{IDC_KERNEL_PATH, L""}, {IDC_MIN_BUFFERS, L""}},
                     IDC_MIN_BUFFERS}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

using Validation = MainDialogTest;

// The heap fields are required while Heap is clear. The focus cannot show which one is empty
// then: the platform refuses the focus to a disabled control, so only the message tells.
TEST_F(Validation, RequiresAHeapFieldEmptiedWhileHeapWasChecked) {
    session.select(IDC_KERNEL_FLAGS, L"PROC_THREAD");
    session.click(IDC_HEAP);
    session.type(IDC_HEAP_PATH, L"");
    session.click(IDC_HEAP);
    ASSERT_FALSE(session.isEnabled(IDC_HEAP_PATH));

    EXPECT_TRUE(pressOkSavingAs(L"refused.cmd").empty());

    expectOnlyMessage(L"Please input valid data.");
    EXPECT_EQ(session.settings().heapEnabled, 0);
    EXPECT_EQ(session.settings().heapPath, L"") << "read as typed before the final check";
}

TEST_F(Validation, LeavesTheOffendingTextAndItsCaretAlone) {
    session.type(IDC_BUFFER_SIZE, L"1025");
    SendMessageW(session.control(IDC_BUFFER_SIZE), EM_SETSEL, 2, 2);

    session.click(IDOK);

    ASSERT_EQ(session.focusedId(), IDC_BUFFER_SIZE);
    EXPECT_EQ(session.text(IDC_BUFFER_SIZE), L"1025");
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(session.control(IDC_BUFFER_SIZE), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 2u) << "nothing is selected for the user";
    EXPECT_EQ(end, 2u);
}

TEST_F(Validation, KeepsWhatWasReadBeforeTheFailureAndNothingAfterIt) {
    session.type(IDC_MAX_FILE_SIZE, L"77");
    session.type(IDC_BUFFER_SIZE, L"3");
    session.type(IDC_MAX_BUFFERS, L"999");
    session.type(IDC_KERNEL_PATH, L"\\typed.etl");

    session.click(IDOK);

    expectOnlyMessage(L"Please input valid data.");
    EXPECT_EQ(session.settings().maxFileSizeMb, 77u);
    EXPECT_EQ(session.settings().bufferSizeKb, 3u) << "the out-of-range value stays in the field";
    EXPECT_EQ(session.settings().maxBuffers, 320u) << "not read after the failure";
    EXPECT_EQ(session.settings().kernelPath, L"\\kernel.etl");
}

TEST_F(Validation, StoresZeroForANumberThatCannotBeConverted) {
    session.type(IDC_MAX_BUFFERS, L"");

    session.click(IDOK);

    expectOnlyMessage(L"Please input valid data.");
    EXPECT_EQ(session.settings().maxBuffers, 0u);
    EXPECT_EQ(session.settings().minBuffers, 64u);
}

TEST_F(Validation, RefusesATextThatComesBackShorterThanAnnounced) {
    const MisbehavingEdit shortRead(session.control(IDC_USER_PATH),
                                    MisbehavingEdit::Fault::ShortRead);
    session.select(IDC_KERNEL_FLAGS, L"PROC_THREAD");

    EXPECT_TRUE(pressOkSavingAs(L"refused.cmd").empty());

    expectOnlyMessage(L"Please input valid data.");
    EXPECT_EQ(session.focusedId(), IDC_USER_PATH);
}

TEST_F(Validation, ReadsEveryControlIntoItsOwnFieldAsTyped) {
    const Typed typed{
        {IDC_MAX_FILE_SIZE, L"1"},      {IDC_BUFFER_SIZE, L"4"},          {IDC_MAX_BUFFERS, L"3"},
        {IDC_MIN_BUFFERS, L"2"},        {IDC_KERNEL_PATH, L" "},          {IDC_USER_PATH, L" u "},
        {IDC_ETL_OUT_PATH, L"e"},       {IDC_SESSION_NAME, L"two words"}, {IDC_HEAP_PROCESS, L"p"},
        {IDC_HEAP_SESSION_NAME, L"hs"}, {IDC_HEAP_PATH, L"hp"},
    };
    for (const auto& [id, text] : typed) {
        session.type(id, text);
    }
    session.click(IDC_LOG_STACK);

    session.click(IDOK); // nothing selected: the values are read, then the command stops

    expectOnlyMessage(L"Please input parameters.");
    const TraceSettings& settings = session.settings();
    EXPECT_EQ(settings.maxFileSizeMb, 1u);
    EXPECT_EQ(settings.bufferSizeKb, 4u);
    EXPECT_EQ(settings.maxBuffers, 3u);
    EXPECT_EQ(settings.minBuffers, 2u);
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

} // namespace
} // namespace corvane::testing
