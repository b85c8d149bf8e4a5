// The help on recording with wpr.exe, which --help prints and --template puts into its comments.
#pragma once

namespace corvane {

// Lines of at most 78 columns, so that each stays one comment line of the template.
inline constexpr wchar_t kWprRecorderHelp[] =
    L"Capturing with the Windows Performance Recorder\n"
    L"Choose --recorder wpr (or recorder = wpr) where xperf.exe is not installed: wpr.exe\n"
    L"ships with Windows 10 and later and needs nothing else. It writes two files,\n"
    L"NAME.wprp, a WPR profile of the same capture, and NAME.cmd, which records it\n"
    L"(-o NAME.cmd; without -o the timestamped name; a name without .cmd keeps its\n"
    L"folder and gets .wprp in place of its extension; --stdout is refused). Keep them\n"
    L"together: the script finds the profile in its own folder. Both are written or\n"
    L"neither. The script runs, from an elevated prompt, after a key:\n"
    L"  wpr -heaptracingconfig NAME.exe enable     (heap traced by image name)\n"
    L"  wpr -start \"FOLDER\\NAME.wprp!PROFILE\" [-filemode]\n"
    L"and after a second key wpr -stop \"ETL-OUT-PATH\", then the heap switch's disable.\n"
    L"It shows where the trace is and opens it with wpa only where WPA is installed.\n"
    L"If the start fails (not elevated, or another recording runs: wpr -cancel ends\n"
    L"it), the script says so, turns the heap switch off again and exits with wpr's\n"
    L"code, without waiting for the second key.\n"
    L"What maps: kernel flags (groups expanded) become SystemProvider keywords, stack\n"
    L"walks Stack values, providers EventProviders with their keywords, level, stack\n"
    L"and capture state, buffer-size-kb the BufferSize, the session names the\n"
    L"collectors' names, a heap PID the HeapEventProvider's process id.\n"
    L"No WPR form: Append and NewFile (refused); the three log paths (WPR records to\n"
    L"files of its own and merges them into etl-out-path; a path set away from its\n"
    L"default is a warning).\n";

} // namespace corvane
