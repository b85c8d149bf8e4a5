#include "ui/centering.h"

namespace corvane {

namespace {

// One axis. 64-bit intermediates keep the edge sums from overflowing for extreme coordinates;
// C++ integer division already truncates toward zero.
std::int32_t centeredCoordinate(std::int32_t size, std::int32_t centreLow, std::int32_t centreHigh,
                                std::int32_t areaLow, std::int32_t areaHigh) noexcept {
    std::int64_t position = (std::int64_t{centreLow} + centreHigh) / 2 - size / 2;
    if (position + size > areaHigh) {
        position = std::int64_t{areaHigh} - size;
    }
    if (position < areaLow) {
        position = areaLow;
    }
    return static_cast<std::int32_t>(position);
}

} // namespace

CenteringPoint centeredPosition(std::int32_t width, std::int32_t height,
                                const CenteringRect& centre, const CenteringRect& area) noexcept {
    CenteringPoint point;
    point.x = centeredCoordinate(width, centre.left, centre.right, area.left, area.right);
    point.y = centeredCoordinate(height, centre.top, centre.bottom, area.top, area.bottom);
    return point;
}

} // namespace corvane
