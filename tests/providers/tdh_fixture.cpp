// A stand-in Tdh.dll for the tests. Its TdhEnumerateProviders answers as a UTF-8 script file
// tells it, read afresh on every call, one directive a line:
//   provider NAME            a provider with that name (the rest of the line)
//   providers COUNT PREFIX   COUNT providers named PREFIX00000, PREFIX00001, ...
//   zero-offset              an element whose name offset is 0
//   offset end|past-end|N    an element whose name offset is the buffer's size, beyond it, or N
//   unterminated NAME        a name without its NUL, the last bytes of the buffer
//   extra-count N            NumberOfProviders claims N more elements than there are
//   busy N                   N extra 122 answers, each as if one more provider were registered
//   slack N                  122 answers ask for N bytes more than success then reports as used
//   fail STATUS [CALL]       call CALL of an enumeration (default 2) returns STATUS
//   need-size N [CALL]       call CALL (default 1) answers 122 asking for N bytes
//   succeed-without-buffer   the first call returns 0 without asking for a buffer
// A call without a buffer starts a new enumeration (call 1).
#include "tests/providers/tdh_fixture_protocol.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

using corvane::tdh_fixture::CallRecord;

struct Element {
    enum class Kind { Named, ZeroOffset, OffsetAtEnd, OffsetPastEnd, RawOffset };
    Kind kind = Kind::Named;
    std::wstring name;
    ULONG rawOffset = 0;
};

struct Answer {
    ULONG status = 0;
    ULONG call = 0;
};

struct Script {
    std::vector<Element> elements;
    std::optional<std::wstring> unterminated;
    ULONG extraCount = 0;
    ULONG busy = 0;
    ULONG slack = 0;
    std::optional<Answer> fail;
    std::optional<Answer> needSize; // status holds the size
    bool succeedWithoutBuffer = false;
};

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kElementSize = 24;
constexpr ULONG kPastEndDistance = 100;

std::vector<CallRecord> recordedCalls;
ULONG callInEnumeration = 0;
ULONG busyAnswersGiven = 0;

std::wstring scriptPath() {
    wchar_t fromEnvironment[MAX_PATH];
    const DWORD length =
        GetEnvironmentVariableW(corvane::tdh_fixture::kScriptVariable, fromEnvironment, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        return fromEnvironment;
    }
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&scriptPath), &self);
    wchar_t modulePath[MAX_PATH];
    std::wstring path(modulePath, GetModuleFileNameW(self, modulePath, MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\') + 1) + corvane::tdh_fixture::kScriptFileName;
}

std::wstring readUtf8File(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    CloseHandle(file);
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        units);
    return text;
}

ULONG numberAt(const std::wstring& text, std::size_t& position) {
    const wchar_t* const start = text.c_str() + position;
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(start, &end, 0);
    position += static_cast<std::size_t>(end - start);
    while (position < text.size() && text[position] == L' ') {
        ++position;
    }
    return static_cast<ULONG>(value);
}

void parseLine(const std::wstring& line, Script& script) {
    const std::size_t space = line.find(L' ');
    const std::wstring directive = line.substr(0, space);
    const std::wstring rest = space == std::wstring::npos ? L"" : line.substr(space + 1);
    std::size_t position = 0;
    if (directive == L"provider") {
        script.elements.push_back({Element::Kind::Named, rest, 0});
    } else if (directive == L"providers") {
        const ULONG count = numberAt(rest, position);
        const std::wstring prefix = rest.substr(position);
        for (ULONG index = 0; index < count; ++index) {
            wchar_t digits[16];
            swprintf(digits, 16, L"%05lu", index);
            script.elements.push_back({Element::Kind::Named, prefix + digits, 0});
        }
    } else if (directive == L"zero-offset") {
        script.elements.push_back({Element::Kind::ZeroOffset, L"", 0});
    } else if (directive == L"offset" && rest == L"end") {
        script.elements.push_back({Element::Kind::OffsetAtEnd, L"", 0});
    } else if (directive == L"offset" && rest == L"past-end") {
        script.elements.push_back({Element::Kind::OffsetPastEnd, L"", 0});
    } else if (directive == L"offset") {
        script.elements.push_back({Element::Kind::RawOffset, L"", numberAt(rest, position)});
    } else if (directive == L"unterminated") {
        script.unterminated = rest;
    } else if (directive == L"extra-count") {
        script.extraCount = numberAt(rest, position);
    } else if (directive == L"busy") {
        script.busy = numberAt(rest, position);
    } else if (directive == L"slack") {
        script.slack = numberAt(rest, position);
    } else if (directive == L"fail") {
        const ULONG status = numberAt(rest, position);
        const ULONG call = position < rest.size() ? numberAt(rest, position) : 2;
        script.fail = Answer{status, call};
    } else if (directive == L"need-size") {
        const ULONG size = numberAt(rest, position);
        const ULONG call = position < rest.size() ? numberAt(rest, position) : 1;
        script.needSize = Answer{size, call};
    } else if (directive == L"succeed-without-buffer") {
        script.succeedWithoutBuffer = true;
    }
}

