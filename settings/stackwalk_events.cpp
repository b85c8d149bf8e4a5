#include "settings/stackwalk_events.h"

#include "settings/descriptions.h"

#include <algorithm>
#include <iterator>

namespace corvane {
namespace {

// In the catalogue's order. Where a flag is given, it comes from one of two kinds of source:
// - Microsoft's kernel event classes (ETW, "MSNT_SystemTrace" and its children) name the enable
//   flag of each class and list its event types: ALPC (send, receive, wait for reply, wait for new
//   message, unwait; EVENT_TRACE_FLAG_ALPC), CSwitch (CSWITCH), ReadyThread (DISPATCHER, "enables
//   capture of Ready Thread events"), DiskIo_TypeGroup2 (read, write and flush initiation;
//   DISK_IO_INIT), FileIo_Create, _ReadWrite, _SimpleOp, _Info and _DirEnum (FILE_IO_INIT) and
//   FileIo_OpEnd (FILE_IO), Image_Load (LOADER, EVENT_TRACE_FLAG_IMAGE_LOAD), PageFault_TypeGroup1
//   (transition, demand-zero, copy-on-write, guard, hard and access-violation faults; ALL_FAULTS,
//   EVENT_TRACE_FLAG_MEMORY_PAGE_FAULTS), PageFault_HardFault (HARD_FAULTS),
//   PageFault_VirtualAlloc (VIRT_ALLOC), PerfInfo's SampledProfile (PROFILE) and SysCallEnter/Exit
//   (SYSCALL), Process and Thread (PROC_THREAD), Registry_TypeGroup1 (REGISTRY) and SplitIo_Info
//   (SPLIT_IO). xperf's older stack-walk list gives the file events in the order of their event
//   types from FileCreate (64) to FileFSCTL (75), then FileDirNotify (77) before FileOpEnd (76);
//   so FileDelete is type 70, a FileIo_Info event, not FILENAME's type 35.
// - xperf's own list of kernel flags (xperf -providers KF) names a flag after exactly these
//   events: ALPC's other events, CC ("cache manager events"), CONTMEMGEN, FLT_IO_INIT ("minifilter
//   callback initiation"), KQUEUE ("kernel queue enqueue/dequeue"), POOL, PRIORITY ("priority
//   change events"), REG_HIVE, TIMER and VAMAP ("MapFile info").
// No source settles the flag of the rest: Mark comes from xperf -m in any kernel session; the
// power events could come from POWER or IDLE_STATES; the page-access, pagefile-section and heap-
// range events from MEMORY, FOOTPRINT or REFSET; ExecutiveResource and the thread-pool events from
// flags that the catalogue does not offer; ProfileSetInterval is in no event class.
constexpr StackwalkEventSource kStackwalkEvents[] = {
    {L"AlpcClosePort", L"An ALPC port is closed", L"ALPC"},
    {L"AlpcConnectFail", L"A connection to an ALPC port fails", L"ALPC"},
    {L"AlpcConnectRequest", L"A process asks to connect to an ALPC port", L"ALPC"},
    {L"AlpcConnectSuccess", L"A connection to an ALPC port is made", L"ALPC"},
    {L"AlpcReceiveMessage", L"An ALPC message is received", L"ALPC"},
    {L"AlpcSendMessage", L"An ALPC message is sent", L"ALPC"},
    {L"AlpcUnwait", L"A thread stops waiting on an ALPC port", L"ALPC"},
    {L"AlpcWaitForNewMessage", L"A server thread waits for a new ALPC message", L"ALPC"},
    {L"AlpcWaitForReply", L"A thread waits for the reply to its ALPC message", L"ALPC"},
    {L"CcCanIWriteFail", L"The cache manager holds back a write (CcCanIWrite fails)", L"CC"},
    {L"CcFlushCache", L"The cache manager flushes cached file data", L"CC"},
    {L"CcFlushSection", L"The cache manager flushes a section of a file", L"CC"},
    {L"CcLazyWriteScan", L"The cache manager's lazy writer scans for dirty pages", L"CC"},
    {L"CcReadAhead", L"The cache manager reads ahead of a sequential reader", L"CC"},
    {L"CcWorkitemComplete", L"A cache manager work item completes", L"CC"},
    {L"CcWorkitemDequeue", L"A cache manager work item is taken off its queue", L"CC"},
    {L"CcWorkitemEnqueue", L"A cache manager work item is queued", L"CC"},
    {L"CcWriteBehind", L"The cache manager writes dirty data behind the writer", L"CC"},
    {L"ContiguousMemoryGeneration", L"The memory manager builds a run of contiguous memory",
     L"CONTMEMGEN"},
    {L"CSwitch", L"A context switch: a thread leaves a CPU and another takes it", L"CSWITCH"},
    {L"DiskFlushInit", L"A disk flush is issued", L"DISK_IO_INIT"},
    {L"DiskReadInit", L"A disk read is issued", L"DISK_IO_INIT"},
    {L"DiskWriteInit", L"A disk write is issued", L"DISK_IO_INIT"},
    {L"ExecutiveResource",
     L"An operation on an executive resource (a kernel lock): contention or release", L""},
    {L"FileCleanup", L"The last handle to a file is closed", L"FILE_IO_INIT"},
    {L"FileClose", L"A file object is freed", L"FILE_IO_INIT"},
    {L"FileCreate", L"A file is created or opened", L"FILE_IO_INIT"},
    {L"FileDelete", L"A file is marked for deletion", L"FILE_IO_INIT"},
    {L"FileDirEnum", L"A directory is listed", L"FILE_IO_INIT"},
    {L"FileDirNotify", L"A directory change notification is asked for", L"FILE_IO_INIT"},
    {L"FileFlush", L"A file's buffers are flushed", L"FILE_IO_INIT"},
    {L"FileFSCTL", L"A file system control request is issued", L"FILE_IO_INIT"},
    {L"FileOpEnd", L"A file system operation ends, with its result", L"FILE_IO"},
    {L"FileQueryInformation", L"A file's information is queried", L"FILE_IO_INIT"},
    {L"FileRead", L"A file is read", L"FILE_IO_INIT"},
    {L"FileRename", L"A file is renamed", L"FILE_IO_INIT"},
    {L"FileSetInformation", L"A file's information is set", L"FILE_IO_INIT"},
    {L"FileWrite", L"A file is written", L"FILE_IO_INIT"},
    {L"HardFault", L"A hard page fault: a page is read from disk", L"HARD_FAULTS"},
    {L"HeapRangeCreate", L"A heap range is created", L""},
    {L"HeapRangeDestroy", L"A heap range is destroyed", L""},
    {L"HeapRangeRelease", L"A heap range is released", L""},
    {L"HeapRangeReserve", L"A heap range is reserved", L""},
    {L"ImageLoad", L"An image (program or DLL) is loaded", L"LOADER"},
    {L"ImageUnload", L"An image (program or DLL) is unloaded", L"LOADER"},
    {L"KernelQueueDequeue", L"An item is taken off a kernel queue", L"KQUEUE"},
    {L"KernelQueueEnqueue", L"An item is put on a kernel queue", L"KQUEUE"},
    {L"MapFile", L"A view of a file is mapped into memory", L"VAMAP"},
    {L"Mark", L"A mark set in the trace (xperf -m)", L""},
    {L"MiniFilterPostOpInit", L"A minifilter's post-operation callback starts", L"FLT_IO_INIT"},
    {L"MiniFilterPreOpInit", L"A minifilter's pre-operation callback starts", L"FLT_IO_INIT"},
    {L"PageAccess", L"A page is accessed", L""},
    {L"PagefaultAV", L"A page fault that is an access violation", L"ALL_FAULTS"},
    {L"PagefaultCopyOnWrite", L"A copy-on-write page fault", L"ALL_FAULTS"},
    {L"PagefaultDemandZero", L"A demand-zero page fault", L"ALL_FAULTS"},
    {L"PagefaultGuard", L"A guard page fault", L"ALL_FAULTS"},
    {L"PagefaultHard", L"A hard page fault, among all page faults", L"ALL_FAULTS"},
    {L"PagefaultTransition", L"A transition page fault", L"ALL_FAULTS"},
    {L"PagefileBackedImageMapping", L"An image is mapped backed by the pagefile", L""},
    {L"PagefileMappedSectionCreate", L"A pagefile-backed section is created", L""},
    {L"PagefileMappedSectionDelete", L"A pagefile-backed section is deleted", L""},
    {L"PageRangeAccess", L"A range of pages is accessed", L""},
    {L"PageRangeRelease", L"A range of pages is released", L""},
    {L"PageRelease", L"A page is released", L""},
    {L"PoolAlloc", L"Kernel pool memory is allocated", L"POOL"},
    {L"PoolAllocSession", L"Session pool memory is allocated", L"POOL"},
    {L"PoolFree", L"Kernel pool memory is freed", L"POOL"},
    {L"PoolFreeSession", L"Session pool memory is freed", L"POOL"},
    {L"PowerDeviceNotify", L"A device is told of a power change", L""},
    {L"PowerDeviceNotifyComplete", L"A device has handled a power change", L""},
    {L"PowerIdleStateChange", L"A CPU's idle state changes", L""},
    {L"PowerPerfStateChange", L"A CPU's performance state changes", L""},
    {L"PowerPostSleep", L"The system wakes from sleep", L""},
    {L"PowerPreSleep", L"The system is about to sleep", L""},
    {L"PowerSessionCallout", L"A power callout to a session starts", L""},
    {L"PowerSessionCalloutReturn", L"A power callout to a session returns", L""},
    {L"PowerSetDevicesState", L"Devices are set to a power state", L""},
    {L"PowerSetDevicesStateReturn", L"Devices have been set to a power state", L""},
    {L"PowerSetPowerAction", L"A system power action starts", L""},
    {L"PowerSetPowerActionReturn", L"A system power action returns", L""},
    {L"PowerThermalConstraint", L"A device's thermal constraint changes", L""},
    {L"ProcessCreate", L"A process is created", L"PROC_THREAD"},
    {L"ProcessDelete", L"A process ends", L"PROC_THREAD"},
    {L"Profile", L"A CPU sample of the sampled profile", L"PROFILE"},
    {L"ProfileSetInterval", L"The sampling interval is changed", L""},
    {L"ReadyThread", L"A waiting thread is made ready to run", L"DISPATCHER"},
    {L"RegCloseKey", L"A registry key is closed", L"REGISTRY"},
    {L"RegCreateKey", L"A registry key is created", L"REGISTRY"},
    {L"RegDeleteKey", L"A registry key is deleted", L"REGISTRY"},
    {L"RegDeleteValue", L"A registry value is deleted", L"REGISTRY"},
    {L"RegEnumerateKey", L"A registry key's subkeys are listed", L"REGISTRY"},
    {L"RegEnumerateValueKey", L"A registry key's values are listed", L"REGISTRY"},
    {L"RegFlush", L"A registry key is flushed to disk", L"REGISTRY"},
    {L"RegHiveDestroy", L"A registry hive is unloaded", L"REG_HIVE"},
    {L"RegHiveDirty", L"A registry hive is marked dirty", L"REG_HIVE"},
    {L"RegHiveInit", L"A registry hive is loaded", L"REG_HIVE"},
    {L"RegHiveLink", L"A registry hive is linked into the registry", L"REG_HIVE"},
    {L"RegKcbCreate", L"A registry key control block is created", L"REGISTRY"},
    {L"RegKcbDelete", L"A registry key control block is deleted", L"REGISTRY"},
    {L"RegOpenKey", L"A registry key is opened", L"REGISTRY"},
    {L"RegQueryKey", L"A registry key is queried", L"REGISTRY"},
    {L"RegQueryMultipleValue", L"Several registry values are queried at once", L"REGISTRY"},
    {L"RegQueryValue", L"A registry value is read", L"REGISTRY"},
    {L"RegSetInformation", L"A registry key's information is set", L"REGISTRY"},
    {L"RegSetValue", L"A registry value is written", L"REGISTRY"},
    {L"RegVirtualize", L"A registry access is virtualized", L"REGISTRY"},
    {L"SplitIO", L"An I/O request is split into smaller ones", L"SPLIT_IO"},
    {L"SyscallEnter", L"A thread enters a system call", L"SYSCALL"},
    {L"SyscallExit", L"A thread returns from a system call", L"SYSCALL"},
    {L"ThreadCreate", L"A thread is created", L"PROC_THREAD"},
    {L"ThreadDelete", L"A thread ends", L"PROC_THREAD"},
    {L"ThreadPoolCallbackCancel", L"A thread-pool callback is cancelled", L""},
    {L"ThreadPoolCallbackDequeue", L"A thread-pool callback is taken off its queue", L""},
    {L"ThreadPoolCallbackEnqueue", L"A thread-pool callback is queued", L""},
    {L"ThreadPoolCallbackStart", L"A thread-pool callback starts", L""},
    {L"ThreadPoolCallbackStop", L"A thread-pool callback ends", L""},
    {L"ThreadPoolClose", L"A thread pool is closed", L""},
    {L"ThreadPoolCreate", L"A thread pool is created", L""},
    {L"ThreadPoolSetMaxThreads", L"A thread pool's largest thread count is set", L""},
    {L"ThreadPoolSetMinThreads", L"A thread pool's smallest thread count is set", L""},
    {L"ThreadSetBasePriority", L"A thread's base priority changes", L"PRIORITY"},
    {L"ThreadSetPriority", L"A thread's priority changes", L"PRIORITY"},
    {L"TimerSetOneShot", L"A one-shot timer is set", L"TIMER"},
    {L"TimerSetPeriodic", L"A periodic timer is set", L"TIMER"},
    {L"UnMapFile", L"A view of a file is unmapped", L"VAMAP"},
    {L"VirtualAlloc", L"Virtual memory is reserved or committed", L"VIRT_ALLOC"},
    {L"VirtualFree", L"Virtual memory is released or decommitted", L"VIRT_ALLOC"},
};

// The pieces of a group's member list, "+" between them.
bool membersInclude(std::wstring_view members, std::wstring_view flag) {
    for (std::size_t start = 0; start <= members.size();) {
        const std::size_t plus = std::min(members.find(L'+', start), members.size());
        if (members.substr(start, plus - start) == flag) {
            return true;
        }
        start = plus + 1;
    }
    return false;
}

} // namespace

const StackwalkEventSource* describeStackwalkEvent(std::wstring_view name) noexcept {
    const auto found =
        std::find_if(std::begin(kStackwalkEvents), std::end(kStackwalkEvents),
                     [&](const StackwalkEventSource& entry) { return entry.name == name; });
    return found == std::end(kStackwalkEvents) ? nullptr : found;
}

bool selectionIncludesFlag(const std::vector<std::wstring>& selection, std::wstring_view flag) {
    return std::any_of(selection.begin(), selection.end(), [&](const std::wstring& name) {
        if (name == flag) {
            return true;
        }
        const KernelEntryDescription* entry = describeKernelEntry(name);
        return entry != nullptr && !flag.empty() && membersInclude(entry->members, flag);
    });
}

} // namespace corvane
