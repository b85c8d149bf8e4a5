// The capture as a profile for the Windows Performance Recorder (wpr.exe, part of Windows 10 and
// later): a .wprp XML file that records what the xperf script records, where WPR has a form for it.
#pragma once

#include "settings/trace_settings.h"

#include <string>
#include <vector>

namespace corvane {

struct WprProfile {
    std::wstring xml;         // the whole file, UTF-16 in memory, CR LF line ends
    std::wstring profileName; // what follows '!' in `wpr -start FILE!NAME`
    bool fileMode = false;    // records to files: `wpr -start ... -filemode`; else in memory
    std::vector<std::wstring> warnings; // what WPR records differently from xperf, one per entry
};
// The file's bytes are the xml in UTF-8, without a byte-order mark: its declaration says utf-8,
// as Microsoft's published profiles do, so no code page of the machine that runs it matters.
// A profile records to files (Sequential and Circular both map to WPR's file mode) unless
// wpr-logging = memory keeps the newest events in WPR's buffers until wpr -stop. A warning is one
// sentence that names the profile key it is about, without a "warning:" prefix.

// The profile of the settings, or false with `refusal` saying why they have no WPR form (a file
// mode, heap target or kernel flag WPR cannot take); nothing is to be written then.
[[nodiscard]] bool BuildWprProfile(const TraceSettings& settings, WprProfile& profile,
                                   std::wstring& refusal);

} // namespace corvane
