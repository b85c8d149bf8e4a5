// The rule every code page of a script must keep, whatever converts the text: cmd finds the
// commands, switches, quotes and line ends of a script as ASCII bytes, so a code page that writes
// ASCII otherwise (EBCDIC, for one) gives a script that cmd cannot run.
#pragma once

#include <string>

namespace corvane {

// U+0001 to U+007F, in order, one byte each: what a code page must write as it is.
[[nodiscard]] inline std::string asciiRange() {
    std::string range;
    for (int character = 1; character < 0x80; ++character) {
        range += static_cast<char>(character);
    }
    return range;
}

} // namespace corvane
