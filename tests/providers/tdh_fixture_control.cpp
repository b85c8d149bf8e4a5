#include "tests/providers/tdh_fixture_control.h"

namespace corvane::tdh_fixture {
namespace {

template <typename Function>
Function fixtureExport(const char* name) {
    const HMODULE library = GetModuleHandleW(L"Tdh.dll");
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

} // namespace

ScriptFile::ScriptFile() {
    wchar_t directory[MAX_PATH];
    wchar_t path[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, directory);
    if (length > 0 && length < MAX_PATH && GetTempFileNameW(directory, L"tdh", 0, path) != 0) {
        path_ = path;
    }
    SetEnvironmentVariableW(kScriptVariable, path_.c_str());
}

ScriptFile::~ScriptFile() {
    SetEnvironmentVariableW(kScriptVariable, nullptr);
    if (!path_.empty()) {
        DeleteFileW(path_.c_str());
    }
}

bool ScriptFile::write(std::string_view utf8Text) const {
    if (path_.empty()) {
        return false;
    }
    const HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, utf8Text.data(), static_cast<DWORD>(utf8Text.size()), &written, nullptr);
    CloseHandle(file);
    return wrote && written == utf8Text.size();
}

std::vector<CallRecord> recordedCalls() {
    const auto count = fixtureExport<CallCountFunction>("TdhFixtureCallCount");
    const auto get = fixtureExport<GetCallFunction>("TdhFixtureGetCall");
    std::vector<CallRecord> calls;
    if (count == nullptr || get == nullptr) {
        return calls;
    }
    calls.resize(count());
    for (ULONG index = 0; index < calls.size(); ++index) {
        get(index, &calls[index]);
    }
    return calls;
}

std::wstring programDirectory() {
    wchar_t path[MAX_PATH];
    const std::wstring program(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return program.substr(0, program.find_last_of(L'\\') + 1);
}

std::wstring moduleDirectory(HMODULE module) {
    wchar_t path[MAX_PATH];
    std::wstring file(path, GetModuleFileNameW(module, path, MAX_PATH));
    file.erase(file.find_last_of(L'\\') + 1);
    CharLowerBuffW(file.data(), static_cast<DWORD>(file.size()));
    return file;
}

std::wstring systemDirectory() {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    std::wstring directory(path, length < MAX_PATH ? length : 0);
    directory += L'\\';
    CharLowerBuffW(directory.data(), static_cast<DWORD>(directory.size()));
    return directory;
}

} // namespace corvane::tdh_fixture
