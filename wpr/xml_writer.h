// XML text built line by line in memory: what XML 1.0 can carry, attribute values escaped, and a
// writer of indented elements. Nothing in it knows what the document is about.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// What XML cannot carry in an attribute: a character outside its set, or half of a surrogate
// pair. Returns its position, or npos.
[[nodiscard]] std::size_t findXmlUnwritable(std::wstring_view text);

// An attribute value between double quotes, escaped so that a parser reads back `text` as it is.
void appendXmlEscaped(std::wstring& out, std::wstring_view text);

// Builds the text line by line: indentation, then the pieces, then CR LF.
class XmlWriter {
public:
    explicit XmlWriter(std::wstring& out) : m_out(out) {}

    // `<?xml version="1.0" encoding="..."?>`; the caller writes the bytes in that encoding.
    void declaration(std::wstring_view encoding);
    // `<Name` at the current depth; attributes follow, then close() or closeEmpty().
    void open(std::wstring_view name);
    void attribute(std::wstring_view name, std::wstring_view value);
    void attribute(std::wstring_view name, std::uint64_t value);
    void close();
    void closeEmpty();
    void end(std::wstring_view name);
    // `<Name Value="value"/>`, the leaf that carries one value.
    void valueElement(std::wstring_view name, std::wstring_view value);
    void valueElement(std::wstring_view name, std::uint64_t value);

private:
    std::wstring& m_out;
    std::size_t m_depth = 0;
};

} // namespace corvane
