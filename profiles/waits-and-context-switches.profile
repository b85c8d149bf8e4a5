# Waits and context switches, with the call stacks of both sides.
#
# Captures: every context switch (CSWITCH) with the call stack of the thread that was switched in,
# the ready-thread events (DISPATCHER: the flag that records them) with the stack of the thread
# that made a waiting thread ready again, CPU samples with their stacks (PROFILE), the process,
# thread and image-load events (PROC_THREAD, LOADER), and the file operations as they are issued
# and as they end, with the files' names (FILE_IO_INIT, FILE_IO, FILENAME), so that a wait on a
# file shows which file it was.
# Sources: Microsoft's kernel event classes (CSwitch comes from CSWITCH, ReadyThread from
# DISPATCHER, the file events from FILE_IO and FILE_IO_INIT); the buffers follow a widely used
# third-party ETW front end (UIforETW), which records the same stacks into 1 MB buffers, 600 to
# 1,200 of them; this profile lets them grow to 1,024, a gigabyte.
#
# Use it when: a program is slow or hangs while the processor is mostly idle - it waits for a
# lock, an event, another thread, a disk or the network. The switch-in stack shows where a thread
# waited, the ready-thread stack shows who woke it and when.
#
# How long it records: the trace runs in Circular mode, so each file keeps only its newest
# max-file-size-mb. A busy 8-processor desktop makes about 20,000 context switches and 15,000
# ready-thread events a second, each with a stack of about 300 bytes, beside 8,000 CPU samples
# with stacks and a few thousand file operations: about 16 MB a second. The 2048 MB file then
# holds the last 2 minutes or so: start the capture, make the hang happen, and stop within a
# minute or two of it. The buffers take 600 MB of memory that Windows never pages out (non-paged)
# from the start and, with xperf, up to 1 GB under load; on a machine with less than 8 GB of
# memory, halve both with --set min-buffers=300 --set max-buffers=512.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop), and
# max-file-size-mb for a longer or shorter window of time.
#
# At the start: xperf 600 MB, WPR 600 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script waits-and-context-switches.profile -o waits.cmd

etl-out-path = C:\traces\waits.etl
file-mode = Circular
max-file-size-mb = 2048
buffer-size-kb = 1024
min-buffers = 600
max-buffers = 1024
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = PROFILE
kernel-flag = CSWITCH
kernel-flag = DISPATCHER
kernel-flag = FILE_IO
kernel-flag = FILE_IO_INIT
kernel-flag = FILENAME
stackwalk = CSwitch
stackwalk = ReadyThread
stackwalk = Profile
