// What the main dialog's tips say over an entry of its lists: a kernel flag or group, or a
// stack-walk event with the flag that records it.
#pragma once

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

} // namespace corvane
