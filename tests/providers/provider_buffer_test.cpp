#include "providers/provider_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane {
namespace {

// Lays out PROVIDER_ENUMERATION_INFO by hand: header, elements, then the names.
class EnumerationBuffer {
public:
    // An element whose name is stored after the element array.
    EnumerationBuffer& named(std::u16string name) {
        elements_.push_back({std::move(name), 0, true});
        return *this;
    }
    // An element with this name offset, pointing wherever it points.
    EnumerationBuffer& offset(std::uint32_t nameOffset) {
        elements_.push_back({u"", nameOffset, false});
        return *this;
    }
    EnumerationBuffer& claimedCount(std::uint32_t count) {
        claimedCount_ = count;
        return *this;
    }

    [[nodiscard]] std::vector<unsigned char> bytes() const {
        std::vector<unsigned char> out(8 + elements_.size() * 24, 0);
        putUint32(out, 0, claimedCount_.value_or(static_cast<std::uint32_t>(elements_.size())));
        putUint32(out, 4, 0xDEADBEEF); // Reserved: never read
        for (std::size_t index = 0; index < elements_.size(); ++index) {
            const std::size_t element = 8 + index * 24;
            for (std::size_t guidByte = 0; guidByte < 16; ++guidByte) {
                out[element + guidByte] = static_cast<unsigned char>(0x40 + guidByte);
            }
            std::uint32_t nameOffset = elements_[index].nameOffset;
            if (elements_[index].storeName) {
                nameOffset = static_cast<std::uint32_t>(out.size());
                appendUtf16(out, elements_[index].name);
                appendUtf16(out, std::u16string(1, u'\0'));
            }
            putUint32(out, element + 20, nameOffset);
        }
        return out;
    }

    static void appendUtf16(std::vector<unsigned char>& out, const std::u16string& text) {
        for (const char16_t unit : text) {
            out.push_back(static_cast<unsigned char>(unit & 0xFF));
            out.push_back(static_cast<unsigned char>(unit >> 8));
        }
    }

    static void putUint32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            out[at++] = static_cast<unsigned char>(value >> shift);
        }
    }

private:
    struct Element {
        std::u16string name;
        std::uint32_t nameOffset;
        bool storeName;
    };
    std::vector<Element> elements_;
    std::optional<std::uint32_t> claimedCount_;
};

