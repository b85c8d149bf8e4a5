// What each stack-walk event is and which kernel flag emits it: xperf records a stack only for an
// event that a selected flag brings into the trace, so a stack walk without its flag is empty.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct StackwalkEventSource {
    std::wstring_view name;        // exactly as in StackwalkCatalogue
    std::wstring_view description; // one line in our own words: what the event is
    std::wstring_view flag;        // the kernel flag that emits it; empty where no public source
                                   // settles which flag that is
};

// The entry of a stack-walk event, or nullptr for a name outside the catalogue.
[[nodiscard]] const StackwalkEventSource* describeStackwalkEvent(std::wstring_view name) noexcept;

// Whether a selection of kernel flags and groups turns `flag` on, by naming it or a group that
// holds it.
[[nodiscard]] bool selectionIncludesFlag(const std::vector<std::wstring>& selection,
                                         std::wstring_view flag);

} // namespace corvane
