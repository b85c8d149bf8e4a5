#include "providers/wine_builtin_image.h"

#include <cstring>

namespace corvane {
namespace {

// Wine writes this text right after the 64-byte DOS header of every builtin PE image.
constexpr char kWineBuiltinMark[] = "Wine builtin DLL";
constexpr std::size_t kWineBuiltinMarkLength = sizeof kWineBuiltinMark - 1;
constexpr std::size_t kDosHeaderSize = 0x40;

} // namespace

bool isWineBuiltinImage(const unsigned char* image, std::size_t readableSize) noexcept {
    if (image == nullptr || readableSize < kDosHeaderSize + kWineBuiltinMarkLength) {
        return false;
    }
    if (image[0] != 'M' || image[1] != 'Z') {
        return false;
    }
    return std::memcmp(image + kDosHeaderSize, kWineBuiltinMark, kWineBuiltinMarkLength) == 0;
}

} // namespace corvane
