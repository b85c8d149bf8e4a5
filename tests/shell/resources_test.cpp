// Reads the built corvane.exe as data and checks its resources against the dialog layout, the
// manifest, the version record and the icon, parsing the templates here rather than trusting
// the resource compiler.
#include "res/resource.h"
#include "tests/shell/shell_support.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winver.h>

#include <cstdint>
#include <cstring>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

namespace corvane {
namespace {

// A name or ordinal field of a dialog template.
struct TemplateText {
    bool isOrdinal = false;
    std::uint16_t ordinal = 0;
    std::wstring text;
};

struct ParsedControl {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::int32_t id = 0;
    TemplateText windowClass;
    TemplateText text;
    std::uint16_t extraBytes = 0;
};

struct ParsedDialog {
    std::uint16_t version = 0;
    std::uint16_t signature = 0;
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    TemplateText menu;
    TemplateText windowClass;
    std::wstring caption;
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t charset = 0;
    std::wstring typeface;
    std::vector<ParsedControl> controls;
};

// Bounds-checked reader over one resource's bytes.
class TemplateReader {
public:
    TemplateReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <class T>
    T read() {
        T value{};
        if (offset_ + sizeof(T) > size_) {
            failed_ = true;
            return value;
        }
        std::memcpy(&value, data_ + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }
    std::wstring readString() {
        std::wstring text;
        for (;;) {
            const auto unit = read<std::uint16_t>();
            if (failed_ || unit == 0) {
                return text;
            }
            text.push_back(static_cast<wchar_t>(unit));
        }
    }
    TemplateText readNameOrOrdinal() {
        TemplateText field;
        const auto first = read<std::uint16_t>();
        if (first == 0xFFFF) {
            field.isOrdinal = true;
            field.ordinal = read<std::uint16_t>();
            return field;
        }
        if (first != 0) {
            field.text.push_back(static_cast<wchar_t>(first));
            field.text += readString();
        }
        return field;
    }
    void alignTo4() { offset_ = (offset_ + 3) & ~std::size_t{3}; }
    void skip(std::size_t bytes) { offset_ += bytes; }
    [[nodiscard]] bool failed() const { return failed_ || offset_ > size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool failed_ = false;
};

ParsedDialog parseDialogEx(const std::uint8_t* data, std::size_t size, bool& ok) {
    TemplateReader reader(data, size);
    ParsedDialog dialog;
    dialog.version = reader.read<std::uint16_t>();
    dialog.signature = reader.read<std::uint16_t>();
    dialog.helpId = reader.read<std::uint32_t>();
    dialog.exStyle = reader.read<std::uint32_t>();
    dialog.style = reader.read<std::uint32_t>();
    const auto count = reader.read<std::uint16_t>();
    dialog.x = reader.read<std::int16_t>();
    dialog.y = reader.read<std::int16_t>();
    dialog.cx = reader.read<std::int16_t>();
    dialog.cy = reader.read<std::int16_t>();
    dialog.menu = reader.readNameOrOrdinal();
    dialog.windowClass = reader.readNameOrOrdinal();
    dialog.caption = reader.readString();
    if ((dialog.style & DS_SETFONT) != 0) {
        dialog.pointSize = reader.read<std::uint16_t>();
        dialog.weight = reader.read<std::uint16_t>();
        dialog.italic = reader.read<std::uint8_t>();
        dialog.charset = reader.read<std::uint8_t>();
        dialog.typeface = reader.readString();
    }
    for (std::uint16_t i = 0; i < count && !reader.failed(); ++i) {
        reader.alignTo4();
        ParsedControl control;
        control.helpId = reader.read<std::uint32_t>();
        control.exStyle = reader.read<std::uint32_t>();
        control.style = reader.read<std::uint32_t>();
        control.x = reader.read<std::int16_t>();
        control.y = reader.read<std::int16_t>();
        control.cx = reader.read<std::int16_t>();
        control.cy = reader.read<std::int16_t>();
        control.id = reader.read<std::int32_t>();
        control.windowClass = reader.readNameOrOrdinal();
        control.text = reader.readNameOrOrdinal();
        control.extraBytes = reader.read<std::uint16_t>();
        reader.skip(control.extraBytes);
        dialog.controls.push_back(control);
    }
    ok = !reader.failed() && dialog.controls.size() == count;
    return dialog;
}

// Resource compilers write the predefined classes either as ordinals or as names.
std::wstring className(const TemplateText& field) {
    if (field.isOrdinal) {
        switch (field.ordinal) {
        case 0x80:
            return L"button";
        case 0x81:
            return L"edit";
        case 0x82:
            return L"static";
        case 0x83:
            return L"listbox";
        case 0x84:
            return L"scrollbar";
        case 0x85:
            return L"combobox";
        default:
            return L"#" + std::to_wstring(field.ordinal);
        }
    }
    std::wstring lower;
    for (const wchar_t c : field.text) {
        lower.push_back(static_cast<wchar_t>(std::towlower(c)));
    }
    return lower;
}

struct ExpectedControl {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text; // null for an ordinal text (the icon)
    std::uint16_t textOrdinal;
    short x, y, cx, cy;
    DWORD style;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kLabel = kChild | SS_LEFT | WS_GROUP;
constexpr DWORD kList = kChild | LBS_NOTIFY | LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT | WS_BORDER |
                        WS_VSCROLL | WS_HSCROLL | WS_TABSTOP;
constexpr DWORD kSortedList = kList | LBS_SORT;
constexpr DWORD kNumberEdit =
    kChild | ES_NUMBER | ES_AUTOHSCROLL | ES_LEFT | WS_BORDER | WS_TABSTOP;
constexpr DWORD kTextEdit = kChild | ES_AUTOHSCROLL | ES_LEFT | WS_BORDER | WS_TABSTOP;
constexpr DWORD kPushButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;

// The main dialog, in template order (which is also creation, z- and tab order).
const ExpectedControl kMainControls[] = {
    {IDOK, L"button", L"OK", 0, 495, 7, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP},
    {IDCANCEL, L"button", L"Cancel", 0, 495, 24, 50, 14, kPushButton},
    {57664, L"button", L"&About", 0, 495, 208, 50, 14, kPushButton},
    {1001, L"listbox", L"", 0, 7, 18, 92, 160, kList},
    {1002, L"listbox", L"", 0, 111, 18, 92, 160, kSortedList},
    {1003, L"combobox", L"", 0, 393, 18, 80, 64,
     kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {1004, L"edit", L"", 0, 393, 54, 40, 14, kNumberEdit},
    {1006, L"edit", L"", 0, 393, 90, 40, 14, kNumberEdit},
    {1007, L"edit", L"", 0, 393, 162, 40, 14, kNumberEdit},
    {1008, L"edit", L"", 0, 393, 126, 40, 14, kNumberEdit},
    {-1, L"static", L"Kernel Flags/Groups", 0, 7, 7, 65, 8, kLabel},
    {-1, L"static", L"Kernel Stackwalk", 0, 112, 7, 54, 8, kLabel},
    {-1, L"static", L"File Mode", 0, 393, 7, 31, 8, kLabel},
    {-1, L"static", L"Max File Size(MB)", 0, 393, 39, 56, 8, kLabel},
    {-1, L"static", L"Buffer Size(KB)", 0, 393, 75, 49, 8, kLabel},
    {-1, L"static", L"Max Buffers(n)", 0, 393, 111, 49, 8, kLabel},
    {-1, L"static", L"Min Buffers(n)", 0, 393, 147, 46, 8, kLabel},
    {1005, L"edit", L"", 0, 69, 208, 194, 14, kTextEdit},
    {1009, L"edit", L"", 0, 49, 185, 95, 14, kTextEdit},
    {-1, L"static", L"Kernel Path", 0, 7, 189, 38, 8, kLabel},
    {-1, L"static", L"ETL Out Path", 0, 7, 209, 43, 8, kLabel},
    {1010, L"listbox", L"", 0, 217, 18, 166, 160, kSortedList},
    {-1, L"static", L"Providers", 0, 217, 7, 31, 8, kLabel},
    {1011, L"button", L"Log Stack", 0, 336, 183, 47, 10,
     kChild | BS_AUTOCHECKBOX | BS_LEFTTEXT | WS_TABSTOP},
    {1012, L"edit", L"", 0, 331, 208, 54, 14, kTextEdit},
    {-1, L"static", L"Session name", 0, 284, 209, 44, 8, kLabel},
    {1013, L"edit", L"", 0, 197, 185, 95, 14, kTextEdit},
    {-1, L"static", L"User Path", 0, 155, 189, 32, 8, kLabel},
    {1014, L"button", L"Reset", 0, 495, 42, 50, 14, kPushButton},
    {1015, L"button", L"Heap", 0, 481, 73, 33, 10, kChild | BS_AUTOCHECKBOX | WS_TABSTOP},
    {-1, L"static", L"ProcessName or PID", 0, 481, 90, 66, 8, kLabel},
    {1016, L"edit", L"", 0, 482, 102, 63, 14, kTextEdit | WS_DISABLED},
    {1017, L"edit", L"", 0, 482, 135, 63, 14, kTextEdit | WS_DISABLED},
    {-1, L"static", L"Heap Session Name", 0, 481, 123, 64, 8, kLabel},
    {1018, L"edit", L"", 0, 482, 164, 63, 14, kTextEdit | WS_DISABLED},
    {-1, L"static", L"Heap Path", 0, 481, 153, 34, 8, kLabel},
};

const ExpectedControl kAboutControls[] = {
    {IDOK, L"button", L"OK", 0, 130, 81, 50, 14, 0x50010001},
    {-1, L"static", nullptr, 0, 7, 57, 114, 32, 0x50020001}, // the About text, checked apart
    {-1, L"static", nullptr, 128, 55, 26, 20, 20, 0x50000003},
    {-1, L"button", L"", 0, 7, 7, 115, 88, 0x50000007},
};

class BuiltProgram : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = ::LoadLibraryExW(testing::builtProgramPath(L"corvane.exe").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << "corvane.exe not found beside the tests";
    }
    void TearDown() override {
        if (module_ != nullptr) {
            ::FreeLibrary(module_);
        }
    }

    // The bytes of one resource, empty when it is missing.
    [[nodiscard]] std::vector<std::uint8_t> resource(const wchar_t* type, const wchar_t* name) {
        const HRSRC found = ::FindResourceW(module_, name, type);
        if (found == nullptr) {
            return {};
        }
        const HGLOBAL loaded = ::LoadResource(module_, found);
        const auto* bytes = static_cast<const std::uint8_t*>(::LockResource(loaded));
        return std::vector<std::uint8_t>(bytes, bytes + ::SizeofResource(module_, found));
    }

    void expectControls(const ParsedDialog& dialog, const ExpectedControl* expected,
                        std::size_t count) {
        ASSERT_EQ(dialog.controls.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            const ParsedControl& actual = dialog.controls[i];
            const ExpectedControl& want = expected[i];
            SCOPED_TRACE("control #" + std::to_string(i + 1));
            EXPECT_EQ(actual.id, want.id);
            EXPECT_EQ(className(actual.windowClass), want.windowClass);
            if (want.text != nullptr) {
                EXPECT_FALSE(actual.text.isOrdinal);
                EXPECT_EQ(actual.text.text, want.text);
            } else if (want.textOrdinal != 0) {
                EXPECT_TRUE(actual.text.isOrdinal);
                EXPECT_EQ(actual.text.ordinal, want.textOrdinal);
            }
            EXPECT_EQ(actual.x, want.x);
            EXPECT_EQ(actual.y, want.y);
            EXPECT_EQ(actual.cx, want.cx);
            EXPECT_EQ(actual.cy, want.cy);
            EXPECT_EQ(actual.style, want.style) << std::hex << actual.style << " vs " << want.style;
            EXPECT_EQ(actual.exStyle, 0u);
            EXPECT_EQ(actual.helpId, 0u);
            EXPECT_EQ(actual.extraBytes, 0u);
        }
    }

    HMODULE module_ = nullptr;
};

void expectStandardHeader(const ParsedDialog& dialog) {
    EXPECT_EQ(dialog.version, 1);
    EXPECT_EQ(dialog.signature, 0xFFFF) << "an extended template";
    EXPECT_EQ(dialog.helpId, 0u);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_FALSE(dialog.menu.isOrdinal);
    EXPECT_TRUE(dialog.menu.text.empty()) << "no menu";
    EXPECT_FALSE(dialog.windowClass.isOrdinal);
    EXPECT_TRUE(dialog.windowClass.text.empty()) << "the standard dialog class";
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.weight, 0);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, 0);
    EXPECT_EQ(dialog.typeface, L"MS Shell Dlg");
}

TEST_F(BuiltProgram, MainDialogTemplateMatchesTheLayoutControlByControl) {
    const std::vector<std::uint8_t> bytes = resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_MAINDLG));
    ASSERT_FALSE(bytes.empty());
    bool ok = false;
    const ParsedDialog dialog = parseDialogEx(bytes.data(), bytes.size(), ok);
    ASSERT_TRUE(ok);
    expectStandardHeader(dialog);
    EXPECT_EQ(dialog.style, static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                               DS_SETFONT | DS_FIXEDSYS))
        << std::hex << dialog.style;
    EXPECT_EQ(dialog.cx, 552);
    EXPECT_EQ(dialog.cy, 229);
    EXPECT_EQ(dialog.caption.rfind(L"Corvane - ", 0), 0u);
    EXPECT_GT(dialog.caption.size(), std::wstring(L"Corvane - ").size()) << "with a site label";
    expectControls(dialog, kMainControls, std::size(kMainControls));
}

