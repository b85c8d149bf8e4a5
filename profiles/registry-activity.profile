# Registry activity: which code creates, opens, reads and writes which keys and values.
#
# Captures: the registry operations of every process (REGISTRY) - create, open, query, set,
# delete, enumerate - each with the key's name and a call stack, and the processes and images
# (PROC_THREAD, LOADER) that the stacks are decoded with.
# Sources: Microsoft's kernel event class "Registry" (its event types: create, open, delete,
# query, set value, delete value, query value, enumerate key, enumerate value key and more, all
# from REGISTRY) and WPR's built-in "Registry I/O activity" profile.
#
# Use it when: a program starts slowly or is slow at some step and you suspect it reads or writes
# the registry too often, or you want to know who changes a setting.
#
# How long it records: Sequential mode stops recording, without a word, when the file reaches
# max-file-size-mb. A busy desktop makes about 10,000 registry operations a second, each about
# 100 bytes with the key's name and about 300 with its stack: about 4 MB a second, so the 1024 MB
# file is full after about 4 minutes.
#
# Change: etl-out-path (drop the line on Windows to get a time-stamped file on the desktop).
#
# At the start: xperf 64 MB, WPR 64 MB of memory that Windows never pages out.
#
# Make the script:  corvane-script registry-activity.profile -o registry.cmd

etl-out-path = C:\traces\registry.etl
max-file-size-mb = 1024
buffer-size-kb = 1024
min-buffers = 64
max-buffers = 256
kernel-flag = PROC_THREAD
kernel-flag = LOADER
kernel-flag = REGISTRY
stackwalk = RegCreateKey
stackwalk = RegOpenKey
stackwalk = RegQueryKey
stackwalk = RegQueryValue
stackwalk = RegSetValue
stackwalk = RegDeleteKey
stackwalk = RegDeleteValue
stackwalk = RegEnumerateKey
stackwalk = RegEnumerateValueKey
