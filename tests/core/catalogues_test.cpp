#include "settings/catalogues.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>

namespace corvane {
namespace {

wchar_t asciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
}

std::wstring asciiLower(std::wstring text) {
    for (wchar_t& c : text) {
        c = asciiLower(c);
    }
    return text;
}

bool isAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The names exactly as the lists show them, written out here so that a misspelt or misplaced
// catalogue entry fails.
const wchar_t* const kExpectedKernelNames[] = {
    // flags
    L"PROC_THREAD",
    L"LOADER",
    L"PROFILE",
    L"CSWITCH",
    L"COMPACT_CSWITCH",
    L"DISPATCHER",
    L"DPC",
    L"INTERRUPT",
    L"SYSCALL",
    L"PRIORITY",
    L"SPINLOCK",
    L"KQUEUE",
    L"ALPC",
    L"PERF_COUNTER",
    L"DISK_IO",
    L"DISK_IO_INIT",
    L"FILE_IO",
    L"FILE_IO_INIT",
    L"HARD_FAULTS",
    L"FILENAME",
    L"SPLIT_IO",
    L"REGISTRY",
    L"REG_HIVE",
    L"DRIVERS",
    L"POWER",
    L"CC",
    L"NETWORKTRACE",
    L"VIRT_ALLOC",
    L"MEMINFO",
    L"ALL_FAULTS",
    L"MEMINFO_WS",
    L"VAMAP",
    L"FOOTPRINT",
    L"MEMORY",
    L"REFSET",
    L"CONTMEMGEN",
    L"POOL",
    L"CPU_CONFIG",
    L"SESSION",
    L"IDLE_STATES",
    L"TIMER",
    L"CLOCKINT",
    L"IPI",
    L"OPTICAL_IO",
    L"OPTICAL_IO_INIT",
    L"FLT_IO_INIT",
    L"FLT_IO",
    L"FLT_FASTIO",
    L"FLT_IO_FAILURE",
    L"HAL_CLOCK",
    // groups
    L"Base",
    L"Diag",
    L"DiagEasy",
    L"Latency",
    L"FileIO",
    L"IOTrace",
    L"ResumeTrace",
    L"SysProf",
    L"ResidentSet",
    L"ReferenceSet",
    L"Network",
};

const wchar_t* const kExpectedStackwalkNames[] = {
    L"AlpcClosePort",
    L"AlpcConnectFail",
    L"AlpcConnectRequest",
    L"AlpcConnectSuccess",
    L"AlpcReceiveMessage",
    L"AlpcSendMessage",
    L"AlpcUnwait",
    L"AlpcWaitForNewMessage",
    L"AlpcWaitForReply",
    L"CcCanIWriteFail",
    L"CcFlushCache",
    L"CcFlushSection",
    L"CcLazyWriteScan",
    L"CcReadAhead",
    L"CcWorkitemComplete",
    L"CcWorkitemDequeue",
    L"CcWorkitemEnqueue",
    L"CcWriteBehind",
    L"ContiguousMemoryGeneration",
    L"CSwitch",
    L"DiskFlushInit",
    L"DiskReadInit",
    L"DiskWriteInit",
    L"ExecutiveResource",
    L"FileCleanup",
    L"FileClose",
    L"FileCreate",
    L"FileDelete",
    L"FileDirEnum",
    L"FileDirNotify",
    L"FileFlush",
    L"FileFSCTL",
    L"FileOpEnd",
    L"FileQueryInformation",
    L"FileRead",
    L"FileRename",
    L"FileSetInformation",
    L"FileWrite",
    L"HardFault",
    L"HeapRangeCreate",
    L"HeapRangeDestroy",
    L"HeapRangeRelease",
    L"HeapRangeReserve",
    L"ImageLoad",
    L"ImageUnload",
    L"KernelQueueDequeue",
    L"KernelQueueEnqueue",
    L"MapFile",
    L"Mark",
    L"MiniFilterPostOpInit",
    L"MiniFilterPreOpInit",
    L"PageAccess",
    L"PagefaultAV",
    L"PagefaultCopyOnWrite",
    L"PagefaultDemandZero",
    L"PagefaultGuard",
    L"PagefaultHard",
    L"PagefaultTransition",
    L"PagefileBackedImageMapping",
    L"PagefileMappedSectionCreate",
    L"PagefileMappedSectionDelete",
    L"PageRangeAccess",
    L"PageRangeRelease",
    L"PageRelease",
    L"PoolAlloc",
    L"PoolAllocSession",
    L"PoolFree",
    L"PoolFreeSession",
    L"PowerDeviceNotify",
    L"PowerDeviceNotifyComplete",
    L"PowerIdleStateChange",
    L"PowerPerfStateChange",
    L"PowerPostSleep",
    L"PowerPreSleep",
    L"PowerSessionCallout",
    L"PowerSessionCalloutReturn",
    L"PowerSetDevicesState",
    L"PowerSetDevicesStateReturn",
    L"PowerSetPowerAction",
    L"PowerSetPowerActionReturn",
    L"PowerThermalConstraint",
    L"ProcessCreate",
    L"ProcessDelete",
    L"Profile",
    L"ProfileSetInterval",
    L"ReadyThread",
    L"RegCloseKey",
    L"RegCreateKey",
    L"RegDeleteKey",
    L"RegDeleteValue",
    L"RegEnumerateKey",
    L"RegEnumerateValueKey",
    L"RegFlush",
    L"RegHiveDestroy",
    L"RegHiveDirty",
    L"RegHiveInit",
    L"RegHiveLink",
    L"RegKcbCreate",
    L"RegKcbDelete",
    L"RegOpenKey",
    L"RegQueryKey",
    L"RegQueryMultipleValue",
    L"RegQueryValue",
    L"RegSetInformation",
    L"RegSetValue",
    L"RegVirtualize",
    L"SplitIO",
    L"SyscallEnter",
    L"SyscallExit",
    L"ThreadCreate",
    L"ThreadDelete",
    L"ThreadPoolCallbackCancel",
    L"ThreadPoolCallbackDequeue",
    L"ThreadPoolCallbackEnqueue",
    L"ThreadPoolCallbackStart",
    L"ThreadPoolCallbackStop",
    L"ThreadPoolClose",
    L"ThreadPoolCreate",
    L"ThreadPoolSetMaxThreads",
    L"ThreadPoolSetMinThreads",
    L"ThreadSetBasePriority",
    L"ThreadSetPriority",
    L"TimerSetOneShot",
    L"TimerSetPeriodic",
    L"UnMapFile",
    L"VirtualAlloc",
    L"VirtualFree",
};

template <std::size_t N, std::size_t M>
void expectCatalogueIs(const std::array<const wchar_t*, N>& catalogue,
                       const wchar_t* const (&expected)[M]) {
    ASSERT_EQ(N, M);
    for (std::size_t i = 0; i < N; ++i) {
        EXPECT_STREQ(catalogue[i], expected[i]) << "entry " << i;
    }
}

template <std::size_t N>
std::size_t indexOf(const std::array<const wchar_t*, N>& catalogue, std::wstring_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (catalogue[i] != nullptr && name == catalogue[i]) {
            return i;
        }
    }
    return N;
}