TEST_F(BuiltProgram, AboutTemplateMatchesTheLayout) {
    const std::vector<std::uint8_t> bytes = resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUTBOX));
    ASSERT_FALSE(bytes.empty());
    bool ok = false;
    const ParsedDialog dialog = parseDialogEx(bytes.data(), bytes.size(), ok);
    ASSERT_TRUE(ok);
    expectStandardHeader(dialog);
    EXPECT_EQ(dialog.style, 0x80C800C8u) << std::hex << dialog.style;
    EXPECT_EQ(dialog.cx, 187);
    EXPECT_EQ(dialog.cy, 102);
    EXPECT_EQ(dialog.caption, L"About");
    expectControls(dialog, kAboutControls, std::size(kAboutControls));

    const TemplateText& text = dialog.controls[1].text;
    ASSERT_FALSE(text.isOrdinal);
    EXPECT_EQ(text.text.rfind(L"Corvane Application v1.0\n\n", 0), 0u);
    const std::wstring third =
        text.text.substr(std::wstring(L"Corvane Application v1.0\n\n").size());
    EXPECT_FALSE(third.empty());
    EXPECT_EQ(third.find_first_of(L"\r\n"), std::wstring::npos) << "exactly three lines";
}

TEST_F(BuiltProgram, ManifestAsksForAsInvokerAndCommonControlsSix) {
    const std::vector<std::uint8_t> bytes = resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
    ASSERT_FALSE(bytes.empty());
    const std::string manifest(bytes.begin(), bytes.end());
    for (const char* expected :
         {"level=\"asInvoker\"", "uiAccess=\"false\"", "name=\"Microsoft.Windows.Common-Controls\"",
          "version=\"6.0.0.0\"", "processorArchitecture=\"x86\"",
          "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\""}) {
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
    }
    // The dependency's attributes belong to one element.
    const std::size_t dependency = manifest.find("Microsoft.Windows.Common-Controls");
    const std::size_t start = manifest.rfind('<', dependency);
    const std::size_t end = manifest.find('>', dependency);
    const std::string element = manifest.substr(start, end - start);
    for (const char* expected : {"version=\"6.0.0.0\"", "processorArchitecture=\"x86\"",
                                 "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\""}) {
        EXPECT_NE(element.find(expected), std::string::npos) << expected;
    }
    // Only one manifest: no second one from the tool chain.
    EXPECT_TRUE(resource(RT_MANIFEST, MAKEINTRESOURCEW(2)).empty());
}

