# CPU use with sampled call stacks.
#
# Captures: the kernel's sampling profiler (PROFILE: by default every running processor is
# interrupted about once a millisecond and the code it was running is recorded) with a call stack
# for every sample, plus the process, thread and image-load events (PROC_THREAD, LOADER) that the
# viewer needs to tell which process and which module each address belongs to.
#
# Use it when: a program or the whole machine is busy and you want to know which code spends
# the processor's time. It does not show time spent waiting: for hangs with an idle processor
# take waits-and-context-switches.profile.
#
# Change: etl-out-path, where the merged trace goes (drop the line on Windows to get a time-stamped
# file on the desktop). Nothing names a process: the samples cover every process, and you pick
# yours in the viewer. On 64-bit Windows 7 (not 8 and later) stack walks need the registry value
# DisablePagingExecutive = 1 under HKLM\System\CurrentControlSet\Control\Session Manager\
# Memory Management and a restart; this holds for every profile here that records stacks.
#
# Make the script:  corvane-script cpu-sampling.profile -o cpu-sampling.cmd
# or with another output:  --set "etl-out-path=D:\traces\cpu.etl"

etl-out-path = C:\traces\cpu-sampling.etl
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = PROFILE
stackwalk = Profile
