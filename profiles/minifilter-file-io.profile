# File-system minifilters: what anti-malware, backup and encryption filters cost each file access.
#
# Captures: each minifilter callback as it starts and as it completes (FLT_IO_INIT, FLT_IO), the
# fast I/O callbacks (FLT_FASTIO) and the callbacks that fail (FLT_IO_FAILURE), with a call stack
# when a pre-operation and a post-operation callback start (MiniFilterPreOpInit,
# MiniFilterPostOpInit), the names of the files (FILENAME), and the processes and images
# (PROC_THREAD, LOADER) that name the filter drivers.
# Sources: the xperf command of Microsoft's NT Debugging blog "Hotfix to Enable Mini-Filter
# Performance Diagnostics With XPerf for Windows Server 2008R2" (2012, hotfix KB 2666390), which
# this profile takes as it is, and WPR's built-in "Minifilter I/O activity" profile.
#
# Use it when: opening, reading or saving files is slow, and you suspect a filter driver - the
# time a filter spends shows up nowhere else: not in disk I/O, and in file I/O only as a longer
# operation. Windows 8 and later record these events; Windows 7 and Server 2008 R2 only with the
# hotfix KB 2666390. For the file operations themselves take disk-and-file-io.profile.
#
# How long it records: Sequential mode stops recording, without a word, when the file reaches
# max-file-size-mb. At 5,000 file operations a second, each seen by two minifilters with four
# events each (about 60 bytes), two of them with a stack of about 300 bytes, the file grows by
# about 8.5 MB a second: the 2048 MB file is full after about 4 minutes. The 512 buffers of 1 MB
# hold about a minute while the disk falls behind.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop), and
# kernel-path if the trace should not be written to the disk you are measuring (the blog advises
# another drive).
#
# At the start: xperf 64 MB, WPR 64 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script minifilter-file-io.profile -o minifilter.cmd

etl-out-path = C:\traces\minifilter-file-io.etl
max-file-size-mb = 2048
buffer-size-kb = 1024
min-buffers = 64
max-buffers = 512
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = FILENAME
kernel-flag = FLT_IO_INIT
kernel-flag = FLT_IO
kernel-flag = FLT_FASTIO
kernel-flag = FLT_IO_FAILURE
stackwalk = MiniFilterPreOpInit
stackwalk = MiniFilterPostOpInit
