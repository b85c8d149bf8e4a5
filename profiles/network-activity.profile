# Network activity: which process sends and receives how much, and which code opened the sockets.
#
# Captures: the kernel's TCP and UDP events (NETWORKTRACE: each send, receive, connect, accept,
# disconnect and retransmit, with the process, the addresses and the size), the processes and
# images (PROC_THREAD, LOADER), and the Microsoft-Windows-Winsock-AFD provider in a session of its
# own, with a call stack on each of its events (log-stack): socket creation, bind, connect, close,
# aborts and errors, and sends and receives when it is enabled at its verbose level.
# Sources: xperf's Network group (PROC_THREAD+LOADER+NETWORKTRACE) and Microsoft's TcpIp and UdpIp
# kernel event classes; Microsoft's "Winsock Tracing" documentation (Windows Vista and later) for
# the Winsock provider and its levels; WPR's built-in "Networking I/O activity" profile.
#
# Use it when: a program waits on the network, sends or receives more than it should, or you want
# to know which program talks to which address.
#
# How long it records: Sequential mode stops recording, without a word, when a file reaches
# max-file-size-mb. At 10,000 TCP and UDP sends and receives a second (about 60 bytes each) the
# kernel file grows by about 0.6 MB a second and lasts about half an hour. The provider file
# grows by a few events a second while only sockets come and go; if the provider is enabled at
# its verbose level, each send and receive adds an event of about 400 bytes with its stack, about
# 4 MB a second at that rate, and the 1024 MB file is full after about 4 minutes.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop).
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
provider = Microsoft-Windows-Winsock-AFD
log-stack = yes