// Windows ignores a DPI setting without a word in another namespace or outside asm.v3's
// windowsSettings, so each is looked for whole, in its place.
TEST_F(BuiltProgram, ManifestAsksForPerMonitorV2WithSystemAwareFallback) {
    const std::vector<std::uint8_t> bytes = resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
    const std::string manifest(bytes.begin(), bytes.end());
    std::size_t at = 0;
    for (const char* part :
         {"<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">", "<windowsSettings>",
          "<dpiAware "
          "xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
          "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
          "PerMonitorV2, System</dpiAwareness>",
          "</windowsSettings>", "</application>"}) {
        at = manifest.find(part, at);
        ASSERT_NE(at, std::string::npos) << part;
    }
}

TEST_F(BuiltProgram, VersionRecordIsOneZeroZeroOne) {
    const std::wstring path = testing::builtProgramPath(L"corvane.exe");
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<std::uint8_t> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    ASSERT_GE(fixedSize, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
}

TEST_F(BuiltProgram, IconIsOne128By128ImageAt32BitsPerPixel) {
    const std::vector<std::uint8_t> group =
        resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_GE(group.size(), 6u + 14u);
    std::uint16_t reserved = 0, type = 0, count = 0;
    std::memcpy(&reserved, group.data(), 2);
    std::memcpy(&type, group.data() + 2, 2);
    std::memcpy(&count, group.data() + 4, 2);
    EXPECT_EQ(reserved, 0);
    EXPECT_EQ(type, 1);
    ASSERT_EQ(count, 1);
    // GRPICONDIRENTRY: width, height, colours, reserved, planes, bit count, bytes, id.
    const std::uint8_t* entry = group.data() + 6;
    EXPECT_EQ(entry[0], 128);
    EXPECT_EQ(entry[1], 128);
    std::uint16_t bitCount = 0, imageId = 0;
    std::memcpy(&bitCount, entry + 6, 2);
    std::memcpy(&imageId, entry + 12, 2);
    EXPECT_EQ(bitCount, 32);

    const std::vector<std::uint8_t> image = resource(RT_ICON, MAKEINTRESOURCEW(imageId));
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header{};
    std::memcpy(&header, image.data(), sizeof(header));
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 128);
    EXPECT_EQ(header.biHeight, 256) << "colour image and mask";
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(image.size(), 40u + 128u * 128u * 4u + 128u * 16u);

    // The platform can make an icon of it at the sizes the dialog asks for.
    for (const int size : {16, 32, 128}) {
        const HICON icon = static_cast<HICON>(::LoadImageW(
            module_, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        EXPECT_NE(icon, nullptr) << size;
        if (icon != nullptr) {
            ::DestroyIcon(icon);
        }
    }
}

} // namespace
} // namespace corvane
