// Enumeration against the test Tdh.dll that stands in for the system's.
#include "providers/provider_buffer.h"
#include "providers/provider_enumeration.h"
#include "tests/providers/tdh_fixture_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

using tdh_fixture::CallRecord;
using Names = std::vector<std::wstring>;

class ProviderEnumeration : public ::testing::Test {
protected:
    void givenScript(std::string_view utf8Text) { ASSERT_TRUE(script_.write(utf8Text)); }

    // Enumerates and keeps the calls that this enumeration made.
    std::uint32_t enumerate(ProviderBuffer& buffer) {
        const std::size_t before = tdh_fixture::recordedCalls().size();
        const std::uint32_t status = enumerateProviders(buffer);
        const std::vector<CallRecord> all = tdh_fixture::recordedCalls();
        calls_.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        return status;
    }

    static Names namesIn(const ProviderBuffer& buffer) {
        return providerNamesFromBuffer(buffer.data(), buffer.size());
    }

    const std::vector<CallRecord>& calls() const { return calls_; }

private:
    tdh_fixture::ScriptFile script_;
    std::vector<CallRecord> calls_;
};

TEST_F(ProviderEnumeration, UsesTheLibraryOfTheSystemFolder) {
    givenScript("provider Alpha\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);

    const HMODULE library = GetModuleHandleW(L"Tdh.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(tdh_fixture::moduleDirectory(library), tdh_fixture::systemDirectory());
    EXPECT_FALSE(isWineBuiltinModule(library));
}

TEST_F(ProviderEnumeration, TakesTwoCallsAndOneAllocationOfExactlyTheReportedSize) {
    givenScript("provider Microsoft-Windows-Kernel-Process\n"
                "provider ACPI Driver Trace Provider\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);
    EXPECT_EQ(namesIn(buffer),
              (Names{L"Microsoft-Windows-Kernel-Process", L"ACPI Driver Trace Provider"}));

    ASSERT_EQ(calls().size(), 2u);
    EXPECT_FALSE(calls()[0].bufferGiven);
    EXPECT_EQ(calls()[0].sizeIn, 0u);
    EXPECT_EQ(calls()[0].status, static_cast<ULONG>(ERROR_INSUFFICIENT_BUFFER));
    const ULONG reported = calls()[0].sizeOut;
    EXPECT_TRUE(calls()[1].bufferGiven);
    EXPECT_EQ(calls()[1].sizeIn, reported);
    EXPECT_EQ(calls()[1].heapBlockSize, reported); // a process-heap block of exactly that size
    EXPECT_EQ(calls()[1].status, static_cast<ULONG>(ERROR_SUCCESS));
    EXPECT_EQ(buffer.size(), reported);
}

TEST_F(ProviderEnumeration, ReadsThousandsOfProviders) {
    givenScript("providers 5000 Microsoft-Windows-Test-\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);
    const Names names = namesIn(buffer);
    ASSERT_EQ(names.size(), 5000u);
    EXPECT_EQ(names.front(), L"Microsoft-Windows-Test-00000");
    EXPECT_EQ(names[1234], L"Microsoft-Windows-Test-01234");
    EXPECT_EQ(names.back(), L"Microsoft-Windows-Test-04999");
    EXPECT_EQ(calls().size(), 2u);
}

TEST_F(ProviderEnumeration, KeepsDuplicatesAndSkipsZeroOffsets) {
    givenScript("provider Alpha\nzero-offset\nprovider Alpha\nprovider Beta\nzero-offset\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);
    EXPECT_EQ(namesIn(buffer), (Names{L"Alpha", L"Alpha", L"Beta"}));
}

TEST_F(ProviderEnumeration, SkipsNamesOutsideTheReportedBuffer) {
    givenScript("provider Alpha\n"
                "offset end\n"
                "offset past-end\n"
                "offset 0xFFFFFFFF\n"
                "provider Beta\n"
                "offset 0x7FFFFFFF\n"
                "unterminated Gamma-Without-Terminator\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);
    EXPECT_EQ(namesIn(buffer), (Names{L"Alpha", L"Beta"}));
}

TEST_F(ProviderEnumeration, CountLargerThanTheBufferReadsOnlyWholeElements) {
    // The two names need 16 bytes, less than one more element: nothing past the two can be read.
    givenScript("provider Alpha\nprovider B\nextra-count 1000\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);
    EXPECT_EQ(namesIn(buffer), (Names{L"Alpha", L"B"}));

    givenScript("provider Alpha\nprovider B\nextra-count 0xFFFFFFF0\n");
    ASSERT_EQ(enumerate(buffer), 0u);
    EXPECT_EQ(namesIn(buffer), (Names{L"Alpha", L"B"}));
}

TEST_F(ProviderEnumeration, GrowsToEachNewSizeWhileProvidersAreBeingRegistered) {
    givenScript("provider Alpha\nbusy 3\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);
    EXPECT_EQ(namesIn(buffer),
              (Names{L"Alpha", L"Late-Registered-1", L"Late-Registered-2", L"Late-Registered-3"}));

    ASSERT_EQ(calls().size(), 5u);
    for (std::size_t index = 1; index < calls().size(); ++index) {
        SCOPED_TRACE("call " + std::to_string(index + 1));
        EXPECT_TRUE(calls()[index].bufferGiven);
        EXPECT_EQ(calls()[index].sizeIn, calls()[index - 1].sizeOut);
        EXPECT_EQ(calls()[index].heapBlockSize, calls()[index].sizeIn);
        EXPECT_EQ(calls()[index].status, index < 4 ? static_cast<ULONG>(ERROR_INSUFFICIENT_BUFFER)
                                                   : static_cast<ULONG>(ERROR_SUCCESS));
    }
    EXPECT_LT(calls()[1].sizeIn, calls()[2].sizeIn);
}

TEST_F(ProviderEnumeration, ReadsOnlyTheBytesReportedAsUsed) {
    // The 122 answer asks for 64 bytes more than success then reports as filled.
    givenScript("provider Alpha\nslack 64\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);
    ASSERT_EQ(calls().size(), 2u);
    EXPECT_EQ(buffer.capacity(), calls()[0].sizeOut);
    EXPECT_EQ(buffer.size(), calls()[1].sizeOut);
    EXPECT_EQ(buffer.size() + 64, buffer.capacity());
    EXPECT_EQ(namesIn(buffer), (Names{L"Alpha"}));
}

TEST_F(ProviderEnumeration, ReturnsTheLibrarysFailureAndNoBuffer) {
    givenScript("provider Alpha\nfail 1168\n"); // after the buffer was allocated
    ProviderBuffer buffer;
    EXPECT_EQ(enumerate(buffer), 1168u);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(calls().size(), 2u);

    givenScript("provider Alpha\nfail 87 1\n"); // on the first call
    EXPECT_EQ(enumerate(buffer), 87u);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(calls().size(), 1u);
}

TEST_F(ProviderEnumeration, SuccessWithoutABufferGivesNoNames) {
    givenScript("provider Alpha\nsucceed-without-buffer\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);
    EXPECT_TRUE(buffer.empty());
    EXPECT_TRUE(namesIn(buffer).empty());
    EXPECT_EQ(calls().size(), 1u);
}

TEST_F(ProviderEnumeration, SizeThatCannotBeAllocatedIsOutOfMemory) {
    ProviderBuffer buffer;
    // 0xFFFFFFFF cannot be a block; 0x7FFFFFFF is one the heap of a 32-bit process refuses.
    for (const char* size : {"0xFFFFFFFF", "0x7FFFFFFF"}) {
        SCOPED_TRACE(size);
        givenScript(std::string("provider Alpha\nneed-size ") + size + "\n");
        EXPECT_EQ(enumerate(buffer), static_cast<std::uint32_t>(ERROR_OUTOFMEMORY));
        EXPECT_TRUE(buffer.empty());
        EXPECT_EQ(calls().size(), 1u); // never called with a buffer
    }

    // Growing a block that was already allocated fails just the same.
    givenScript("provider Alpha\nneed-size 0xFFFFFFF0 2\n");
    EXPECT_EQ(enumerate(buffer), static_cast<std::uint32_t>(ERROR_OUTOFMEMORY));
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(calls().size(), 2u);
}

TEST_F(ProviderEnumeration, EachEnumerationSeesTheProvidersRegisteredNow) {
    givenScript("provider Alpha\nprovider Beta\n");
    ProviderBuffer buffer;
    ASSERT_EQ(enumerate(buffer), 0u);
    EXPECT_EQ(namesIn(buffer), (Names{L"Alpha", L"Beta"}));

    givenScript("provider Alpha\nprovider Beta\nprovider Gamma\n");
    ASSERT_EQ(enumerate(buffer), 0u); // the old result is replaced
    EXPECT_EQ(namesIn(buffer), (Names{L"Alpha", L"Beta", L"Gamma"}));

    givenScript("provider Gamma\n");
    ASSERT_EQ(enumerate(buffer), 0u);
    EXPECT_EQ(namesIn(buffer), (Names{L"Gamma"}));
}

TEST(ProviderBufferOwnership, MovesItsBlockAndKeepsItWhenGrowingFails) {
    ProviderBuffer first;
    ASSERT_TRUE(first.resize(32));
    unsigned char* const block = first.data();
    first.setFilledSize(100); // never more than the block holds
    EXPECT_EQ(first.size(), 32u);
    first.setFilledSize(20);

    EXPECT_FALSE(first.resize(0xFFFFFFFF));
    EXPECT_EQ(first.data(), block);
    EXPECT_EQ(first.capacity(), 32u);

    ProviderBuffer second = std::move(first);
    EXPECT_TRUE(first.empty()); // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_EQ(second.data(), block);
    EXPECT_EQ(second.size(), 20u);

    ProviderBuffer third;
    ASSERT_TRUE(third.resize(8));
    third = std::move(second);
    EXPECT_EQ(third.data(), block);
    EXPECT_EQ(third.capacity(), 32u);

    third.reset();
    EXPECT_TRUE(third.empty());
    EXPECT_EQ(third.size(), 0u);
}

} // namespace
} // namespace corvane
