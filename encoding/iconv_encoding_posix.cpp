#include "encoding/iconv_encoding_posix.h"

#include "encoding/ascii_kept.h"

#include <cerrno>
#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <iconv.h>

namespace corvane {
namespace {

constexpr unsigned kUtf8CodePage = 65001;

// Owns an iconv descriptor; (iconv_t)-1 means none.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (isOpen()) {
            iconv_close(handle_);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    [[nodiscard]] bool isOpen() const noexcept { return handle_ != reinterpret_cast<iconv_t>(-1); }
    [[nodiscard]] iconv_t get() const noexcept { return handle_; }

private:
    iconv_t handle_;
};

// Exactly or not at all: without //TRANSLIT or //IGNORE, iconv stops with EILSEQ at a character
// it cannot hold, and with EINVAL at an incomplete one.
bool convert(const IconvHandle& converter, const std::string& input, std::string& output) {
    // Back to the initial shift state: the descriptor may have converted other text before.
    iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
    std::vector<char> source(input.begin(), input.end());
    char* in = source.data();
    std::size_t inLeft = source.size();
    output.assign(input.size() * 2 + 16, '\0');
    std::size_t done = 0;
    bool flushed = false;
    while (!flushed) {
        char* out = output.data() + done;
        std::size_t outLeft = output.size() - done;
        // A last call without input ends the shift state of a stateful code page, and gives what
        // a decoder that composes characters still holds back.
        const bool flushing = inLeft == 0;
        const std::size_t result = flushing
                                       ? iconv(converter.get(), nullptr, nullptr, &out, &outLeft)
                                       : iconv(converter.get(), &in, &inLeft, &out, &outLeft);
        done = output.size() - outLeft;
        if (result == static_cast<std::size_t>(-1)) {
            if (errno != E2BIG) {
                output.clear();
                return false;
            }
            output.resize(output.size() * 2);
            continue;
        }
        flushed = flushing;
    }
    output.resize(done);
    return true;
}

// Characters whose bytes iconv reads back as themselves but Microsoft's table of the code page
// does not: code page 950's bytes 0xC6A1 to 0xC8FE, which iconv gives to the private-use
// characters U+F6B1 to U+F848.
struct ForeignRange {
    unsigned codePage;
    char32_t first;
    char32_t last;
};
constexpr ForeignRange kForeignRanges[] = {
    {950, 0xF6B1, 0xF848},
};

bool readsOtherwiseOnWindows(unsigned codePage, char32_t character) noexcept {
    for (const ForeignRange& range : kForeignRanges) {
        if (range.codePage == codePage && character >= range.first && character <= range.last) {
            return true;
        }
    }
    return false;
}

// The length of the UTF-8 sequence that starts with `lead`, in text iconv has taken as UTF-8.
std::size_t sequenceLength(unsigned char lead) noexcept {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

char32_t codePoint(const std::string& sequence) noexcept {
    static constexpr unsigned char kLeadBits[] = {0x7F, 0x1F, 0x0F, 0x07};
    char32_t value = static_cast<unsigned char>(sequence[0]) & kLeadBits[sequence.size() - 1];
    for (std::size_t i = 1; i < sequence.size(); ++i) {
        value = (value << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3F);
    }
    return value;
}

// Whether the bytes of one character read back as that character alone. Reading the bytes whole
// is not enough: iconv's 1255 and 1258 compose a letter and a combining mark that follows it into
// one character, where Windows keeps the two; so no shorter part of the bytes may read as a
// character of its own.
bool readsBackAlone(const IconvHandle& encoder, const IconvHandle& decoder,
                    const std::string& character) {
    std::string bytes;
    std::string decoded;
    if (!convert(encoder, character, bytes) || !convert(decoder, bytes, decoded) ||
        decoded != character) {
        return false;
    }
    for (std::size_t length = 1; length < bytes.size(); ++length) {
        if (convert(decoder, bytes.substr(0, length), decoded) && !decoded.empty()) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string iconvNameOfCodePage(unsigned codePage) {
    return codePage == kUtf8CodePage ? std::string("UTF-8") : "CP" + std::to_string(codePage);
}

IconvConversion utf8ToCodePage(const std::string& utf8, unsigned codePage, std::string& bytes) {
    bytes.clear();
    const std::string codePageName = iconvNameOfCodePage(codePage);
    const IconvHandle encoder(codePageName.c_str(), "UTF-8");
    const IconvHandle decoder("UTF-8", codePageName.c_str());
    if (!encoder.isOpen() || !decoder.isOpen()) {
        return IconvConversion::UnknownCodePage;
    }
    const std::wstring ascii = asciiCharacters();
    std::string encoded;
    if (!convert(encoder, std::string(ascii.begin(), ascii.end()), encoded) ||
        !keepsAscii(encoded)) {
        return IconvConversion::AsciiChanged;
    }
    if (!convert(encoder, utf8, encoded)) {
        return IconvConversion::Unrepresentable;
    }
    // Each character once; ASCII is kept, as shown above.
    std::set<char32_t> checked;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(utf8[at]));
        const std::string character = utf8.substr(at, length);
        at += length;
        const char32_t value = codePoint(character);
        if (length == 1 || !checked.insert(value).second) {
            continue;
        }
        if (readsOtherwiseOnWindows(codePage, value) ||
            !readsBackAlone(encoder, decoder, character)) {
            return IconvConversion::Unrepresentable;
        }
    }
    bytes = std::move(encoded);
    return IconvConversion::Ok;
}

IconvConversion codePageToUtf8(const std::string& bytes, unsigned codePage, std::string& utf8) {
    utf8.clear();
    const IconvHandle decoder("UTF-8", iconvNameOfCodePage(codePage).c_str());
    if (!decoder.isOpen()) {
        return IconvConversion::UnknownCodePage;
    }
    return convert(decoder, bytes, utf8) ? IconvConversion::Ok : IconvConversion::Unrepresentable;
}

} // namespace corvane
