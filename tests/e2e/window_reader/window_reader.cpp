// Read-only window inspector for the end-to-end tests: writes every top-level window of the
// session as JSON, and for the processes with the image name given, the whole tree of their
// windows with what a person sees in each control.
//   corvane_inspector.exe IMAGE-NAME OUTPUT-FILE      one look
//   corvane_inspector.exe IMAGE-NAME --serve FOLDER   a look for each request file put there
// It only asks (WM_GETTEXT, LB_/CB_/BM_/STM_/TTM_ queries, GetGUIThreadInfo); it never changes a
// window. Output goes to files: a pipe from a Wine program can outlive the program. Serving saves
// the start of a Wine process per look, which dominates a polling wait.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr UINT kAnswerTimeoutMs = 2000;
constexpr std::size_t kSpareUnits = 1024;

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~UniqueHandle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    [[nodiscard]] bool valid() const noexcept {
        return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
    }
    [[nodiscard]] HANDLE get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

// A query that a hung window cannot turn into a hung inspector; 0 when it does not answer.
LRESULT ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                             &result)) {
        return 0;
    }
    return static_cast<LRESULT>(result);
}

class JsonWriter {
public:
    void raw(const char* text) { out_ += text; }
    void key(const char* name) {
        comma();
        out_ += '"';
        out_ += name;
        out_ += "\":";
        pendingComma_ = false;
    }
    void open(char bracket) {
        comma();
        out_ += bracket;
        pendingComma_ = false;
    }
    void close(char bracket) {
        out_ += bracket;
        pendingComma_ = true;
    }
    void number(long long value) {
        comma();
        out_ += std::to_string(value);
        pendingComma_ = true;
    }
    void boolean(bool value) {
        comma();
        out_ += value ? "true" : "false";
        pendingComma_ = true;
    }
    // UTF-16 code units outside printable ASCII become \uXXXX, surrogates included.
    void text(const std::wstring& value) {
        comma();
        out_ += '"';
        for (const wchar_t unit : value) {
            if (unit == L'"' || unit == L'\\') {
                out_ += '\\';
                out_ += static_cast<char>(unit);
            } else if (unit >= 0x20 && unit < 0x7F) {
                out_ += static_cast<char>(unit);
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit));
                out_ += escaped;
            }
        }
        out_ += '"';
        pendingComma_ = true;
    }
    void rect(const RECT& value) {
        open('[');
        number(value.left);
        number(value.top);
        number(value.right);
        number(value.bottom);
        close(']');
    }
    [[nodiscard]] const std::string& result() const noexcept { return out_; }

private:
    void comma() {
        if (pendingComma_) {
            out_ += ',';
        }
    }
    std::string out_;
    bool pendingComma_ = false;
};

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::wstring windowText(HWND window) {
    const LRESULT length = ask(window, WM_GETTEXTLENGTH);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

// Memory in another process, for a question that carries a pointer.
class RemoteBlock {
public:
    RemoteBlock(HANDLE process, std::size_t size) noexcept
        : process_(process),
          address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteBlock() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    [[nodiscard]] void* get() const noexcept { return address_; }
    template <typename T>
    [[nodiscard]] bool put(const T& value) const noexcept {
        return WriteProcessMemory(process_, address_, &value, sizeof value, nullptr) != FALSE;
    }
    template <typename T>
    [[nodiscard]] bool take(T& value) const noexcept {
        return ReadProcessMemory(process_, address_, &value, sizeof value, nullptr) != FALSE;
    }

private:
    HANDLE process_;
    void* address_;
};

// The text of the tip a tooltip shows, empty when it shows none. Wine's tooltip answers
// WM_GETTEXT from another process with nothing, and TTM_GETTEXTW carries a pointer, so the tool's
// record and the text buffer are put into the tooltip's own process.
std::wstring shownTipText(HWND tooltip) {
    constexpr std::size_t kTipUnits = 1024; // the most a tooltip holds
    struct Question {
        TTTOOLINFOW tool;
        wchar_t text[kTipUnits];
    };
    DWORD processId = 0;
    GetWindowThreadProcessId(tooltip, &processId);
    const UniqueHandle process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process.valid()) {
        return {};
    }
    const RemoteBlock remote(process.get(), sizeof(Question));
    auto* const remoteQuestion = static_cast<Question*>(remote.get());
    Question question{};
    question.tool.cbSize = sizeof question.tool;
    const auto toolAddress = reinterpret_cast<LPARAM>(remoteQuestion);
    if (remoteQuestion == nullptr || !remote.put(question) ||
        !ask(tooltip, TTM_GETCURRENTTOOLW, 0, toolAddress) || !remote.take(question)) {
        return {};
    }
    question.tool.lpszText = remoteQuestion->text;
    if (!remote.put(question)) {
        return {};
    }
    ask(tooltip, TTM_GETTEXTW, kTipUnits, toolAddress);
    if (!remote.take(question)) {
        return {};
    }
    question.text[kTipUnits - 1] = L'\0';
    return question.text;
}

