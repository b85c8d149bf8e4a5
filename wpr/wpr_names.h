// xperf's names of kernel flags and stack walks as the Windows Performance Recorder spells them in
// a profile: SystemProvider keywords and Stack values.
#pragma once

#include <array>
#include <string_view>

namespace corvane {

struct WprKeywordName {
    std::wstring_view flag;    // xperf's kernel flag, as in KernelFlagCatalogue
    std::wstring_view keyword; // the SystemProvider keyword that WPR enables it by; empty for none
    std::wstring_view noForm;  // for a flag without a keyword: why, and what to do instead
};

// One row for each of the 50 kernel flags, in catalogue order; a flag without a keyword says why.
extern const std::array<WprKeywordName, 50> WprKeywordTable;

// The row of a kernel flag, or nullptr for a group or a name outside the catalogue.
[[nodiscard]] const WprKeywordName* wprKeywordOfFlag(std::wstring_view flag) noexcept;

struct WprStackRename {
    std::wstring_view event; // xperf's stack walk, as in StackwalkCatalogue
    std::wstring_view stack; // WPR's Stack value for it
};

// The 25 stack walks that WPR names otherwise; the other 102 keep xperf's name.
extern const std::array<WprStackRename, 25> WprStackRenames;

// WPR's Stack value for a stack walk of the catalogue.
[[nodiscard]] std::wstring_view wprStackOfEvent(std::wstring_view event) noexcept;

// The heap session's stack walks (xperf's HeapCreate+HeapAlloc+HeapRealloc+HeapFree+HeapDestroy)
// with WPR's names, in that order.
extern const std::array<std::wstring_view, 5> WprHeapStacks;

} // namespace corvane