template <std::size_t N>
void expectNonEmptyAndUnique(const std::array<const wchar_t*, N>& catalogue) {
    std::set<std::wstring> seen;
    for (const wchar_t* name : catalogue) {
        ASSERT_NE(name, nullptr);
        EXPECT_FALSE(std::wstring(name).empty());
        EXPECT_TRUE(seen.insert(name).second) << "duplicate: " << name;
    }
}

TEST(KernelFlagCatalogue, HoldsFiftyFlagsThenElevenGroupsInListOrder) {
    expectNonEmptyAndUnique(KernelFlagCatalogue);
    expectCatalogueIs(KernelFlagCatalogue, kExpectedKernelNames);
    EXPECT_STREQ(KernelFlagCatalogue[0], L"PROC_THREAD");
    EXPECT_STREQ(KernelFlagCatalogue[1], L"LOADER");
    EXPECT_STREQ(KernelFlagCatalogue[26], L"NETWORKTRACE");
    EXPECT_STREQ(KernelFlagCatalogue[49], L"HAL_CLOCK");
    EXPECT_STREQ(KernelFlagCatalogue[50], L"Base");
    EXPECT_STREQ(KernelFlagCatalogue[52], L"DiagEasy");
    EXPECT_STREQ(KernelFlagCatalogue[60], L"Network");
}

