# Disk and file I/O, with the call stacks that started it.
#
# Captures: file-system requests as programs make them (FILE_IO, FILE_IO_INIT: create, read,
# write, flush, close, rename, delete...), the requests that reach the disk (DISK_IO, DISK_IO_INIT)
# and hard page faults (HARD_FAULTS), with the names of the files (FILENAME) and of the processes
# and modules (PROC_THREAD, LOADER). The stacks show which code asked for each disk read, write
# and flush and for each file create, read and write.
#
# Use it when: a program waits for the disk, starts slowly or does more I/O than it should, or
# you want to know who keeps the disk busy. A read served from the file cache shows up as file
# I/O only, never as disk I/O; time spent in filters above the file system (anti-malware) is in
# neither.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop), and
# kernel-path if the trace should not be written to the disk you are measuring.
#
# Make the script:  corvane-script disk-and-file-io.profile -o disk-io.cmd

etl-out-path = C:\traces\disk-and-file-io.etl
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = DISK_IO
kernel-flag = DISK_IO_INIT
kernel-flag = FILE_IO
kernel-flag = FILE_IO_INIT
kernel-flag = HARD_FAULTS
kernel-flag = FILENAME
stackwalk = DiskReadInit
stackwalk = DiskWriteInit
stackwalk = DiskFlushInit
stackwalk = FileCreate
stackwalk = FileRead
stackwalk = FileWrite
