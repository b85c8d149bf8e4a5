#include "wpr/wpr_names.h"

#include <algorithm>
#include <iterator>

namespace corvane {

// Every keyword below is a value of SystemKeywordEnumeration in Microsoft's "WPRControlProfiles
// Schema", which WPR checks a profile against. Which keyword a flag is comes from one of three
// kinds of source, marked on each group of rows:
// - the remarks of "Keyword (in SystemProvider)", which say what each keyword logs in the words
//   xperf's list of flags (xperf -providers KF) uses for the flag;
// - the same words: the schema lists a keyword made of the flag's own words and no other
//   keyword that could mean it;
// - Microsoft's published profiles, which enable the keyword for the events xperf gets from the
//   flag.
// The schema of the WPR for Windows 8 and 8.1 (hh448216) lists HalClock but neither VAMap nor
// Session; the later schema lists VAMap and Session and, in HalClock's place in its otherwise
// alphabetical list, KeClock. A WPR refuses a profile with a keyword its schema does not list, so
// those three rows name the WPR that knows them. No flag is left without a keyword.
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
    // Published profiles: Microsoft's enable VAMap for the MapFile and UnMapFile stacks, the
    // events of xperf's VAMAP ("MapFile info").
    {L"VAMAP", L"VAMap", L"the WPR of Windows 10 and later"},
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
    {L"SESSION", L"Session", L"the WPR of Windows 10 and later"},
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
    // The same words, in the Windows 8 and 8.1 schema only (see above).
    {L"HAL_CLOCK", L"HalClock", L"the WPR of Windows 8 and 8.1"},
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
