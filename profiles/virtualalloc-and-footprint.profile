# VirtualAlloc and memory footprint: who reserves and commits memory, and how the machine's
# memory is used meanwhile.
#
# Captures: every VirtualAlloc and VirtualFree of every process with its call stack (VIRT_ALLOC),
# the state of the system's memory lists (MEMINFO), the working set of each process (MEMINFO_WS:
# its footprint, how much of its memory is resident), hard page faults (HARD_FAULTS: what memory
# pressure costs), and the processes and images (PROC_THREAD, LOADER) that the stacks are decoded
# with. The viewer turns the VirtualAlloc and VirtualFree pairs into the commit that
# each stack still holds at any moment.
# Sources: WPR's built-in "VirtualAlloc usage" profile, as Microsoft's "Memory Footprint
# Optimization, Exercise 2: Track User Mode Process Allocations" records it (beside "Heap usage");
# Microsoft's kernel event classes (PageFault_VirtualAlloc: VirtualAlloc and VirtualFree come
# from VIRT_ALLOC); xperf's list of kernel flags for MEMINFO_WS, which its Base group holds beside
# MEMINFO.
#
# Use it when: a process's commit or private bytes keep growing, or the machine runs short of
# memory, and you want to know which code reserves and commits it. Heap blocks are carved out of
# VirtualAlloc'd memory, so a heap that grows shows here as its VirtualAlloc calls; for the single
# heap blocks of one process take heap-of-one-process.profile.
#
# How long it records: Sequential mode stops recording, without a word, when the file reaches
# max-file-size-mb. About 2,000 VirtualAlloc and VirtualFree calls a second across the machine,
# each about 70 bytes with a stack of about 300, plus the memory, working-set and fault events,
# come to under 1 MB a second: the 1024 MB file is full after about 20 minutes, long enough to
# watch memory grow.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop).
#
# At the start: xperf 64 MB, WPR 64 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script virtualalloc-and-footprint.profile -o virtualalloc.cmd

etl-out-path = C:\traces\virtualalloc.etl
max-file-size-mb = 1024
buffer-size-kb = 1024
min-buffers = 64
max-buffers = 128
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = HARD_FAULTS
kernel-flag = VIRT_ALLOC
kernel-flag = MEMINFO
kernel-flag = MEMINFO_WS
stackwalk = VirtualAlloc
stackwalk = VirtualFree
