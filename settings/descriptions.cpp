#include "settings/descriptions.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace corvane {
namespace {

// In catalogue order. The texts say what xperf.exe's own list of flags and groups and the
// Windows Performance Toolkit's documentation say, in our words; a group names its members only
// where a public document lists them.
constexpr KernelEntryDescription kKernelEntries[] = {
    {L"PROC_THREAD", L"Processes and threads as they are created and end", L""},
    {L"LOADER", L"Images (programs and DLLs) loaded and unloaded, in kernel and user mode", L""},
    {L"PROFILE", L"Periodic samples of what each CPU is running: the sampled CPU profile", L""},
    {L"CSWITCH", L"Every context switch: which thread leaves a CPU and which takes it", L""},
    {L"COMPACT_CSWITCH", L"Context switches in a smaller, compressed form; used with CSWITCH", L""},
    {L"DISPATCHER", L"The CPU scheduler's decisions, such as threads made ready to run", L""},
    {L"DPC", L"Deferred procedure calls that drivers queue to run later", L""},
    {L"INTERRUPT", L"Interrupts and the routines that service them", L""},
    {L"SYSCALL", L"Calls from programs into the kernel (system calls)", L""},
    {L"PRIORITY", L"Changes of thread priority", L""},
    {L"SPINLOCK", L"Collisions on kernel spin locks", L""},
    {L"KQUEUE", L"Items put on and taken off kernel queues", L""},
    {L"ALPC", L"Messages of advanced local procedure calls (ALPC) between processes", L""},
    {L"PERF_COUNTER", L"Performance counters of each process", L""},
    {L"DISK_IO", L"Disk reads, writes and flushes", L""},
    {L"DISK_IO_INIT", L"The moment each disk I/O is started", L""},
    {L"FILE_IO", L"When each file system operation ends, and its result", L""},
    {L"FILE_IO_INIT",
     L"File system operations as they are issued: create, open, read, write, close", L""},
    {L"HARD_FAULTS", L"Hard page faults: pages that had to be read from disk", L""},
    {L"FILENAME", L"File names as files are created and deleted, and a list of open names", L""},
    {L"SPLIT_IO", L"I/O requests that were split into several smaller ones", L""},
    {L"REGISTRY", L"Registry operations such as opening keys and reading or setting values", L""},
    {L"REG_HIVE", L"Registry hives as they are loaded, linked, flushed and unloaded", L""},
    {L"DRIVERS", L"Events of device drivers", L""},
    {L"POWER", L"Power management events", L""},
    {L"CC", L"The file cache manager: read-ahead, lazy writes and cache flushes", L""},
    {L"NETWORKTRACE", L"Network traffic: TCP and UDP sends and receives", L""},
    {L"VIRT_ALLOC", L"Virtual memory reserved and released", L""},
    {L"MEMINFO", L"Periodic summaries of the system's memory lists", L""},
    {L"ALL_FAULTS", L"All page faults: hard, copy-on-write, demand-zero and others", L""},
    {L"MEMINFO_WS", L"Working set sizes of processes", L""},
    {L"VAMAP", L"Files mapped into and out of address spaces", L""},
    {L"FOOTPRINT", L"Memory data for footprint analysis", L""},
    {L"MEMORY", L"Memory manager events", L""},
    {L"REFSET", L"Memory pages accessed, for reference set analysis", L""},
    {L"CONTMEMGEN", L"Generation of contiguous physical memory", L""},
    {L"POOL", L"Kernel pool allocations and frees", L""},
    {L"CPU_CONFIG", L"The processor configuration: NUMA nodes, groups and processor numbers", L""},
    {L"SESSION", L"Logon sessions as they are created and deleted", L""},
    {L"IDLE_STATES", L"CPU idle states entered and left", L""},
    {L"TIMER", L"Timers as they are set and expire", L""},
    {L"CLOCKINT", L"Clock interrupts", L""},
    {L"IPI", L"Interrupts sent from one processor to another (IPIs)", L""},
    {L"OPTICAL_IO", L"Optical drive I/O", L""},
    {L"OPTICAL_IO_INIT", L"The moment each optical drive I/O is started", L""},
    {L"FLT_IO_INIT", L"File system minifilter callbacks as they start", L""},
    {L"FLT_IO", L"File system minifilter callbacks as they complete", L""},
    {L"FLT_FASTIO", L"File system minifilter fast I/O callbacks as they complete", L""},
    {L"FLT_IO_FAILURE", L"File system minifilter callbacks that complete with a failure", L""},
    {L"HAL_CLOCK", L"The hardware abstraction layer's clock configuration", L""},
    {L"Base", L"A basic picture of processes, images, disk, hard faults, CPU samples and memory",
     L""},
    {L"Diag", L"A diagnostic picture of processes, images, disk, DPCs, interrupts and switches",
     L""},
    {L"DiagEasy", L"Processes, images, disk, hard faults, DPCs, interrupts, switches, counters",
     L"PROC_THREAD+LOADER+DISK_IO+HARD_FAULTS+DPC+INTERRUPT+CSWITCH+PERF_COUNTER"},
    {L"Latency", L"What delays work: disk, hard faults, DPCs, interrupts, switches, CPU samples",
     L""},
    {L"FileIO", L"File system operations with processes, images and disk activity", L""},
    {L"IOTrace", L"Disk and other I/O with processes, images and context switches", L""},
    {L"ResumeTrace", L"What the system does while it resumes from sleep or hibernation", L""},
    {L"SysProf", L"A sampled CPU profile with processes and images", L""},
    {L"ResidentSet", L"What keeps memory resident: the resident set of processes", L""},
    {L"ReferenceSet", L"Which memory pages a scenario touches: its reference set", L""},
    {L"Network", L"Network traffic with processes and images", L""},
};

constexpr FieldHelp kFieldHelps[] = {
    {L"max-file-size-mb", L"Max File Size(MB)",
     L"Largest size of each session's log file, in MB (xperf -MaxFile). What happens at that size "
     L"depends on File Mode. 0 to 4294967295; default 256."},
    {L"buffer-size-kb", L"Buffer Size(KB)",
     L"Size of one trace buffer, in KB (xperf -BufferSize). 4 to 1024; default 64."},
    {L"max-buffers", L"Max Buffers(n)",
     L"Most buffers each session may use (xperf -MaxBuffers). 0 to 4294967295; default 320."},
    {L"min-buffers", L"Min Buffers(n)",
     L"Buffers each session starts with (xperf -MinBuffers). 0 to 4294967295; default 64."},
    {L"log-stack", L"Log Stack",
     L"Records a call stack with every event of the selected providers. yes or no; default no."},
    {L"heap", L"Heap",
     L"Also traces the heap of the process named in ProcessName or PID, in a session of its own. "
     L"yes or no; default no."},
    {L"kernel-path", L"Kernel Path",
     L"Log file of the kernel session, merged into ETL Out Path when the trace stops. Must not be "
     L"empty; default \\kernel.etl on the drive that is current when the script runs."},
    {L"user-path", L"User Path",
     L"Log file of the provider session. Must not be empty; default \\user.etl on the drive that "
     L"is current when the script runs."},
    {L"etl-out-path", L"ETL Out Path",
     L"The merged trace that the script writes when it stops and then opens. Must not be empty; "
     L"default on Windows <desktop>\\YYYYMMDD_HHMMSS.etl, elsewhere a profile must set it."},
    {L"session-name", L"Session name",
     L"Name of the provider session; written without quotes, so no blanks. Must not be empty; "
     L"default Vell."},
    {L"process-name-or-pid", L"ProcessName or PID",
     L"Whose heap is traced: a process id, or an image name without .exe, which the script marks "
     L"for heap tracing in the registry until the trace stops. Must not be empty; default 0."},
    {L"heap-session-name", L"Heap Session Name",
     L"Name of the heap session; written without quotes, so no blanks. Must not be empty; default "
     L"VellHeap."},
    {L"heap-path", L"Heap Path",
     L"Log file of the heap session. Must not be empty; default \\heap.etl on the drive that is "
     L"current when the script runs."},
    {L"file-mode", L"File Mode",
     L"How every session writes its log file (xperf -FileMode): Sequential, Circular, Append or "
     L"NewFile; default Sequential."},
    {L"kernel-flag", L"Kernel Flags/Groups",
     L"Kernel events to record, any number; a group stands for several flags. One line per name "
     L"(corvane-script --list kernel --describe). None by default."},
    {L"stackwalk", L"Kernel Stackwalk",
     L"Kernel events that also record a call stack; they count only with a kernel flag or group "
     L"selected. One line per event (corvane-script --list stackwalk). None by default."},
    {L"provider", L"Providers",
     L"Registered event providers to record in the provider session, any number. One line per "
     L"provider name. None by default."},
};

struct FileModeRules {
    std::wstring_view mode;
    std::wstring_view text;
};

constexpr FileModeRules kFileModeRules[] = {
    {L"Sequential",
     L"Sequential: writes events one after the other and stops writing when the file reaches Max "
     L"File Size."},
    {L"Circular",
     L"Circular: when the file reaches Max File Size, the newest events overwrite the oldest. It "
     L"needs a Max File Size above 0."},
    {L"Append",
     L"Append: adds events to the end of an existing log file, or creates it. ETW documents it "
     L"only with the system time as clock, and the buffer size must match the file's."},
    {L"NewFile",
     L"NewFile: starts a new file each time the file reaches Max File Size, so it needs a Max File "
     L"Size above 0 and a %d in each log path for the file number. cmd reads the script, so type "
     L"it %%d: kernel%%d.etl."},
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
