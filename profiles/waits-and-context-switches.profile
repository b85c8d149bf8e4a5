# Waits and context switches, with the call stacks of both sides.
#
# Captures: every context switch (CSWITCH) with the call stack of the thread that was switched in,
# the ready-thread events (DISPATCHER) with the stack of the thread that made a waiting thread
# ready again, and the Base group (process, thread and image-load events, the sampling profiler
# and more) with a stack for each CPU sample.
#
# Use it when: a program is slow or hangs while the processor is mostly idle - it waits for a
# lock, an event, another thread, a disk or the network. The switch-in stack shows where a thread
# waited, the ready-thread stack shows who woke it and when.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop).
# Context switches are frequent: keep the capture short, or raise max-buffers if the viewer
# reports lost events.
#
# Make the script:  corvane-script waits-and-context-switches.profile -o waits.cmd

etl-out-path = C:\traces\waits.etl
kernel-flag = CSWITCH
kernel-flag = DISPATCHER
kernel-flag = Base
stackwalk = CSwitch
stackwalk = ReadyThread
stackwalk = Profile