// wchar_t is 32 bits wide on the host: the expected names hold the UTF-16 code units one each.
std::wstring units(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::vector<std::wstring> namesIn(const std::vector<unsigned char>& bytes) {
    return providerNamesFromBuffer(bytes.data(), bytes.size());
}

std::vector<std::wstring> namesInFirst(const std::vector<unsigned char>& bytes, std::size_t size) {
    return providerNamesFromBuffer(bytes.data(), size);
}

using Names = std::vector<std::wstring>;

TEST(ProviderNamesFromBuffer, ReadsEveryNameInBufferOrder) {
    const auto bytes = EnumerationBuffer()
                           .named(u"Microsoft-Windows-Kernel-Process")
                           .named(u"ACPI Driver Trace Provider")
                           .named(u"Zeta")
                           .bytes();
    EXPECT_EQ(namesIn(bytes),
              (Names{L"Microsoft-Windows-Kernel-Process", L"ACPI Driver Trace Provider", L"Zeta"}));
}

TEST(ProvidersFromBuffer, GiveANameItsGuidAsXperfShowsIt) {
    // Each element's GUID bytes are 40 41 .. 4F: three little-endian numbers, then eight bytes.
    const auto bytes = EnumerationBuffer().offset(0).named(u"IIS: WWW Server").bytes();
    const auto providers = providersFromBuffer(bytes.data(), bytes.size());
    ASSERT_EQ(providers.size(), 1u);
    EXPECT_EQ(providers[0].name, L"IIS: WWW Server");
    EXPECT_EQ(providers[0].guid, L"{43424140-4544-4746-4849-4A4B4C4D4E4F}");
}

TEST(ProviderNamesFromBuffer, KeepsDuplicatesAndSharedNames) {
    auto bytes = EnumerationBuffer().named(u"Alpha").named(u"Beta").named(u"Alpha").bytes();
    // A fourth element pointing at the second one's name, sharing its bytes.
    const auto withShared = EnumerationBuffer()
                                .named(u"Alpha")
                                .named(u"Beta")
                                .offset(8 + 3 * 24 + 12) // "Beta", after "Alpha\0"
                                .bytes();
    EXPECT_EQ(namesIn(bytes), (Names{L"Alpha", L"Beta", L"Alpha"}));
    EXPECT_EQ(namesIn(withShared), (Names{L"Alpha", L"Beta", L"Beta"}));
}

TEST(ProviderNamesFromBuffer, SkipsZeroOffsetsAndKeepsTheRest) {
    const auto bytes =
        EnumerationBuffer().offset(0).named(u"Alpha").offset(0).named(u"Beta").offset(0).bytes();
    EXPECT_EQ(namesIn(bytes), (Names{L"Alpha", L"Beta"}));
}

TEST(ProviderNamesFromBuffer, EmptyNameIsAName) {
    const auto bytes = EnumerationBuffer().named(u"").named(u"Alpha").bytes();
    EXPECT_EQ(namesIn(bytes), (Names{L"", L"Alpha"}));
}

TEST(ProviderNamesFromBuffer, ZeroCountReadsNothing) {
    const auto bytes = EnumerationBuffer().named(u"Alpha").claimedCount(0).bytes();
    EXPECT_TRUE(namesIn(bytes).empty());
    EXPECT_TRUE(namesIn(EnumerationBuffer().bytes()).empty()); // header only
}

TEST(ProviderNamesFromBuffer, NothingWithoutACompleteHeader) {
    const auto bytes = EnumerationBuffer().named(u"Alpha").bytes();
    for (std::size_t size = 0; size < 8; ++size) {
        EXPECT_TRUE(namesInFirst(bytes, size).empty()) << "size " << size;
    }
    EXPECT_TRUE(providerNamesFromBuffer(nullptr, 0).empty());
    EXPECT_TRUE(providerNamesFromBuffer(nullptr, 4096).empty());
}

TEST(ProviderNamesFromBuffer, TruncatedBufferKeepsOnlyNamesThatEndInsideIt) {
    // Names after the two elements: "Alpha\0" at 56..67, "Beta\0" at 68..77.
    const auto bytes = EnumerationBuffer().named(u"Alpha").named(u"Beta").bytes();
    ASSERT_EQ(bytes.size(), 78u);
    EXPECT_EQ(namesInFirst(bytes, 78), (Names{L"Alpha", L"Beta"}));
    EXPECT_EQ(namesInFirst(bytes, 77), (Names{L"Alpha"})); // half of Beta's NUL
    EXPECT_EQ(namesInFirst(bytes, 76), (Names{L"Alpha"})); // Beta's NUL cut off
    EXPECT_EQ(namesInFirst(bytes, 68), (Names{L"Alpha"})); // Beta starts at the end
    EXPECT_EQ(namesInFirst(bytes, 67), (Names{}));
    EXPECT_EQ(namesInFirst(bytes, 56), (Names{})); // the array alone
    EXPECT_EQ(namesInFirst(bytes, 40), (Names{})); // inside the second element
}

TEST(ProviderNamesFromBuffer, CountBeyondTheBufferReadsOnlyWholeElements) {
    // "Zz\0" is 6 bytes; an element is 24, so no further element fits after the real one.
    const auto bytes = EnumerationBuffer().named(u"Zz").claimedCount(0xFFFFFFFF).bytes();
    EXPECT_EQ(namesIn(bytes), (Names{L"Zz"}));
    for (const std::uint32_t count : {2u, 1000u, 0x0AAAAAABu, 0x80000000u}) {
        auto claimed = EnumerationBuffer().named(u"Zz").claimedCount(count).bytes();
        EXPECT_EQ(namesIn(claimed), (Names{L"Zz"})) << "count " << count;
    }

    // A second element whose name offset lies in its last bytes, one byte past the end.
    auto partial = EnumerationBuffer().offset(0).offset(8).claimedCount(2).bytes();
    EXPECT_EQ(namesInFirst(partial, 8 + 24 + 23), (Names{}));
    EXPECT_EQ(namesInFirst(partial, 8 + 24 + 24).size(), 1u); // whole: its name is read
}

TEST(ProviderNamesFromBuffer, SkipsOffsetsAtOrPastTheEnd) {
    auto bytes = EnumerationBuffer()
                     .named(u"Alpha")
                     .offset(0) // replaced below by the buffer's size
                     .offset(0xFFFFFFFF)
                     .offset(0x80000000)
                     .named(u"Beta")
                     .bytes();
    const auto size = static_cast<std::uint32_t>(bytes.size());
    EnumerationBuffer::putUint32(bytes, 8 + 24 + 20, size);
    EXPECT_EQ(namesIn(bytes), (Names{L"Alpha", L"Beta"}));

    EnumerationBuffer::putUint32(bytes, 8 + 24 + 20, size - 1); // room for half a unit
    EXPECT_EQ(namesIn(bytes), (Names{L"Alpha", L"Beta"}));

    EnumerationBuffer::putUint32(bytes, 8 + 24 + 20, size - 2); // Beta's NUL: an empty name
    EXPECT_EQ(namesIn(bytes), (Names{L"Alpha", L"", L"Beta"}));
}

TEST(ProviderNamesFromBuffer, ReadsNamesAtOddOffsets) {
    auto bytes = EnumerationBuffer().offset(0).bytes();
    const auto oddOffset = static_cast<std::uint32_t>(bytes.size() + 1);
    bytes.push_back(0xEE); // one filler byte puts the name at an odd offset
    EnumerationBuffer::appendUtf16(bytes, std::u16string(u"Odd\0", 4));
    EnumerationBuffer::putUint32(bytes, 8 + 20, oddOffset);
    EXPECT_EQ(namesIn(bytes), (Names{L"Odd"}));
    // At an odd offset a NUL needs both of its bytes inside the buffer.
    EXPECT_EQ(namesInFirst(bytes, bytes.size() - 1), (Names{}));
}

TEST(ProviderNamesFromBuffer, SkipsANameWithoutTerminator) {
    auto bytes = EnumerationBuffer().named(u"Alpha").offset(0).bytes();
    const auto lastOffset = static_cast<std::uint32_t>(bytes.size());
    EnumerationBuffer::appendUtf16(bytes, u"Unterminated");
    EnumerationBuffer::putUint32(bytes, 8 + 24 + 20, lastOffset);
    EXPECT_EQ(namesIn(bytes), (Names{L"Alpha"}));

    bytes.push_back(0); // a lone byte after it is not a NUL unit either
    EXPECT_EQ(namesIn(bytes), (Names{L"Alpha"}));
    bytes.push_back(0);
    EXPECT_EQ(namesIn(bytes), (Names{L"Alpha", L"Unterminated"}));
}

TEST(ProviderNamesFromBuffer, KeepsUtf16CodeUnitsAsTheyAre) {
    // U+00E9 is one unit; U+1F600 is the surrogate pair D83D DE00.
    const std::u16string name = u"Fournisseur-\u00e9-\U0001F600";
    const auto bytes = EnumerationBuffer().named(name).bytes();
    const auto names = namesIn(bytes);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], units(name));
    EXPECT_EQ(names[0].size(), 16u);
    EXPECT_EQ(static_cast<std::uint32_t>(names[0][14]), 0xD83Du);
    EXPECT_EQ(static_cast<std::uint32_t>(names[0][15]), 0xDE00u);
}

TEST(ProviderNamesFromBuffer, ReadsThousandsOfNames) {
    EnumerationBuffer buffer;
    Names expected;
    for (int index = 0; index < 5000; ++index) {
        const std::string name = "Microsoft-Windows-Provider-" + std::to_string(index);
        buffer.named(std::u16string(name.begin(), name.end()));
        expected.emplace_back(name.begin(), name.end());
    }
    EXPECT_EQ(namesIn(buffer.bytes()), expected);
}

} // namespace
} // namespace corvane
