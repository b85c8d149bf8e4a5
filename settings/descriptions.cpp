#include "settings/descriptions.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace corvane {
namespace {

// In catalogue order, in our words after xperf's own list of flags and groups (-providers KF and
// KG); a group names its members as that list gives them.
constexpr KernelEntryDescription kKernelEntries[] = {
    {L"PROC_THREAD", L"Processes and threads as they are created and end", L""},
    {L"LOADER", L"Images (programs and DLLs) loaded and unloaded, in kernel and user mode", L""},
    {L"PROFILE", L"Periodic samples of what each CPU is running: the sampled CPU profile", L""},
    {L"CSWITCH", L"Every context switch: which thread leaves a CPU and which takes it", L""},
    {L"COMPACT_CSWITCH", L"Context switches in a smaller, compressed form", L""},
    {L"DISPATCHER",
     L"The CPU scheduler's ready-thread events: a waiting thread made ready to run; ReadyThread "
     L"stack walks need it",
     L""},
    {L"DPC", L"Deferred procedure calls (DPCs)", L""},
    {L"INTERRUPT", L"Interrupts", L""},
    {L"SYSCALL", L"Calls from programs into the kernel (system calls)", L""},
    {L"PRIORITY", L"Changes of thread priority", L""},
    {L"SPINLOCK", L"Collisions on kernel spin locks", L""},
    {L"KQUEUE", L"Items put on and taken off kernel queues", L""},
    {L"ALPC", L"Advanced local procedure calls (ALPC) between processes", L""},
    {L"PERF_COUNTER", L"Performance counters of each process", L""},
    {L"DISK_IO", L"Disk I/O", L""},
    {L"DISK_IO_INIT", L"The start of each disk I/O", L""},
    {L"FILE_IO", L"When each file system operation ends, and its result", L""},
    {L"FILE_IO_INIT",
     L"File system operations as they are issued: create, open, read, write, close", L""},
    {L"HARD_FAULTS", L"Hard page faults", L""},
    {L"FILENAME", L"File names: as files are created and deleted, and a rundown of known names",
     L""},
    {L"SPLIT_IO", L"I/O requests that were split into smaller ones", L""},
    {L"REGISTRY", L"Registry operations", L""},
    {L"REG_HIVE", L"Registry hives, the files that hold the registry", L""},
    {L"DRIVERS", L"Events of device drivers", L""},
    {L"POWER", L"Power management events", L""},
    {L"CC", L"Events of the file cache manager", L""},
    {L"NETWORKTRACE", L"Network traffic such as TCP and UDP sends and receives", L""},
    {L"VIRT_ALLOC", L"Virtual memory reserved and released", L""},
    {L"MEMINFO", L"The state of the system's memory lists", L""},
    {L"ALL_FAULTS", L"All page faults: hard, copy-on-write, demand-zero and others", L""},
    {L"MEMINFO_WS", L"Working set information", L""},
    {L"VAMAP", L"Files mapped into and out of memory, image files excluded; Windows 8 and later",
     L""},
    {L"FOOTPRINT", L"Data for memory footprint analysis", L""},
    {L"MEMORY", L"Memory manager tracing", L""},
    {L"REFSET", L"Data for memory footprint analysis by reference set", L""},
    {L"CONTMEMGEN", L"Generation of contiguous memory", L""},
    {L"POOL", L"Kernel pool memory", L""},
    {L"CPU_CONFIG",
     L"The processors' layout: NUMA topology, groups and numbers; always on by default", L""},
    {L"SESSION", L"Sessions as they are created and deleted, and a rundown of existing ones", L""},
    {L"IDLE_STATES", L"Idle states of the CPUs", L""},
    {L"TIMER", L"Timers as they are set and expire", L""},
    {L"CLOCKINT", L"Clock interrupts", L""},
    {L"IPI", L"Interrupts sent from one processor to another", L""},
    {L"OPTICAL_IO", L"Optical drive I/O", L""},
    {L"OPTICAL_IO_INIT", L"The start of each optical drive I/O", L""},
    {L"FLT_IO_INIT", L"File system minifilter callbacks as they start", L""},
    {L"FLT_IO", L"File system minifilter callbacks as they complete", L""},
    {L"FLT_FASTIO", L"File system minifilter fast I/O callbacks as they complete", L""},
    {L"FLT_IO_FAILURE", L"File system minifilter callbacks that complete with a failure", L""},
    {L"HAL_CLOCK", L"Clock configuration of the hardware abstraction layer (HAL)", L""},
    {L"Base", L"A basic picture: processes, images, disk, hard faults, CPU samples and memory",
     L"PROC_THREAD+LOADER+DISK_IO+HARD_FAULTS+PROFILE+MEMINFO+MEMINFO_WS"},
    {L"Diag", L"DiagEasy with compact context switches",
     L"PROC_THREAD+LOADER+DISK_IO+HARD_FAULTS+DPC+INTERRUPT+CSWITCH+PERF_COUNTER+COMPACT_CSWITCH"},
    {L"DiagEasy", L"Processes, images, disk, hard faults, DPCs, interrupts, switches and counters",
     L"PROC_THREAD+LOADER+DISK_IO+HARD_FAULTS+DPC+INTERRUPT+CSWITCH+PERF_COUNTER"},
    {L"Latency", L"Delays: disk, hard faults, DPCs, interrupts, switches and CPU samples",
     L"PROC_THREAD+LOADER+DISK_IO+HARD_FAULTS+DPC+INTERRUPT+CSWITCH+PROFILE"},
    {L"FileIO", L"File system operations with processes, images, disk and hard faults",
     L"PROC_THREAD+LOADER+DISK_IO+HARD_FAULTS+FILE_IO+FILE_IO_INIT"},
    {L"IOTrace", L"Disk I/O with processes, images, hard faults and context switches",
     L"PROC_THREAD+LOADER+DISK_IO+HARD_FAULTS+CSWITCH"},
    {L"ResumeTrace", L"Processes, images, disk, hard faults, CPU samples and power events",
     L"PROC_THREAD+LOADER+DISK_IO+HARD_FAULTS+PROFILE+POWER"},
    {L"SysProf", L"A sampled CPU profile with processes and images", L"PROC_THREAD+LOADER+PROFILE"},
    {L"ResidentSet", L"What is kept in memory: memory, mapping and allocation events with disk",
     L"PROC_THREAD+LOADER+DISK_IO+HARD_FAULTS+MEMORY+MEMINFO+VAMAP+SESSION+VIRT_ALLOC"},
    {L"ReferenceSet", L"The memory a scenario touches: its reference set",
     L"PROC_THREAD+LOADER+HARD_FAULTS+MEMORY+FOOTPRINT+VIRT_ALLOC+MEMINFO+VAMAP+SESSION+REFSET+"
     L"MEMINFO_WS"},
    {L"Network", L"Network traffic with processes and images", L"PROC_THREAD+LOADER+NETWORKTRACE"},
};

constexpr FieldHelp kFieldHelps[] = {
    {L"max-file-size-mb", L"Max File Size(MB)",
     L"Largest size of each session's log file, in MB (xperf -MaxFile); what happens at that size "
     L"depends on File Mode. 0 to 4294967295; default 256."},
    {L"buffer-size-kb", L"Buffer Size(KB)",
     L"Size of one trace buffer, in KB (xperf -BufferSize). 4 to 1024; default 64."},
    {L"max-buffers", L"Max Buffers(n)",
     L"Most trace buffers each session may use (xperf -MaxBuffers); ETW wants no fewer than Min "
     L"Buffers. 0 to 4294967295; default 320."},
    {L"min-buffers", L"Min Buffers(n)",
     L"Fewest trace buffers each session keeps (xperf -MinBuffers); ETW wants at least two per "
     L"processor, and no more than Max Buffers. 0 to 4294967295; default 64."},
    {L"log-stack", L"Log Stack",
     L"Records a call stack with the events of every selected provider. yes or no; default no."},
    {L"heap", L"Heap",
     L"Also traces the heap of the process in ProcessName or PID, in a session of its own. yes or "
     L"no; default no."},
    {L"kernel-path", L"Kernel Path",
     L"Log file of the kernel session; the script merges it into ETL Out Path. Must not be "
     L"empty, start with -, hold a \" or ! or end in \\; "
     L"cmd reads the script, so type %% for one %, and %~dp0 for the script's folder "
     L"(%~dp0trace.etl); no other % reference, as the prompt's variables are not Corvane's to "
     L"trust. "
     L"Default \\kernel.etl, on the drive that is current when the script runs."},
    {L"user-path", L"User Path",
     L"Log file of the provider session; the script merges it into ETL Out Path. Must not be "
     L"empty, start with -, hold a \" or ! or end in \\; "
     L"cmd reads the script, so type %% for one %, and %~dp0 for the script's folder "
     L"(%~dp0trace.etl); no other % reference, as the prompt's variables are not Corvane's to "
     L"trust. "
     L"Default \\user.etl, on the drive that is current when the script runs."},
    {L"etl-out-path", L"ETL Out Path",
     L"The merged trace that the script writes when it stops the sessions, and then opens. Must "
     L"not be empty, start with -, hold a \" or ! or end in \\; "
     L"cmd reads the script, so type %% for one %, and %~dp0 for the script's folder "
     L"(%~dp0trace.etl); no other % reference, as the prompt's variables are not Corvane's to "
     L"trust. "
     L"Default <desktop>\\YYYYMMDD_HHMMSS.etl at the time the defaults were set (off Windows a "
     L"profile must set it)."},
    {L"session-name", L"Session name",
     L"Name of the provider session, written without quotes: it may not start with -, and may "
     L"hold only ASCII, no blank, none of \" & | < > ^ !, and % only as %% (one %). Must not be "
     L"empty; default Vell."},
    {L"process-name-or-pid", L"ProcessName or PID",
     L"Whose heap is traced: a process id, or an image name (notepad or notepad.exe), which the "
     L"script "
     L"marks for heap tracing in the registry until it stops. A process id is written without "
     L"quotes and may hold only ASCII, none of \" & | < > ^ % ! nor an id starting with -; an "
     L"image name no \" or !. Must not be empty, even with Heap clear; default 0."},
    {L"heap-session-name", L"Heap Session Name",
     L"Name of the heap session, written without quotes: it may not start with -, and may hold "
     L"only ASCII, no blank, none of \" & | < > ^ !, and % only as %% (one %). Must not be empty, "
     L"even with Heap clear; default VellHeap."},
    {L"heap-path", L"Heap Path",
     L"Log file of the heap session; the script merges it into ETL Out Path. Must not be empty, "
     L"even with Heap clear, start with -, hold a \" or ! or end in \\; "
     L"cmd reads the script, so type %% for one %, and %~dp0 for the script's folder "
     L"(%~dp0trace.etl); no other % reference, as the prompt's variables are not Corvane's to "
     L"trust. "
     L"Default \\heap.etl, on the drive that is current when the script runs."},
    {L"file-mode", L"File Mode",
     L"How every session writes its log file (xperf -FileMode): Sequential, Circular, Append or "
     L"NewFile; default Sequential."},
    {L"kernel-flag", L"Kernel Flags/Groups",
     L"Kernel events to record, any number; a group stands for several flags (corvane-script "
     L"--list kernel --describe). None by default."},
    {L"stackwalk", L"Kernel Stackwalk",
     L"Kernel events that also record a call stack. A stack is recorded only for an event that a "
     L"selected flag emits: ReadyThread needs DISPATCHER, CSwitch needs CSWITCH (each entry's "
     L"tip, or corvane-script --list stackwalk --describe, names its flag). None by default."},
    {L"provider", L"Providers",
     L"Registered event providers to record in the provider session, any number. None by "
     L"default."},
};

struct FileModeRules {
    std::wstring_view mode;
    std::wstring_view text;
};

// ETW's rules for its log file modes, which xperf -FileMode names.
constexpr FileModeRules kFileModeRules[] = {
    {L"Sequential",
     L"Sequential: writes events one after another and stops writing when the file reaches Max "
     L"File Size."},
    {L"Circular",
     L"Circular: once the file reaches Max File Size, the newest events replace the oldest, so it "
     L"works within that size: set one above 0. On machines with several processors the events "
     L"in the file may be out of order."},
    {L"Append",
     L"Append: adds events to the end of an existing log file, or creates it. ETW gives the added "
     L"events the right times only with the system time as the session's clock, and only when "
     L"the buffer size, processor count and clock type match the file's. The script sets no "
     L"clock (xperf -ClockType), so xperf uses its default, the performance counter, and the "
     L"added events' times come out wrong. Prefer Sequential with a new file each time."},
    {L"NewFile",
     L"NewFile: switches to a new file each time the file reaches Max File Size, so it needs a "
     L"Max File Size above 0 and a %d in each log path, which ETW replaces with a counter. cmd "
     L"reads the script, so type %%d there (\\kernel%%d.etl). ETW's documentation says not to use "
     L"it for the kernel session."},
};

template <typename Entry, std::size_t N, typename Key>
const Entry* findByName(const Entry (&table)[N], std::wstring_view name, Key key) noexcept {
    const auto found = std::find_if(std::begin(table), std::end(table),
                                    [&](const Entry& entry) { return entry.*key == name; });
    return found == std::end(table) ? nullptr : found;
}

} // namespace

const KernelEntryDescription* describeKernelEntry(std::wstring_view name) noexcept {
    return findByName(kKernelEntries, name, &KernelEntryDescription::name);
}

const FieldHelp* fieldHelp(std::wstring_view key) noexcept {
    return findByName(kFieldHelps, key, &FieldHelp::key);
}

std::wstring_view fileModeHelp(std::wstring_view mode) noexcept {
    const FileModeRules* rules = findByName(kFileModeRules, mode, &FileModeRules::mode);
    return rules == nullptr ? std::wstring_view() : rules->text;
}

} // namespace corvane
