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
    L"level, stack and capture state, buffer-size-kb the BufferSize, the larger\n"
    L"of min-buffers and max-buffers the one Buffers count WPR takes, the session\n"
    L"names the collectors' names, one or two heap PIDs the HeapEventProvider's.\n"
    L"Sequential and Circular record to a file of max-file-size-mb (Circular\n"
    L"keeps the newest events in it, as xperf's does, not in memory). Every\n"
    L"provider records to nonpaged buffers (NonPagedMemory), as with xperf, since\n"
    L"a kernel-mode provider needs them. No WPR form: Append and NewFile\n"
    L"(refused), more than two heap PIDs (refused), the three log paths (WPR\n"
    L"merges files of its own into etl-out-path; a path set away from its\n"
    L"default is a warning), and flags that only some WPR versions know (a\n"
    L"warning that names them).\n";

} // namespace corvane
