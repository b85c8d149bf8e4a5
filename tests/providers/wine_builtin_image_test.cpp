#include "providers/wine_builtin_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace corvane {
namespace {

// The first bytes of a PE image: DOS header ("MZ", e_lfanew 0x80), then its DOS stub.
std::vector<unsigned char> imageWithStub(const std::string& stubText, std::size_t stubOffset) {
    std::vector<unsigned char> image(0x200, 0);
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = 0x80;
    std::memcpy(image.data() + stubOffset, stubText.data(), stubText.size());
    return image;
}

TEST(WineBuiltinImage, RecognisesTheMarkAfterTheDosHeader) {
    const auto builtin = imageWithStub("Wine builtin DLL", 0x40);
    EXPECT_TRUE(isWineBuiltinImage(builtin.data(), builtin.size()));
}

TEST(WineBuiltinImage, ReadsNoFurtherThanItIsAllowed) {
    const auto builtin = imageWithStub("Wine builtin DLL", 0x40);
    EXPECT_TRUE(isWineBuiltinImage(builtin.data(), 0x50));
    EXPECT_FALSE(isWineBuiltinImage(builtin.data(), 0x4F)); // the mark's last byte unreadable
    EXPECT_FALSE(isWineBuiltinImage(builtin.data(), 2));
    EXPECT_FALSE(isWineBuiltinImage(builtin.data(), 0));
    EXPECT_FALSE(isWineBuiltinImage(nullptr, 0x1000));
}

TEST(WineBuiltinImage, OrdinaryImagesAreNotBuiltins) {
    // The usual DOS stub: code at 0x40, its message at 0x4E.
    auto ordinary = imageWithStub("This program cannot be run in DOS mode.", 0x4E);
    const unsigned char stubCode[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09, 0xCD, 0x21};
    std::memcpy(ordinary.data() + 0x40, stubCode, sizeof stubCode);
    EXPECT_FALSE(isWineBuiltinImage(ordinary.data(), ordinary.size()));

    const auto shifted = imageWithStub("Wine builtin DLL", 0x41);
    EXPECT_FALSE(isWineBuiltinImage(shifted.data(), shifted.size()));

    const auto truncatedMark = imageWithStub("Wine builtin DL", 0x40);
    EXPECT_FALSE(isWineBuiltinImage(truncatedMark.data(), truncatedMark.size()));

    auto notAnImage = imageWithStub("Wine builtin DLL", 0x40);
    notAnImage[0] = 'Z';
    notAnImage[1] = 'M';
    EXPECT_FALSE(isWineBuiltinImage(notAnImage.data(), notAnImage.size()));
}

} // namespace
} // namespace corvane
