# CPU use with sampled call stacks.
#
# Captures: the kernel's sampling profiler (PROFILE: by default every running processor is
# interrupted about once a millisecond and the code it was running is recorded) with a call stack
# for every sample, plus the process, thread and image-load events (PROC_THREAD, LOADER) that the
# viewer needs to tell which process and which module each address belongs to. These are the
# flags of xperf's SysProf group; the 1024 KB buffers are those of WPR's built-in CPU usage
# profile (`wpr -profiledetails CPU`, shown in Microsoft's "Logging Mode" page of the Windows
# Performance Toolkit documentation).
#
# Use it when: a program or the whole machine is busy and you want to know which code spends
# the processor's time. It does not show time spent waiting: for hangs with an idle processor
# take waits-and-context-switches.profile.
#
# How long it records: Sequential mode stops recording, without a word, when the file reaches
# max-file-size-mb. With 8 logical processors all busy there are 8,000 samples a second, each
# about 340 bytes with its stack (a sample of about 40 bytes and a stack of about 300: some 35
# frames of 8 bytes on 64-bit Windows), about 2.7 MB a second: the 1024 MB file is full after
# about 6 minutes. An idle processor takes no samples, so a machine with less to do records for
# longer. The 256 buffers of 1 MB hold about 90 seconds of samples while the disk falls behind.
#
# Change: etl-out-path, where the merged trace goes (drop the line on Windows to get a time-stamped
# file on the desktop). Nothing names a process: the samples cover every process, and you pick
# yours in the viewer. On 64-bit Windows 7 (not 8 and later) stack walks need the registry value
# DisablePagingExecutive = 1 under HKLM\System\CurrentControlSet\Control\Session Manager\
# Memory Management and a restart; set it back to 0 (and restart) when you are done capturing.
# This holds for every profile here that records stacks.
#
# At the start: xperf 64 MB, WPR 64 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script cpu-sampling.profile -o cpu-sampling.cmd
# or with another output:  --set "etl-out-path=D:\traces\cpu.etl"

etl-out-path = C:\traces\cpu-sampling.etl
max-file-size-mb = 1024
buffer-size-kb = 1024
min-buffers = 64
max-buffers = 256
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = PROFILE
stackwalk = Profile
