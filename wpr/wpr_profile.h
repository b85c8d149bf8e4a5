// The capture as a profile for the Windows Performance Recorder (wpr.exe, part of Windows 10 and
// later): a .wprp XML file that records what the xperf script records, where WPR has a form for it.
#pragma once

#include "settings/trace_settings.h"

#include <string>
#include <vector>

namespace corvane {

struct WprProfile {
    std::wstring xml;                   // the whole file, UTF-16 in memory, CR LF line ends
    std::wstring profileName;           // what follows '!' in `wpr -start FILE!NAME`
    bool fileMode = false;              // the profile records to a file: `wpr -start ... -filemode`
    std::vector<std::wstring> warnings; // what WPR records differently from xperf, one per entry
};

// The profile of the settings, or false with `refusal` saying why they have no WPR form (a file
// mode or heap target WPR cannot take); nothing is to be written then.
[[nodiscard]] bool BuildWprProfile(const TraceSettings& settings, WprProfile& profile,
                                   std::wstring& refusal);

} // namespace corvane
