#include "encoding/iconv_encoding_posix.h"

#include <cerrno>
#include <cstddef>
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

enum class Conversion { Done, Refused, UnknownCharset };

// Exactly or not at all: without //TRANSLIT or //IGNORE, iconv stops with EILSEQ at a character
// it cannot hold.
Conversion convert(const char* to, const char* from, const std::string& input,
                   std::string& output) {
    const IconvHandle converter(to, from);
    if (!converter.isOpen()) {
        return Conversion::UnknownCharset;
    }
    std::vector<char> source(input.begin(), input.end());
    char* in = source.data();
    std::size_t inLeft = source.size();
    output.assign(input.size() * 2 + 16, '\0');
    std::size_t done = 0;
    bool flushed = false;
    while (!flushed) {
        char* out = output.data() + done;
        std::size_t outLeft = output.size() - done;
        // A last call without input ends the shift state of a stateful code page.
        const bool flushing = inLeft == 0;
        const std::size_t result = flushing
                                       ? iconv(converter.get(), nullptr, nullptr, &out, &outLeft)
                                       : iconv(converter.get(), &in, &inLeft, &out, &outLeft);
        done = output.size() - outLeft;
        if (result == static_cast<std::size_t>(-1)) {
            if (errno != E2BIG) {
                output.clear();
                return Conversion::Refused;
            }
            output.resize(output.size() * 2);
            continue;
        }
        flushed = flushing;
    }
    output.resize(done);
    return Conversion::Done;
}

} // namespace

std::string iconvNameOfCodePage(unsigned codePage) {
    return codePage == kUtf8CodePage ? std::string("UTF-8") : "CP" + std::to_string(codePage);
}

IconvConversion utf8ToCodePage(const std::string& utf8, unsigned codePage, std::string& bytes) {
    bytes.clear();
    const std::string codePageName = iconvNameOfCodePage(codePage);
    std::string encoded;
    std::string decoded;
    switch (convert(codePageName.c_str(), "UTF-8", utf8, encoded)) {
    case Conversion::Done:
        break;
    case Conversion::Refused:
        return IconvConversion::Unrepresentable;
    case Conversion::UnknownCharset:
        return IconvConversion::UnknownCodePage;
    }
    // iconv maps some characters to bytes that read back as others; Windows refuses those.
    if (convert("UTF-8", codePageName.c_str(), encoded, decoded) != Conversion::Done ||
        decoded != utf8) {
        return IconvConversion::Unrepresentable;
    }
    bytes = std::move(encoded);
    return IconvConversion::Ok;
}

} // namespace corvane
