// The arithmetic of window centring, free of any platform type so it can be tested anywhere.
#pragma once

#include <cstdint>

namespace corvane {

// Edges as the platform gives them: left/top inclusive, right/bottom exclusive.
struct CenteringRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct CenteringPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Top-left corner for a window of `width` x `height` centred over `centre` and then kept inside
// `area`: the right/bottom clamp comes first, so a window larger than the area stays flush with
// the area's left/top edge. Halving truncates toward zero, (-301) / 2 == -150.
[[nodiscard]] CenteringPoint centeredPosition(std::int32_t width, std::int32_t height,
                                              const CenteringRect& centre,
                                              const CenteringRect& area) noexcept;

} // namespace corvane
