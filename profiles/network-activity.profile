# Network activity: which process sends and receives how much, and which code opened the sockets.
#
# Captures: the kernel's TCP and UDP events (NETWORKTRACE: each send, receive, connect, accept,
# disconnect and retransmit, with the process, the addresses and the size), the processes and
# images (PROC_THREAD, LOADER), and the Microsoft-Windows-Winsock-AFD provider in a session of its
# own, with a call stack on each of its events (log-stack). The provider is enabled at its
# information level: socket creation, bind, connect, close, aborts and errors. Its verbose level
# adds an event for every send and receive: change level=information to level=verbose for those.
# Sources: xperf's Network group (PROC_THREAD+LOADER+NETWORKTRACE) and Microsoft's TcpIp and UdpIp
# kernel event classes; Microsoft's "Winsock Tracing" documentation (Windows Vista and later) for
# the Winsock provider, and its "Winsock Tracing Levels" page for what each level records; WPR's
# built-in "Networking I/O activity" profile.
#
# Use it when: a program waits on the network, sends or receives more than it should, or you want
# to know which program talks to which address.
#
# How long it records: Sequential mode stops recording, without a word, when a file reaches
# max-file-size-mb. At 10,000 TCP and UDP sends and receives a second (about 60 bytes each) the
# kernel file grows by about 0.6 MB a second and lasts about half an hour. At the information level
# the provider file grows only as sockets come and go: at 50 such events a second, about 400 bytes
# each with its stack, it lasts over 10 hours. At the verbose level each send and receive adds an
# event of about 400 bytes with its stack, about 4 MB a second at that rate, and the provider file
# is full after about 4 minutes, long before the kernel file.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop).
#
# At the start: xperf 128 MB, WPR 128 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script network-activity.profile -o network.cmd

etl-out-path = C:\traces\network.etl
max-file-size-mb = 1024
buffer-size-kb = 1024
min-buffers = 64
max-buffers = 128
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = NETWORKTRACE
provider = "Microsoft-Windows-Winsock-AFD" level=information
log-stack = yes