// Without itemTexts only the count: a look at a focus or a message box need not read the
// 190 entries of the two kernel lists.
void writeListItems(JsonWriter& json, HWND window, UINT countMessage, UINT lengthMessage,
                    UINT textMessage, bool itemTexts) {
    const LRESULT count = ask(window, countMessage);
    json.key("itemCount");
    json.number(count);
    if (!itemTexts) {
        return;
    }
    json.key("items");
    json.open('[');
    for (LRESULT index = 0; index < count; ++index) {
        // Room to spare: the entry may change between the two questions (a Reset refills).
        const LRESULT length = ask(window, lengthMessage, static_cast<WPARAM>(index));
        std::wstring item((length > 0 ? static_cast<std::size_t>(length) : 0) + kSpareUnits, L'\0');
        const LRESULT copied = ask(window, textMessage, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(&item[0]));
        item.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        json.text(item);
    }
    json.close(']');
}

void writeListBox(JsonWriter& json, HWND window, LONG style, bool itemTexts) {
    writeListItems(json, window, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, itemTexts);
    json.key("selected");
    json.open('[');
    if ((style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0) {
        const LRESULT count = ask(window, LB_GETSELCOUNT);
        if (count > 0) {
            std::vector<int> indices(static_cast<std::size_t>(count), -1);
            const LRESULT got = ask(window, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                    reinterpret_cast<LPARAM>(indices.data()));
            for (LRESULT index = 0; index < got; ++index) {
                json.number(indices[static_cast<std::size_t>(index)]);
            }
        }
    } else {
        const LRESULT current = ask(window, LB_GETCURSEL);
        if (current >= 0) {
            json.number(current);
        }
    }
    json.close(']');
    json.key("caret");
    json.number(ask(window, LB_GETCARETINDEX));
    // Enough to point at a visible entry: entry i lies itemHeight * (i - topIndex) below the
    // client area's top.
    json.key("topIndex");
    json.number(ask(window, LB_GETTOPINDEX));
    json.key("itemHeight");
    json.number(ask(window, LB_GETITEMHEIGHT));
}

void writeControlState(JsonWriter& json, HWND window, const std::wstring& kind, LONG style,
                       bool itemTexts) {
    if (kind == L"ListBox" || kind == L"ComboLBox") {
        writeListBox(json, window, style, itemTexts);
    } else if (kind == L"ComboBox") {
        writeListItems(json, window, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, itemTexts);
        json.key("current");
        json.number(ask(window, CB_GETCURSEL));
        json.key("dropped");
        json.boolean(ask(window, CB_GETDROPPEDSTATE) != 0);
    } else if (kind == L"Button") {
        const LONG type = style & BS_TYPEMASK;
        const bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX ||
                               type == BS_3STATE || type == BS_AUTO3STATE ||
                               type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
        if (checkable) {
            json.key("check");
            json.number(ask(window, BM_GETCHECK));
        }
        json.key("default");
        json.boolean(type == BS_DEFPUSHBUTTON);
    } else if (kind == L"Edit") {
        const LRESULT selection = ask(window, EM_GETSEL);
        json.key("selection");
        json.open('[');
        json.number(LOWORD(selection));
        json.number(HIWORD(selection));
        json.close(']');
    } else if (kind == L"Static") {
        json.key("hasIcon");
        json.boolean(ask(window, STM_GETICON) != 0);
    } else if (kind == TOOLTIPS_CLASSW) {
        json.key("tipText");
        json.text(shownTipText(window));
    }
}

void writeWindow(JsonWriter& json, HWND window, bool withChildren, bool itemTexts) {
    const std::wstring kind = className(window);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    json.open('{');
    json.key("hwnd");
    json.number(static_cast<long long>(reinterpret_cast<INT_PTR>(window)));
    json.key("class");
    json.text(kind);
    json.key("id");
    json.number(GetDlgCtrlID(window));
    json.key("text");
    json.text(windowText(window));
    json.key("style");
    json.number(static_cast<unsigned long>(style));
    json.key("enabled");
    json.boolean(IsWindowEnabled(window) != FALSE);
    json.key("visible");
    json.boolean(IsWindowVisible(window) != FALSE);
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    json.key("rect");
    json.rect(bounds);
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&client, origin.x, origin.y);
    json.key("clientRect");
    json.rect(client);
    if (withChildren) {
        writeControlState(json, window, kind, style, itemTexts);
        json.key("children");
        json.open('[');
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            writeWindow(json, child, true, itemTexts);
        }
        json.close(']');
    }
    json.close('}');
}