Script loadScript() {
    Script script;
    const std::wstring text = readUtf8File(scriptPath());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        parseLine(line, script);
        start = end + 1;
    }
    return script;
}

void putUint32(std::vector<unsigned char>& bytes, std::size_t at, std::size_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes[at++] = static_cast<unsigned char>(value >> shift);
    }
}

void putUtf16(std::vector<unsigned char>& bytes, const std::wstring& text) {
    for (const wchar_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
    }
}

// PROVIDER_ENUMERATION_INFO with the script's elements and lateProviders registered since.
std::vector<unsigned char> buildLayout(const Script& script, ULONG lateProviders) {
    std::vector<Element> elements = script.elements;
    for (ULONG index = 1; index <= lateProviders; ++index) {
        elements.push_back({Element::Kind::Named, L"Late-Registered-" + std::to_wstring(index), 0});
    }
    std::vector<unsigned char> bytes(kHeaderSize + elements.size() * kElementSize, 0);
    std::vector<std::size_t> nameOffsets(elements.size(), 0);
    for (std::size_t index = 0; index < elements.size(); ++index) {
        if (elements[index].kind == Element::Kind::Named) {
            nameOffsets[index] = bytes.size();
            putUtf16(bytes, elements[index].name + L'\0');
        }
    }
    if (script.unterminated) {
        putUtf16(bytes, *script.unterminated);
    }
    putUint32(bytes, 0, elements.size() + script.extraCount);
    for (std::size_t index = 0; index < elements.size(); ++index) {
        const std::size_t element = kHeaderSize + index * kElementSize;
        std::memset(&bytes[element], static_cast<int>(0xA0 + index % 16), 16); // a GUID
        std::size_t offset = nameOffsets[index];
        switch (elements[index].kind) {
        case Element::Kind::Named:
        case Element::Kind::ZeroOffset:
            break;
        case Element::Kind::OffsetAtEnd:
            offset = bytes.size();
            break;
        case Element::Kind::OffsetPastEnd:
            offset = bytes.size() + kPastEndDistance;
            break;
        case Element::Kind::RawOffset:
            offset = elements[index].rawOffset;
            break;
        }
        putUint32(bytes, element + 20, offset);
    }
    return bytes;
}

ULONG answer(void* buffer, ULONG* size) {
    const Script script = loadScript();
    if (script.fail && script.fail->call == callInEnumeration) {
        return script.fail->status;
    }
    if (script.needSize && script.needSize->call == callInEnumeration) {
        *size = script.needSize->status;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    if (buffer == nullptr && script.succeedWithoutBuffer) {
        return ERROR_SUCCESS;
    }
    const std::vector<unsigned char> layout = buildLayout(script, busyAnswersGiven);
    const ULONG needed = static_cast<ULONG>(layout.size()) + script.slack;
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    if (busyAnswersGiven < script.busy) {
        ++busyAnswersGiven;
        *size = static_cast<ULONG>(buildLayout(script, busyAnswersGiven).size()) + script.slack;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, layout.data(), layout.size());
    *size = static_cast<ULONG>(layout.size());
    return ERROR_SUCCESS;
}

} // namespace

extern "C" {

ULONG WINAPI TdhEnumerateProviders(void* buffer, ULONG* size) {
    if (buffer == nullptr) {
        callInEnumeration = 0;
        busyAnswersGiven = 0;
    }
    ++callInEnumeration;
    if (size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    CallRecord record{};
    record.bufferGiven = buffer != nullptr;
    record.sizeIn = *size;
    record.heapBlockSize =
        buffer == nullptr ? 0 : static_cast<ULONG>(HeapSize(GetProcessHeap(), 0, buffer));
    record.status = answer(buffer, size);
    record.sizeOut = *size;
    recordedCalls.push_back(record);
    return record.status;
}

ULONG WINAPI TdhFixtureCallCount() {
    return static_cast<ULONG>(recordedCalls.size());
}

BOOL WINAPI TdhFixtureGetCall(ULONG index, CallRecord* record) {
    if (index >= recordedCalls.size() || record == nullptr) {
        return FALSE;
    }
    *record = recordedCalls[index];
    return TRUE;
}

} // extern "C"
