#include "wpr/xml_writer.h"

#include "settings/number_text.h"

namespace corvane {
namespace {

using namespace std::string_view_literals;

constexpr std::wstring_view kLineEnd = L"\r\n";

// Whether XML 1.0 can carry the character at all, written out or as a reference: not the C0
// controls other than tab, LF and CR, nor U+FFFE and U+FFFF. Surrogates are checked in pairs.
bool isXmlChar(wchar_t c) {
    if (c < 0x20) {
        return c == L'\t' || c == L'\n' || c == L'\r';
    }
    return c != 0xFFFE && c != 0xFFFF;
}

bool isHighSurrogate(std::uint32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(std::uint32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

std::size_t findXmlUnwritable(std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<std::uint32_t>(text[i]);
        if (isHighSurrogate(c) && i + 1 < text.size() &&
            isLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            ++i;
            continue;
        }
        if (isHighSurrogate(c) || isLowSurrogate(c) || !isXmlChar(text[i])) {
            return i;
        }
    }
    return std::wstring_view::npos;
}

// The five markup characters become entities; tab, LF and CR become character references, which
// attribute-value normalization leaves as they are (written out, a parser would read each as a
// space).
void appendXmlEscaped(std::wstring& out, std::wstring_view text) {
    for (const wchar_t c : text) {
        switch (c) {
        case L'&':
            out += L"&amp;"sv;
            break;
        case L'<':
            out += L"&lt;"sv;
            break;
        case L'>':
            out += L"&gt;"sv;
            break;
        case L'\'':
            out += L"&apos;"sv;
            break;
        case L'"':
            out += L"&quot;"sv;
            break;
        case L'\t':
            out += L"&#9;"sv;
            break;
        case L'\n':
            out += L"&#10;"sv;
            break;
        case L'\r':
            out += L"&#13;"sv;
            break;
        default:
            out.push_back(c);
        }
    }
}

void XmlWriter::declaration(std::wstring_view encoding) {
    m_out += L"<?xml version=\"1.0\" encoding=\""sv;
    m_out += encoding;
    m_out += L"\"?>"sv;
    m_out += kLineEnd;
}

void XmlWriter::open(std::wstring_view name) {
    m_out.append(2 * m_depth, L' ');
    m_out.push_back(L'<');
    m_out += name;
}

void XmlWriter::attribute(std::wstring_view name, std::wstring_view value) {
    m_out.push_back(L' ');
    m_out += name;
    m_out += L"=\""sv;
    appendXmlEscaped(m_out, value);
    m_out.push_back(L'"');
}

void XmlWriter::attribute(std::wstring_view name, std::uint64_t value) {
    m_out.push_back(L' ');
    m_out += name;
    m_out += L"=\""sv;
    appendDecimal(m_out, value);
    m_out.push_back(L'"');
}

void XmlWriter::close() {
    m_out += L">"sv;
    m_out += kLineEnd;
    ++m_depth;
}

void XmlWriter::closeEmpty() {
    m_out += L"/>"sv;
    m_out += kLineEnd;
}

void XmlWriter::end(std::wstring_view name) {
    --m_depth;
    m_out.append(2 * m_depth, L' ');
    m_out += L"</"sv;
    m_out += name;
    m_out += L">"sv;
    m_out += kLineEnd;
}

void XmlWriter::valueElement(std::wstring_view name, std::wstring_view value) {
    open(name);
    attribute(L"Value"sv, value);
    closeEmpty();
}

void XmlWriter::valueElement(std::wstring_view name, std::uint64_t value) {
    open(name);
    attribute(L"Value"sv, value);
    closeEmpty();
}

} // namespace corvane
