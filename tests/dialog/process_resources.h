// What this process holds, counted the ways that work both on Windows and under Wine, so that a
// test can show that long use does not make it grow.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace corvane::testing {

struct ProcessResources {
    std::uint64_t privateBytes = 0; // PROCESS_MEMORY_COUNTERS::PagefileUsage
    std::uint64_t workingSet = 0;
    unsigned threads = 0;
    unsigned windows = 0; // this process's top-level windows and all their descendants
    // Counters that a platform may not provide (Wine reports none of these).
    std::optional<unsigned> handles;    // from the system's handle table
    std::optional<unsigned> gdiObjects; // GetGuiResources, nothing when it answers 0
    std::optional<unsigned> userObjects;
};

// Takes every count; a counter the platform does not offer is left empty, never guessed.
[[nodiscard]] ProcessResources countProcessResources();

} // namespace corvane::testing
