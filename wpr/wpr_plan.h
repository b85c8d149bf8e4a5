// What a capture's settings ask of WPR, worked out before a line of the profile is written: the
// collectors, keywords, stacks and heap process ids, what WPR records differently, or why it
// cannot.
#pragma once

#include "settings/trace_settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct WprPlan {
    const TraceSettings& settings;
    bool circular = false;     // the file mode is Circular, else Sequential
    bool memory = false;       // WPR's Memory mode: the newest events kept in the buffers alone
    std::uint32_t buffers = 0; // each collector's Buffers count (wprBufferCount); 0: WPR's own
    std::vector<std::wstring_view> keywords{}; // in table order, each once
    std::vector<std::wstring_view> stacks{};   // kernel stack walks, then the heap's
    bool systemCollector = false;
    bool eventCollector = false;
    bool heap = false;
    std::vector<std::uint32_t> heapProcessIds{}; // empty: the processes set by image name
    std::vector<std::wstring> warnings{};        // one sentence each, as WprProfile keeps them
};

// The one Buffers count that WPR allocates for each collector when it starts the profile.
[[nodiscard]] std::uint32_t wprBufferCount(const TraceSettings& settings) noexcept;
// What WPR's buffers take at the start, for all the collectors the settings ask for: memory that
// Windows never pages out.
[[nodiscard]] std::uint64_t wprStartKilobytes(const TraceSettings& settings) noexcept;

// Fills the plan of `plan.settings`, or returns false with `refusal` saying why they have no WPR
// form; the plan is then not to be written.
[[nodiscard]] bool planWprCapture(WprPlan& plan, std::wstring& refusal);

} // namespace corvane
