// The help on recording with wpr.exe, which --help prints and --template puts into its comments.
#pragma once

namespace corvane {

// Lines of at most 76 columns, so that each stays one comment line of the template.
inline constexpr wchar_t kWprRecorderHelp[] =
    L"Capturing with the Windows Performance Recorder\n"
    L"Choose --recorder wpr (or recorder = wpr) where xperf.exe is not installed:\n"
    L"wpr.exe ships with Windows 10 and later and needs nothing else. Two files:\n"
    L"NAME.wprp, a WPR profile of the same capture, and NAME.cmd, which records\n"
    L"it. -o NAME.cmd names them (another extension, or none, gives way to\n"
    L".wprp; without -o the timestamped name); --stdout is refused. Both are\n"
    L"written or neither. Keep them together: the script finds the profile in\n"
    L"its own folder. From an elevated prompt, after a key, it runs\n"
    L"wpr -heaptracingconfig NAME.exe enable (heap traced by image name) and\n"
    L"wpr -start \"FOLDER\\NAME.wprp!Corvane\" -filemode; after a second key\n"
    L"wpr -stop \"ETL-OUT-PATH\" and the heap switch's disable. It shows where the\n"
    L"trace is, and opens it with wpa only where WPA is installed. If the start\n"
    L"fails (not elevated, or another recording runs: wpr -cancel ends it), it\n"
    L"says so, turns the heap switch off and exits with wpr's code.\n"
    L"What maps: kernel flags (groups expanded) become SystemProvider keywords,\n"
    L"stack walks Stack values, providers EventProviders with their keywords,\n"
    L"level, stack and capture state, buffer-size-kb the BufferSize, the session\n"
    L"names the collectors' names, one or two heap PIDs the HeapEventProvider's.\n"
    L"WPR takes one Buffers count, all at the start: 10 MB a collector, or\n"
    L"min-buffers where that is more, never more than max-buffers. A heap adds\n"
    L"the process and image events. Sequential and Circular record to a file of\n"
    L"max-file-size-mb (Circular keeps the newest events in it, as xperf's\n"
    L"does); wpr-logging = memory keeps them in memory instead (below). Every\n"
    L"provider records to nonpaged buffers (NonPagedMemory), as with xperf, since\n"
    L"a kernel-mode provider needs them. No WPR form: Append and NewFile\n"
    L"(refused), more than two heap PIDs (refused), the three log paths (WPR\n"
    L"merges files of its own into etl-out-path; a path set away from its\n"
    L"default is a warning), and HAL_CLOCK, which only the WPR of Windows 8\n"
    L"knew (refused).\n";

} // namespace corvane
