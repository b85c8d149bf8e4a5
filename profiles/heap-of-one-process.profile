# The heap of one process: every allocation, reallocation and free, with call stacks.
#
# Captures: a heap session for one process whose heap events (create, allocate, reallocate, free,
# destroy) each carry a call stack, and a kernel session with the Base group so that the viewer
# can tell the process's modules apart and decode the stacks.
#
# Use it when: a process's memory keeps growing, or it allocates so often that it gets slow, and
# you want to know which code allocates what and what is never freed.
#
# Change: process-name-or-pid, the program to watch - its image name without ".exe" or the
# number of a running process; and etl-out-path (drop the line on Windows to get a time-stamped
# file on the desktop).
# - By name, the script sets TracingFlags in the image's Image File Execution Options (and
#   deletes it at the end). Windows reads that value when a process starts, so start the program
#   only after the first key press; copies already running are not traced.
# - By process id, the heap of that running process is traced from the first key press on.
# Heap tracing is verbose: 1024 KB buffers, 128 of them, keep events from being lost. Keep the
# capture short.
#
# Make the script:  corvane-script heap-of-one-process.profile -o heap.cmd
# or for another program:  --set process-name-or-pid=myapp

etl-out-path = C:\traces\heap.etl
heap = yes
process-name-or-pid = notepad
kernel-flag = Base
buffer-size-kb = 1024
min-buffers = 128
max-buffers = 128
