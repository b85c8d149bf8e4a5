// What the main dialog's tips say over an entry of its lists: a kernel flag or group, a stack-walk
// event with the flag that records it, or a provider with what an opened file chose for it.
#pragma once

#include "settings/trace_settings.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace corvane {

// One entry of a list or combo box; empty when there is none at that index.
[[nodiscard]] std::wstring entryText(HWND box, UINT lengthMessage, UINT textMessage, LRESULT index);

// What the flag or group records, and a group's members; empty for an entry not described.
[[nodiscard]] std::wstring kernelEntryTip(std::wstring_view entry);

// What the event is, and the flag it needs, with whether that flag is selected now in the
// dialog's Kernel Flags/Groups list; empty for an event not described.
[[nodiscard]] std::wstring stackwalkEntryTip(HWND dialog, std::wstring_view name);

// The options an opened file chose for the provider ("keywords=0x10 level=5 stack=yes"), and
// whether this machine does not list it; empty for a provider with neither.
[[nodiscard]] std::wstring providerEntryTip(HWND list, LRESULT index, const TraceSettings& choices);

} // namespace corvane
