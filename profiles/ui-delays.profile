# UI delays: why a window stops answering, with the graphics work beside it.
#
# Captures: the Microsoft-Windows-Win32k provider (windows that stop handling their messages, and
# which window is active) and the Microsoft-Windows-DxgKrnl provider (the DirectX graphics
# kernel's events about the work given to the GPU), together with context switches and
# ready-thread events with their stacks and stack-sampled CPU use, so that a delay can be followed
# from the window to its thread, and from the thread to what it ran or waited for.
# Win32k is masked (keywords 0xfdffffffefffffff): without the mask its critical-section events
# are about three quarters of what it logs, some 33,000 a second in one measurement, and its file
# would cover too short a time to overlap the kernel's. DxgKrnl is taken with keywords 0xFFFF at
# level 5 (verbose) for the whole capture. capture-state asks both, once the session runs, for the
# state they hold: otherwise the window that has the focus when the capture starts is never named,
# and on Windows 8 and later DxgKrnl's description of the adapters and their work is missing.
# Microsoft's own GPU capture script (log.cmd beside GPUView, in the Windows Performance Toolkit)
# runs DxgKrnl with a lighter mask and asks for the full one only when it requests the state. A
# profile here cannot split them, as its capture-state line repeats the start line's entries, so
# this one keeps the full mask for both: the state is complete, and the running session logs more.
# Sources: xperf's documented -on form Name:Flags:Level and its -capturestate command (Microsoft,
# "xperf start", Windows Performance Toolkit reference), which names a running session and enables
# the listed providers while it captures their state; Microsoft's "Generating a Trace for GPUView"
# for log.cmd; the Win32k mask, the DxgKrnl keywords and level and the capture-state call after the
# start follow the public setup of a widely used third-party ETW front end (UIforETW); the kernel
# part as in waits-and-context-switches.profile.
#
# Use it when: a window hangs, stutters or paints late.
#
# How long it records: the trace runs in Circular mode, so each file keeps only its newest
# max-file-size-mb. A busy 8-processor desktop makes about 20,000 context switches and 15,000
# ready-thread events a second, each with a stack of about 300 bytes, beside 8,000 CPU samples with
# stacks: about 16 MB a second in the kernel file, whose 2048 MB then hold the last 2 minutes or
# so. The masked Win32k and DxgKrnl log some 10,000 events a second while windows are busy, about
# 2 MB a second, so the provider file reaches back some 15 minutes. That is not assured: DxgKrnl at
# its full mask and verbose level logs with the GPU's work, and under heavy drawing (a game, a
# video) it can log so much that the provider file covers less time than the kernel file. Look at
# where each file's events start in the trace; if the provider file starts later, take DxgKrnl at
# a lighter mask or level for that capture. Start the capture, work until the delay happens, and
# stop within a minute of it. Each session starts with 128 buffers of 1 MB that Windows never pages
# out (256 MB for the two) and may grow to 512 under load, a gigabyte for the two; on a machine
# with less than 8 GB of memory halve both with --set min-buffers=64 --set max-buffers=256.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop);
# max-file-size-mb for a longer or shorter window of time; stack=on after a provider's keywords
# to record a call stack with its events too, which makes the trace much larger.
#
# At the start: xperf 256 MB, WPR 256 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script ui-delays.profile -o ui-delays.cmd

etl-out-path = C:\traces\ui-delays.etl
file-mode = Circular
max-file-size-mb = 2048
buffer-size-kb = 1024
min-buffers = 128
max-buffers = 512
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = PROFILE
kernel-flag = CSWITCH
kernel-flag = DISPATCHER
stackwalk = CSwitch
stackwalk = ReadyThread
stackwalk = Profile
provider = "Microsoft-Windows-Win32k" keywords=0xfdffffffefffffff
provider = "Microsoft-Windows-DxgKrnl" keywords=0xFFFF level=5
capture-state = yes
