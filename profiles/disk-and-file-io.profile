# Disk and file I/O, with the call stacks that started it, and the time minifilters take.
#
# Captures: file-system requests as programs make them (FILE_IO, FILE_IO_INIT: create, read,
# write, flush, close, rename, delete...), the requests that reach the disk (DISK_IO, DISK_IO_INIT),
# hard page faults (HARD_FAULTS), the callbacks of the file-system minifilters such as anti-malware
# (FLT_IO_INIT, FLT_IO, FLT_FASTIO), and the names of the files (FILENAME) and of the processes and
# modules (PROC_THREAD, LOADER). Stacks are recorded for each disk read, write and flush, each file
# create, read and write, each hard fault, and each minifilter callback as it starts and as its
# completion starts (MiniFilterPreOpInit, MiniFilterPostOpInit).
# Sources: Microsoft's kernel event classes (DiskIo, FileIo, PageFault); the minifilter flags and
# stacks follow Microsoft's NT Debugging blog "Hotfix to Enable Mini-Filter Performance
# Diagnostics With XPerf for Windows Server 2008R2" (2012) and WPR's built-in "Minifilter I/O
# activity" profile; Raymond Chen, The Old New Thing, 2020-11-26, on whom disk I/O is charged to.
#
# What the stacks show: a read or write that a program makes itself has its stack in the program.
# Much disk I/O is not made that way: the cache manager writes changed file data later (lazy
# writes) and reads ahead of a program that reads a file in order, and that I/O is charged to the
# System process, so its stacks are those of system threads. Look for the program in the file I/O
# instead: its FileWrite and FileRead stacks. A read served from the file cache shows up as file
# I/O only, never as disk I/O. Minifilter time (anti-malware and the like) shows in the minifilter
# events only: Windows 8 and later record them; Windows 7 and Server 2008 R2 only with Microsoft's
# hotfix KB 2666390.
#
# Use it when: a program waits for the disk, starts slowly or does more I/O than it should, or
# you want to know who keeps the disk busy or what an anti-malware filter costs.
#
# How long it records: Sequential mode stops recording, without a word, when a file reaches
# max-file-size-mb. At 5,000 file operations, 500 disk I/Os and 200 hard faults a second, each
# file operation seen by two minifilters (four events each, two with stacks), and stacks of about
# 300 bytes, the kernel file grows by about 10 MB a second: the 2048 MB file is full after about
# 3 minutes. The 512 buffers of 1 MB hold about 50 seconds while the disk falls behind.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop), and
# kernel-path if the trace should not be written to the disk you are measuring.
#
# At the start: xperf 64 MB, WPR 64 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script disk-and-file-io.profile -o disk-io.cmd

etl-out-path = C:\traces\disk-and-file-io.etl
max-file-size-mb = 2048
buffer-size-kb = 1024
min-buffers = 64
max-buffers = 512
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = DISK_IO
kernel-flag = DISK_IO_INIT
kernel-flag = FILE_IO
kernel-flag = FILE_IO_INIT
kernel-flag = HARD_FAULTS
kernel-flag = FILENAME
kernel-flag = FLT_IO_INIT
kernel-flag = FLT_IO
kernel-flag = FLT_FASTIO
stackwalk = DiskReadInit
stackwalk = DiskWriteInit
stackwalk = DiskFlushInit
stackwalk = FileCreate
stackwalk = FileRead
stackwalk = FileWrite
stackwalk = HardFault
stackwalk = MiniFilterPreOpInit
stackwalk = MiniFilterPostOpInit