std::set<DWORD> processesNamed(const wchar_t* imageName) {
    std::set<DWORD> found;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) {
        return found;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, imageName) == 0) {
            found.insert(entry.th32ProcessID);
        }
    }
    return found;
}

std::wstring imageOf(DWORD processId) {
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot.valid() && Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == processId) {
            return entry.szExeFile;
        }
    }
    return {};
}

BOOL CALLBACK collectTopLevel(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::string inspect(const wchar_t* imageName, bool itemTexts) {
    const std::set<DWORD> watched = processesNamed(imageName);
    std::vector<HWND> topLevel;
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&topLevel));

    JsonWriter json;
    json.open('{');
    json.key("processes");
    json.open('[');
    for (const DWORD id : watched) {
        json.number(id);
    }
    json.close(']');

    std::set<DWORD> guiThreads;
    json.key("windows");
    json.open('[');
    for (const HWND window : topLevel) {
        DWORD processId = 0;
        const DWORD threadId = GetWindowThreadProcessId(window, &processId);
        const bool ours = watched.count(processId) != 0;
        if (ours) {
            guiThreads.insert(threadId);
        }
        json.open('{');
        json.key("pid");
        json.number(processId);
        json.key("image");
        json.text(imageOf(processId));
        json.key("owner");
        json.number(static_cast<long long>(reinterpret_cast<INT_PTR>(GetWindow(window, GW_OWNER))));
        json.key("window");
        writeWindow(json, window, ours, itemTexts);
        json.close('}');
    }
    json.close(']');

    // The focus as the program's own GUI thread sees it.
    json.key("threads");
    json.open('[');
    for (const DWORD threadId : guiThreads) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(threadId, &info)) {
            continue;
        }
        json.open('{');
        json.key("thread");
        json.number(threadId);
        json.key("focus");
        json.number(static_cast<long long>(reinterpret_cast<INT_PTR>(info.hwndFocus)));
        json.key("active");
        json.number(static_cast<long long>(reinterpret_cast<INT_PTR>(info.hwndActive)));
        json.close('}');
    }
    json.close(']');
    json.close('}');
    return json.result();
}

bool writeDocument(const std::wstring& path, const std::string& document) {
    const std::wstring partial = path + L".part";
    {
        const UniqueHandle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file.valid() ||
            !WriteFile(file.get(), document.data(), static_cast<DWORD>(document.size()), &written,
                       nullptr) ||
            written != document.size()) {
            return false;
        }
    }
    // The reader never sees half a document.
    return MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

// The request file holds the output path in UTF-8, then optionally a line "brief" (no list
// texts); it is taken (deleted) before the look.
bool takeRequest(const std::wstring& requestPath, std::wstring& outputPath, bool& itemTexts) {
    std::string bytes;
    {
        const UniqueHandle file(CreateFileW(requestPath.c_str(), GENERIC_READ | DELETE, 0, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (!file.valid()) {
            return false;
        }
        char chunk[1024];
        DWORD read = 0;
        while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
            bytes.append(chunk, read);
        }
    }
    const std::size_t lineEnd = bytes.find('\n');
    itemTexts = lineEnd == std::string::npos || bytes.compare(lineEnd + 1, 5, "brief") != 0;
    bytes.resize(std::min(lineEnd, bytes.size()));
    while (!bytes.empty() && bytes.back() == '\r') {
        bytes.pop_back();
    }
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (units <= 0) {
        return false;
    }
    outputPath.assign(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &outputPath[0],
                        units);
    return true;
}

int serve(const wchar_t* imageName, const std::wstring& folder) {
    const std::wstring requestPath = folder + L"\\request";
    const std::wstring stopPath = folder + L"\\stop";
    for (;;) {
        if (GetFileAttributesW(stopPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return 0;
        }
        std::wstring outputPath;
        bool itemTexts = true;
        if (takeRequest(requestPath, outputPath, itemTexts)) {
            // A look that cannot be written is reported and left out; the asker's wait ends it.
            if (!writeDocument(outputPath, inspect(imageName, itemTexts))) {
                std::fprintf(stderr, "cannot write %ls: error %lu\n", outputPath.c_str(),
                             GetLastError());
                std::fflush(stderr);
            }
            continue;
        }
        Sleep(15);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wcscmp(argv[2], L"--serve") == 0) {
        return serve(argv[1], argv[3]);
    }
    if (argc != 3) {
        std::fputs("usage: corvane_inspector IMAGE-NAME OUTPUT-FILE | IMAGE-NAME --serve FOLDER\n",
                   stderr);
        return 2;
    }
    return writeDocument(argv[2], inspect(argv[1], true)) ? 0 : 1;
}
