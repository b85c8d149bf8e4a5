# Kernel pool: which driver allocates paged and non-paged pool, and what it never frees.
#
# Captures: every pool allocation and free (POOL) with its tag, size and call stack, the session
# pool's as well (PoolAllocSession, PoolFreeSession), and the processes and images (PROC_THREAD,
# LOADER) that name the drivers in the stacks.
# Sources: Microsoft's NT Debugging blog "Troubleshooting Pool Leaks Part 7 - Windows Performance
# Toolkit" (2012; pool tracing with xperf from Windows 7 and Server 2008 R2 on, in a circular log)
# and WPR's built-in "Pool usage" profile. WPR profiles can limit pool tracing to up to four tags
# (<PoolTags>); the scripts written here record every tag.
#
# Use it when: Task Manager or poolmon shows paged or non-paged pool growing, and you want the
# stacks that allocate the growing tag.
#
# How long it records: the trace runs in Circular mode, so each file keeps only its newest
# max-file-size-mb. About 20,000 pool allocations and frees a second, each about 50 bytes with a
# stack of about 300, come to about 7 MB a second: the 2048 MB file holds the last 5 minutes or
# so. Blocks allocated in that window and never freed are the leak's candidates: start the
# capture, let the pool grow for a few minutes, and stop.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop), and
# max-file-size-mb for a longer or shorter window of time.
#
# At the start: xperf 64 MB, WPR 64 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script kernel-pool.profile -o pool.cmd

etl-out-path = C:\traces\pool.etl
file-mode = Circular
max-file-size-mb = 2048
buffer-size-kb = 1024
min-buffers = 64
max-buffers = 512
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = POOL
stackwalk = PoolAlloc
stackwalk = PoolFree
stackwalk = PoolAllocSession
stackwalk = PoolFreeSession
