# DPC and interrupt latency: which driver holds a processor in a DPC or an interrupt routine.
#
# Captures: every deferred procedure call (DPC) and interrupt service routine (INTERRUPT) with the
# module it ran in and how long it took, CPU samples with their stacks (PROFILE: a sample taken
# inside a long DPC shows the driver code that ran), context switches and ready-thread events
# without stacks (CSWITCH, DISPATCHER: how late a thread ran after it was made ready), and the
# processes and images (PROC_THREAD, LOADER) that name the drivers.
# Sources: Microsoft's WDK "Example 15: Measuring DPC/ISR Time" (the DPC and interrupt events;
# Microsoft asks that DPCs run no longer than 100 microseconds and ISRs no longer than 25) and
# xperf's dpcisr action (xperf -i trace.etl -a dpcisr) for a text report of the trace; the flags
# are those of xperf's Latency group without the disk and hard faults, plus DISPATCHER.
#
# Use it when: audio crackles, video stutters, input lags or a device drops data, and the cause
# looks like a driver rather than a program.
#
# How long it records: the trace runs in Circular mode, so each file keeps only its newest
# max-file-size-mb. About 10,000 DPCs and interrupts a second (about 50 bytes each), 8,000 CPU
# samples with stacks (about 340 bytes each) and 35,000 switch and ready-thread events (about
# 60 bytes each) come to about 5.5 MB a second: the 1024 MB file holds the last 3 minutes or so.
# Start the capture, wait for the glitch, and stop within a minute or two of it.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop), and
# max-file-size-mb for a longer or shorter window of time.
#
# At the start: xperf 64 MB, WPR 64 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script dpc-isr-latency.profile -o dpc-isr.cmd

etl-out-path = C:\traces\dpc-isr-latency.etl
file-mode = Circular
max-file-size-mb = 1024
buffer-size-kb = 1024
min-buffers = 64
max-buffers = 256
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = PROFILE
kernel-flag = CSWITCH
kernel-flag = DISPATCHER
kernel-flag = DPC
kernel-flag = INTERRUPT
stackwalk = Profile
