# A first capture when the cause is not known yet: CPU, waits, disk, DPCs and memory at once.
#
# Captures: the kernel flags of WPR's built-in "First level triage" profile that xperf has names
# for - processes, threads and images (PROC_THREAD, LOADER), CPU samples (PROFILE), context
# switches and ready-thread events (CSWITCH, DISPATCHER), thread priorities (PRIORITY), kernel
# queues (KQUEUE), per-process counters (PERF_COUNTER), disk I/O and hard faults (DISK_IO,
# HARD_FAULTS), DPCs and interrupts (DPC, INTERRUPT), power (POWER), memory lists and working sets
# (MEMINFO, MEMINFO_WS) and the processor layout (CPU_CONFIG) - with stacks on CPU samples,
# context switches, ready threads, kernel queues and disk reads, writes and flushes, as that
# profile records them. xperf takes the disk stacks on the Init events, which DISK_IO_INIT
# records, so that flag is added.
# Sources: WPR's "First level triage" profile (its flags and stacks as `xperf -loggers` lists
# them while WPR 6.3 records it); Microsoft's kernel event classes for which flag feeds which
# stack.
#
# Use it when: something is slow and you do not yet know whether it is the processor, a wait, the
# disk, a driver or memory. Look at the trace, then take the narrower profile that fits.
#
# How long it records: the trace runs in Circular mode, like WPR's default recording to memory,
# so each file keeps only its newest max-file-size-mb. A busy 8-processor desktop makes about
# 20,000 context switches and 15,000 ready-thread events a second with stacks of about 300 bytes,
# 8,000 CPU samples with stacks, a few hundred disk I/Os and some 10,000 DPCs and interrupts:
# about 17 MB a second. The 2048 MB file then holds the last 2 minutes or so: start the capture,
# make the problem happen, and stop within a minute or two of it. The buffers are 1 MB each, as
# in WPR's CPU profile; 256 of them are taken from memory that Windows never pages out at the
# start, up to 1024 under load with xperf.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop), and
# max-file-size-mb for a longer or shorter window of time.
#
# At the start: xperf 256 MB, WPR 256 MB of memory that Windows never pages out.
#
# A flight recorder with --recorder wpr: --set wpr-logging=memory keeps the newest events in
# WPR's 1024 buffers of 1 MB (about the last minute at this rate) and writes them at the
# second key; see docs/wpr.md.
#
# Make the script:  corvane-script first-look.profile -o first-look.cmd

etl-out-path = C:\traces\first-look.etl
file-mode = Circular
max-file-size-mb = 2048
buffer-size-kb = 1024
min-buffers = 256
max-buffers = 1024
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = PROFILE
kernel-flag = CSWITCH
kernel-flag = DISPATCHER
kernel-flag = DPC
kernel-flag = INTERRUPT
kernel-flag = PRIORITY
kernel-flag = KQUEUE
kernel-flag = PERF_COUNTER
kernel-flag = DISK_IO
kernel-flag = DISK_IO_INIT
kernel-flag = HARD_FAULTS
kernel-flag = POWER
kernel-flag = MEMINFO
kernel-flag = MEMINFO_WS
kernel-flag = CPU_CONFIG
stackwalk = CSwitch
stackwalk = ReadyThread
stackwalk = Profile
stackwalk = KernelQueueEnqueue
stackwalk = KernelQueueDequeue
stackwalk = DiskReadInit
stackwalk = DiskWriteInit
stackwalk = DiskFlushInit
