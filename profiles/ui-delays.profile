# UI delays: why a window stops answering, with the graphics work beside it.
#
# Captures: the Microsoft-Windows-Win32k provider (windows that stop handling their messages, and
# which window is active) and the Microsoft-Windows-DxgKrnl provider (the DirectX graphics
# kernel's events about the work given to the GPU), together with context switches and
# ready-thread events with their stacks and stack-sampled CPU use, so that a delay can be followed
# from the window to its thread, and from the thread to what it ran or waited for.
#
# Use it when: a window hangs, stutters or paints late. The trace is written in Circular mode:
# each session keeps only its newest 256 MB (max-file-size-mb), so start the capture, work until
# the delay happens, and stop right after it.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop);
# max-file-size-mb for a longer or shorter window of time; log-stack = yes to record a call stack
# with every provider event too, which makes the trace much larger.
#
# Make the script:  corvane-script ui-delays.profile -o ui-delays.cmd

etl-out-path = C:\traces\ui-delays.etl
file-mode = Circular
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = PROFILE
kernel-flag = CSWITCH
kernel-flag = DISPATCHER
stackwalk = CSwitch
stackwalk = ReadyThread
stackwalk = Profile
provider = Microsoft-Windows-Win32k
provider = Microsoft-Windows-DxgKrnl
