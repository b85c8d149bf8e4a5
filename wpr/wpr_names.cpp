#include "wpr/wpr_names.h"

#include <algorithm>
#include <iterator>

namespace corvane {

// Every keyword below is a value of SystemKeywordEnumeration in the schema of the WPR of Windows
// 10 and later ("WPRControlProfiles Schema", learn.microsoft.com/windows-hardware/test/wpt/
// wprcontrolprofiles-schema), which WPR checks a profile against. Which keyword a flag is comes
// from one of three kinds of source, marked on each group of rows:
// - the remarks of "Keyword (in SystemProvider)", which say what each keyword logs in the words
//   xperf's list of flags (xperf -providers KF) uses for the flag;
// - the same words: the schema lists a keyword made of the flag's own words and no other
//   keyword that could mean it;
// - Microsoft's published profiles, which enable the keyword for the events xperf gets from the
//   flag.
const std::array<WprKeywordName, 50> WprKeywordTable = {{
    // "Keyword (in SystemProvider)": "Process and thread creation and deletion events", "Kernel
    // and user mode load and unload events", "The profile is sampled", "Context switch
    // activity", the compact form "used in connection with CSwitch", "Ready thread events" (the
    // events xperf's DISPATCHER flag brings), "Deferred procedure calls", "Interrupts", "System
    // calls", "Changes in thread priority", "Spinlock information", "Changes to the kernel queue".
    {L"PROC_THREAD", L"ProcessThread", {}},
    {L"LOADER", L"Loader", {}},
    {L"PROFILE", L"SampledProfile", {}},
    {L"CSWITCH", L"CSwitch", {}},
    {L"COMPACT_CSWITCH", L"CompactCSwitch", {}},
    {L"DISPATCHER", L"ReadyThread", {}},
    {L"DPC", L"DPC", {}},
    {L"INTERRUPT", L"Interrupt", {}},
    {L"SYSCALL", L"SystemCall", {}},
    {L"PRIORITY", L"ThreadPriority", {}},
    {L"SPINLOCK", L"SpinLock", {}},
    {L"KQUEUE", L"KernelQueue", {}},
    // The same words: Advanced Local Procedure Call.
    {L"ALPC", L"Alpc", {}},
    // "Keyword (in SystemProvider)": ProcessCounter "indicates that the profile has a process
    // counter" (xperf: "Process Perf Counters"); disk I/O and its initiation (the remarks spell
    // the second DiskIOInitialization, the schema DiskIOInit, which is what WPR checks); file I/O,
    // its initiation, hard faults, file names, split I/O and the registry.
    {L"PERF_COUNTER", L"ProcessCounter", {}},
    {L"DISK_IO", L"DiskIO", {}},
    {L"DISK_IO_INIT", L"DiskIOInit", {}},
    {L"FILE_IO", L"FileIO", {}},
    {L"FILE_IO_INIT", L"FileIOInit", {}},
    {L"HARD_FAULTS", L"HardFaults", {}},
    {L"FILENAME", L"Filename", {}},
    {L"SPLIT_IO", L"SplitIO", {}},
    {L"REGISTRY", L"Registry", {}},
    // The same words: registry hive.
    {L"REG_HIVE", L"RegistryHive", {}},
    // "Keyword (in SystemProvider)": "Driver activity", "Power consumption".
    {L"DRIVERS", L"Drivers", {}},
    {L"POWER", L"Power", {}},
    // The same words: cache manager (CC), network trace.
    {L"CC", L"CC", {}},
    {L"NETWORKTRACE", L"NetworkTrace", {}},
    // "Keyword (in SystemProvider)": "Virtual memory allocation", the memory manager's page
    // counts (MemoryInfo), "All faults".
    {L"VIRT_ALLOC", L"VirtualAllocation", {}},
    {L"MEMINFO", L"MemoryInfo", {}},
    {L"ALL_FAULTS", L"AllFaults", {}},
    // The same words: memory info of the working sets.
    {L"MEMINFO_WS", L"MemoryInfoWS", {}},
    // Published profiles: Microsoft's, those made before Windows 10 among them, enable VAMap for
    // the mapped-file events that xperf's VAMAP records ("MapFile info").
    {L"VAMAP", L"VAMap", {}},
    // "Keyword (in SystemProvider)": FootPrint for memory footprint analysis, Memory for
    // "physical memory usage" (xperf: "Memory tracing").
    {L"FOOTPRINT", L"FootPrint", {}},
    {L"MEMORY", L"Memory", {}},
    // The same words: reference set, contiguous memory generation (the schema's spelling, with a
    // lower-case g).
    {L"REFSET", L"ReferenceSet", {}},
    {L"CONTMEMGEN", L"ContiguousMemorygeneration", {}},
    // "Keyword (in SystemProvider)": "Changes to the memory pool", "Changes in CPU
    // configuration".
    {L"POOL", L"Pool", {}},
    {L"CPU_CONFIG", L"CpuConfig", {}},
    // The same words: session create, delete and rundown.
    {L"SESSION", L"Session", {}},
    // "Keyword (in SystemProvider)": "Idle states", "Provides events about the system timer".
    {L"IDLE_STATES", L"IdleStates", {}},
    {L"TIMER", L"Timer", {}},
    // The same words: clock interrupt, inter-processor interrupt, optical I/O and its
    // initiation, and the minifilter (filter I/O) flags: initiation, completion, fast I/O,
    // failure.
    {L"CLOCKINT", L"ClockInterrupt", {}},
    {L"IPI", L"InterProcessorInterrupt", {}},
    {L"OPTICAL_IO", L"OpticalIO", {}},
    {L"OPTICAL_IO_INIT", L"OpticalIOInit", {}},
    {L"FLT_IO_INIT", L"FilterIOInit", {}},
    {L"FLT_IO", L"FilterIO", {}},
    {L"FLT_FASTIO", L"FilterIOFastIO", {}},
    {L"FLT_IO_FAILURE", L"FilterIOFailure", {}},
    // No form: HalClock is a keyword of the Windows 8 and 8.1 schema (hh448216) alone, and that WPR
    // cannot start a profile by name (FILE!NAME), so it would start nowhere that the script runs.
    // The Windows 10 schema lists KeClock in its place, but no page or published profile of
    // Microsoft says it records the HAL's clock events, so it is not written in their stead.
    {L"HAL_CLOCK",
     {},
     L"kernel flag HAL_CLOCK has no WPR form: the WPR of Windows 10 and 11 has no keyword for the "
     L"HAL's clock events, and the WPR of Windows 8, whose HalClock it was, cannot start a profile "
     L"by name; drop kernel-flag = HAL_CLOCK, or record it with xperf (--recorder xperf)"},
}};

// Stack values of SystemStackEnumeration in the same schema that differ from xperf's stack-walk
// names (xperf -help stackwalk). Each pair names the same event in other words: the sampled
// profile and its interval, pool allocation (session pool too), the system call, the registry
// events, the timers and VirtualAlloc. The schema lists the other 102 under xperf's own names,
// RegHive* included.
const std::array<WprStackRename, 25> WprStackRenames = {{
    {L"PoolAlloc", L"PoolAllocation"},
    {L"PoolAllocSession", L"PoolAllocationSession"},
    {L"Profile", L"SampledProfile"},
    {L"ProfileSetInterval", L"SampledProfileSetInterval"},
    {L"RegCloseKey", L"RegistryCloseKey"},
    {L"RegCreateKey", L"RegistryCreateKey"},
    {L"RegDeleteKey", L"RegistryDeleteKey"},
    {L"RegDeleteValue", L"RegistryDeleteValue"},
    {L"RegEnumerateKey", L"RegistryEnumerateKey"},
    {L"RegEnumerateValueKey", L"RegistryEnumerateValueKey"},
    {L"RegFlush", L"RegistryFlush"},
    {L"RegKcbCreate", L"RegistryKcbCreate"},
    {L"RegKcbDelete", L"RegistryKcbDelete"},
    {L"RegOpenKey", L"RegistryOpenKey"},
    {L"RegQueryKey", L"RegistryQueryKey"},
    {L"RegQueryMultipleValue", L"RegistryQueryMultipleValue"},
    {L"RegQueryValue", L"RegistryQueryValue"},
    {L"RegSetInformation", L"RegistrySetInformation"},
    {L"RegSetValue", L"RegistrySetValue"},
    {L"RegVirtualize", L"RegistryVirtualize"},
    {L"SyscallEnter", L"SystemCallEnter"},
    {L"SyscallExit", L"SystemCallExit"},
    {L"TimerSetOneShot", L"TimerOneShot"},
    {L"TimerSetPeriodic", L"TimerPeriodic"},
    {L"VirtualAlloc", L"VirtualAllocation"},
}};

// The schema's heap stacks. Microsoft's published heap profiles list them among the system
// provider's stacks, as WPR has no stack setting on the heap provider.
const std::array<std::wstring_view, 5> WprHeapStacks = {
    L"HeapCreate", L"HeapAllocation", L"HeapReallocation", L"HeapFree", L"HeapDestroy",
};

const WprKeywordName* wprKeywordOfFlag(std::wstring_view flag) noexcept {
    const auto found = std::find_if(WprKeywordTable.begin(), WprKeywordTable.end(),
                                    [&](const WprKeywordName& row) { return row.flag == flag; });
    return found == WprKeywordTable.end() ? nullptr : &*found;
}

std::wstring_view wprStackOfEvent(std::wstring_view event) noexcept {
    const auto found = std::find_if(WprStackRenames.begin(), WprStackRenames.end(),
                                    [&](const WprStackRename& row) { return row.event == event; });
    return found == WprStackRenames.end() ? event : found->stack;
}

} // namespace corvane