TEST(KernelFlagCatalogue, FlagsAreUpperCaseWordsAndGroupsAreMixedCaseLetters) {
    for (std::size_t i = 0; i < KernelFlagCatalogue.size(); ++i) {
        const std::wstring name = KernelFlagCatalogue[i];
        for (wchar_t c : name) {
            if (i < 50) {
                EXPECT_TRUE((c >= L'A' && c <= L'Z') || c == L'_') << name;
            } else {
                EXPECT_TRUE(isAsciiLetter(c)) << name;
            }
        }
        if (i >= 50) {
            EXPECT_NE(name, asciiLower(name)) << "a group keeps its capitals: " << name;
        }
    }
}

TEST(StackwalkCatalogue, IsInDisplayOrderFromAlpcClosePortToVirtualFree) {
    expectNonEmptyAndUnique(StackwalkCatalogue);
    expectCatalogueIs(StackwalkCatalogue, kExpectedStackwalkNames);
    EXPECT_STREQ(StackwalkCatalogue[0], L"AlpcClosePort");
    EXPECT_STREQ(StackwalkCatalogue[126], L"VirtualFree");
    EXPECT_EQ(indexOf(StackwalkCatalogue, L"CSwitch"), 19U);
    EXPECT_EQ(indexOf(StackwalkCatalogue, L"ProcessCreate"), 81U);
    EXPECT_EQ(indexOf(StackwalkCatalogue, L"PageAccess"), 51U);
    EXPECT_EQ(indexOf(StackwalkCatalogue, L"PagefaultAV"), 52U);
    // Ignoring case puts these before "CSwitch", unlike a plain code-unit order.
    EXPECT_LT(indexOf(StackwalkCatalogue, L"CcWriteBehind"),
              indexOf(StackwalkCatalogue, L"CSwitch"));
    EXPECT_LT(indexOf(StackwalkCatalogue, L"ContiguousMemoryGeneration"),
              indexOf(StackwalkCatalogue, L"CSwitch"));
    EXPECT_LT(indexOf(StackwalkCatalogue, L"CSwitch"),
              indexOf(StackwalkCatalogue, L"VirtualAlloc"));
}

TEST(StackwalkCatalogue, IsSortedIgnoringCaseAndMadeOfAsciiLettersOnly) {
    std::set<std::wstring> folded;
    for (std::size_t i = 0; i < StackwalkCatalogue.size(); ++i) {
        const std::wstring name = StackwalkCatalogue[i];
        for (wchar_t c : name) {
            EXPECT_TRUE(isAsciiLetter(c)) << name;
        }
        EXPECT_TRUE(folded.insert(asciiLower(name)).second) << "differs only in case: " << name;
        if (i > 0) {
            EXPECT_LT(asciiLower(StackwalkCatalogue[i - 1]), asciiLower(name))
                << StackwalkCatalogue[i - 1] << L" before " << name;
        }
    }
}

TEST(FileModeCatalogue, OffersSequentialFirstThenCircularAppendNewFile) {
    expectNonEmptyAndUnique(FileModeCatalogue);
    EXPECT_STREQ(FileModeCatalogue[0], L"Sequential");
    EXPECT_STREQ(FileModeCatalogue[1], L"Circular");
    EXPECT_STREQ(FileModeCatalogue[2], L"Append");
    EXPECT_STREQ(FileModeCatalogue[3], L"NewFile");
}

} // namespace
} // namespace corvane
