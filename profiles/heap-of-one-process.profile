# The heap of one process: every allocation, reallocation and free, with call stacks.
#
# Captures: a heap session for one process whose heap events (create, allocate, reallocate, free,
# destroy) each carry a call stack, and a kernel session with the Base group, so that the viewer
# can tell the process's modules apart and decode the stacks, and VIRT_ALLOC with the stacks of
# VirtualAlloc and VirtualFree, where large blocks and the heap's own growth come from.
# Sources: Microsoft's "Enabling Heap Data Capture" (Windows Performance Toolkit) for the heap
# session and its 1024 KB buffers, and Microsoft's xperf example "Image File Execution Options",
# which records VIRT_ALLOC with VirtualAlloc stacks beside the heap.
#
# Use it when: a process's memory keeps growing, or it allocates so often that it gets slow, and
# you want to know which code allocates what and what is never freed.
#
# How long it records: Sequential mode stops recording, without a word, when a file reaches
# max-file-size-mb, and the heap file fills first. The script's heap line always asks for stacks
# on HeapCreate, HeapAlloc, HeapRealloc, HeapFree and HeapDestroy; Microsoft's example asks for
# HeapAlloc and HeapRealloc only. Nearly every block is freed again, so the free stacks roughly
# double the stack volume. A process that makes 25,000 allocations and 25,000 frees a second,
# each event about 60 bytes with a stack of about 300, writes about 18 MB a second: the 2048 MB
# heap file is full after about 2 minutes. Keep the capture short, or trace a quieter scenario.
# Microsoft's example uses 128 buffers of 1024 KB; that is only about 7 seconds at this rate
# while the disk falls behind, so this profile lets each session grow to 512 buffers. The script
# starts two sessions (kernel and heap), so that is up to 1 GB of memory that Windows never pages
# out, 256 MB of it from the start.
#
# Change: process-name-or-pid, the program to watch - its image name without ".exe" or the
# number of a running process; and etl-out-path (drop the line on Windows to get a time-stamped
# file on the desktop).
# - By name, the script sets TracingFlags in the image's Image File Execution Options (and
#   deletes it at the end). Windows reads that value when a process starts, so start the program
#   only after the first key press; copies already running are not traced.
# - By process id, the heap of that running process is traced from the first key press on.
#
# At the start: xperf 256 MB, WPR 256 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script heap-of-one-process.profile -o heap.cmd
# or for another program:  --set process-name-or-pid=myapp

etl-out-path = C:\traces\heap.etl
heap = yes
process-name-or-pid = notepad
max-file-size-mb = 2048
buffer-size-kb = 1024
min-buffers = 128
max-buffers = 512
kernel-flag = VIRT_ALLOC
kernel-flag = Base
stackwalk = VirtualAlloc
stackwalk = VirtualFree
