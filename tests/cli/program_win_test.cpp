// corvane-script.exe as a user runs it: a separate console process with its output in files,
// the registered providers coming from the test Tdh.dll.
#include "cli/system_host.h"
#include "encoding/utf8.h"
#include "script/capture_script.h"
#include "tests/core/script_examples.h"
#include "tests/providers/tdh_fixture_control.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "corvane_version.h"

#include <algorithm>

#include <string>
#include <vector>

namespace corvane {
namespace {

using test_files::readFileBytes;
using test_files::ScratchFolder;
using test_files::writeFileBytes;

// The test programs live two folders below the programs of the build.
std::wstring programPath() {
    return tdh_fixture::programDirectory() + L"..\\..\\corvane-script.exe";
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Shares everything: a process of Wine's may still hold a child's inherited handles.
std::string readShared(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes;
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char block[4096];
    DWORD count = 0;
    while (ReadFile(file, block, sizeof block, &count, nullptr) && count > 0) {
        bytes.append(block, count);
    }
    CloseHandle(file);
    return bytes;
}

struct ProgramRun {
    DWORD status = 0xFFFFFFFF;
    std::string output;
    std::string errors;
};

// Runs corvane-script.exe with its standard output and error in files of the folder.
ProgramRun runProgram(const std::wstring& arguments, const ScratchFolder& folder) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    // New names each run: Wine may close a child's inherited handles a little after it ends.
    static int runs = 0;
    ++runs;
    const std::wstring outPath = folder.file(L"out" + std::to_wstring(runs) + L".txt");
    const std::wstring errPath = folder.file(L"err" + std::to_wstring(runs) + L".txt");
    const HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, kShareAll, &inheritable,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, kShareAll, &inheritable,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ProgramRun run;
    if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create the output files";
        return run;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring commandLine = L"\"" + programPath() + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, folder.path().c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &run.status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start corvane-script.exe: error " << GetLastError();
    }
    CloseHandle(out);
    CloseHandle(err);
    run.output = readShared(outPath);
    run.errors = readShared(errPath);
    return run;
}

TEST(ScriptProgram, WritesTheWorkedExampleInTheCommandPromptsCodePage) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.exists());
    ASSERT_TRUE(writeFileBytes(folder.file(L"p.txt"),
                               "etl-out-path = D:\\traces\\20240105_093000.etl\n"
                               "kernel-flag = LOADER\nkernel-flag = PROC_THREAD\n"
                               "stackwalk = ProcessCreate\nstackwalk = CSwitch\n"
                               "provider = Microsoft-Windows-Win32k\n"
                               "provider = Microsoft-Windows-Shell-Core\n"
                               "log-stack = yes\nheap = yes\nprocess-name-or-pid = notepad\n"));
    const ProgramRun written = runProgram(L"p.txt -o worked.cmd", folder);
    EXPECT_EQ(written.status, 0U) << written.errors;
    EXPECT_EQ(written.errors.rfind("corvane-script: warning: stackwalk CSwitch ", 0), 0U);
    const script_examples::ScriptExample& example =
        script_examples::scriptExample("worked example");
    const std::wstring built = BuildCaptureScript(example.settings).value_or(L"");
    EXPECT_EQ(readFileBytes(folder.file(L"worked.cmd")).value_or(""), toUtf8(built));

    // Non-ASCII text goes out in the OEM code page: e-acute is 0x82 in 437 and 850.
    const UINT oem = GetOEMCP();
    ASSERT_TRUE(oem == 437 || oem == 850) << "OEM code page " << oem;
    // (0x82 right before the closing quote would be refused: code page 932 would join the two.)
    const ProgramRun accented =
        runProgram(L"p.txt --stdout --set provider=acme-Caf\u00e9s", folder);
    EXPECT_EQ(accented.status, 0U) << accented.errors;
    EXPECT_NE(accented.output.find("\"acme-Caf\x82s\":::'stack'+"), std::string::npos);
    // Read back in the same code page, such a script gives its profile, which is UTF-8.
    ASSERT_EQ(runProgram(L"p.txt -o cafe.cmd --set provider=acme-Caf\u00e9s", folder).status, 0U);
    const ProgramRun profile = runProgram(L"--profile-from cafe.cmd --stdout", folder);
    EXPECT_EQ(profile.status, 0U) << profile.errors;
    EXPECT_NE(profile.output.find("\nprovider = acme-Caf\xC3\xA9s\n"), std::string::npos)
        << profile.output;

    // The euro sign is not in 437 or 850: refused with the dialog's words, nothing written.
    const ProgramRun refused = runProgram(L"p.txt -o euro.cmd --set provider=\u20ac", folder);
    EXPECT_EQ(refused.status, 1U);
    EXPECT_EQ(refused.errors, "corvane-script: The script contains characters that the command "
                              "prompt's code page cannot represent. (code page " +
                                  std::to_string(oem) + ")\n");
    EXPECT_FALSE(readFileBytes(folder.file(L"euro.cmd")).has_value());

    // EBCDIC code pages write even "echo" in other bytes.
    for (const wchar_t* codePage : {L"37", L"500", L"1026"}) {
        const ProgramRun ebcdic =
            runProgram(L"p.txt -o e.cmd --code-page " + std::wstring(codePage), folder);
        EXPECT_EQ(ebcdic.status, 1U);
        EXPECT_NE(ebcdic.errors.find("(an EBCDIC code page does not)"), std::string::npos)
            << ebcdic.errors;
    }
    EXPECT_FALSE(readFileBytes(folder.file(L"e.cmd")).has_value());
}

// Code page 932 has two byte pairs for U+7E8A: Windows writes FA 5C (IBM extension) and reads ED 40
// (its NEC-selected copy) as the same character. A saved script with ED 40 reads back into a
// profile that makes FA 5C: only the comparison of the bytes shows that it is not Corvane's.
TEST(ScriptProgram, AScriptThatItsProfileMakesInOtherBytesIsNotReadBack) {
    ScratchFolder folder;
    ASSERT_TRUE(writeFileBytes(folder.file(L"p.txt"), "etl-out-path = D:\\\xE7\xBA\x8Ax\\out.etl\n"
                                                      "kernel-flag = LOADER\n"));
    ASSERT_EQ(runProgram(L"p.txt -o s.cmd --code-page 932", folder).status, 0U);
    std::string script = readFileBytes(folder.file(L"s.cmd")).value_or("");
    const std::string written = "D:\\\xFA\x5Cx";
    ASSERT_NE(script.find(written), std::string::npos) << "932 writes U+7E8A otherwise here";
    for (std::size_t at = script.find(written); at != std::string::npos;
         at = script.find(written)) {
        script.replace(at, written.size(), "D:\\\xED\x40x");
    }
    ASSERT_TRUE(writeFileBytes(folder.file(L"s.cmd"), script));

    const ProgramRun read =
        runProgram(L"--profile-from s.cmd -o s.profile --code-page 932", folder);
    EXPECT_EQ(read.status, 1U);
    EXPECT_EQ(read.errors, "corvane-script: s.cmd: line 25 is not as Corvane writes it: its "
                           "profile makes the line otherwise in this code page, so nothing is "
                           "written\n");
    EXPECT_FALSE(readFileBytes(folder.file(L"s.profile")).has_value());
}

// Reading stops at the limit: a sparse profile of 3 GiB costs 16 MiB, not 3 GiB of memory. (What
// the program says when memory does run out is not shown: Wine does not enforce a job's memory
// limit, so no test can make an allocation fail in it.)
TEST(ScriptProgram, AProfileOfGibibytesIsRefusedForItsSize) {
    ScratchFolder folder;
    const HANDLE huge = CreateFileW(folder.file(L"huge.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(huge, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size{};
    size.QuadPart = 3LL << 30;
    const bool sized = SetFilePointerEx(huge, size, nullptr, FILE_BEGIN) && SetEndOfFile(huge);
    CloseHandle(huge);
    ASSERT_TRUE(sized);

    const ProgramRun run = runProgram(L"huge.txt --stdout", folder);
    EXPECT_EQ(run.status, 1U);
    EXPECT_EQ(run.errors, "corvane-script: the profile 'huge.txt' is larger than 16 MiB, the most "
                          "it may hold\n");
}

TEST(ScriptProgram, ARefusedFileIsNamedWithItsOwnReason) {
    ScratchFolder folder;
    ASSERT_TRUE(
        writeFileBytes(folder.file(L"p.txt"), "etl-out-path = D:\\t.etl\nkernel-flag = LOADER\n"));
    ASSERT_TRUE(writeFileBytes(folder.file(L"kept.cmd"), "earlier\r\n"));
    ASSERT_TRUE(SetFileAttributesW(folder.file(L"kept.cmd").c_str(), FILE_ATTRIBUTE_READONLY));

    const ProgramRun readOnly = runProgram(L"p.txt -o kept.cmd --force", folder);
    EXPECT_EQ(readOnly.status, 2U);
    EXPECT_EQ(readOnly.errors, "corvane-script: cannot write 'kept.cmd': the file is read-only\n");
    const ProgramRun device = runProgram(L"p.txt -o \\\\.\\NUL --force", folder);
    EXPECT_EQ(device.errors,
              "corvane-script: cannot write '\\\\.\\NUL': it is a device, not a file\n");
    EXPECT_EQ(readFileBytes(folder.file(L"kept.cmd")), "earlier\r\n");
}

// Without a manifest Windows runs a console program with file virtualization.
TEST(ScriptProgram, CarriesAnAsInvokerManifestAndTheProjectsVersion) {
    const HMODULE program =
        LoadLibraryExW(programPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    const HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), RT_MANIFEST);
    const char* const bytes =
        found ? static_cast<const char*>(LockResource(LoadResource(program, found))) : nullptr;
    const std::string manifest = bytes ? std::string(bytes, SizeofResource(program, found)) : "";
    FreeLibrary(program);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;

    DWORD handle = 0;
    std::vector<char> record(GetFileVersionInfoSizeW(programPath().c_str(), &handle));
    ASSERT_FALSE(record.empty());
    ASSERT_TRUE(GetFileVersionInfoW(programPath().c_str(), 0, static_cast<DWORD>(record.size()),
                                    record.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD{CORVANE_VERSION_MAJOR << 16 | CORVANE_VERSION_MINOR});
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD{CORVANE_VERSION_PATCH << 16 | CORVANE_VERSION_TWEAK});
}

TEST(ScriptProgram, AFolderGivenAsTheProfileIsCalledOne) {
    ScratchFolder folder;
    SystemScriptToolHost host;
    std::string bytes;
    std::wstring why;
    EXPECT_FALSE(host.readFile(folder.path(), kLargestProfile, bytes, why));
    EXPECT_EQ(why, L"it is a folder");
}

TEST(ScriptProgram, ListsTheRegisteredProvidersAsTheSortedListShowsThem) {
    tdh_fixture::ScriptFile providers;
    ASSERT_TRUE(providers.write("provider Zeta\nprovider alpha\nprovider Caf\xC3\xA9\n"
                                "provider Beta\n"));
    ScratchFolder folder;
    const ProgramRun listed = runProgram(L"--list providers", folder);
    EXPECT_EQ(listed.status, 0U) << listed.errors;
    EXPECT_EQ(listed.output, "alpha\nBeta\nCaf\xC3\xA9\nZeta\n");
}

TEST(ScriptProgram, ProviderOrderIsTheOrderOfASortedListBox) {
    // Hyphens, underscores, digits, case and accents: where a plain code-unit order differs.
    const std::vector<std::wstring> names = {L"Microsoft-Windows-Kernel",
                                             L"MicrosoftWindows",
                                             L"microsoft_a",
                                             L"Microsoft-A",
                                             L"co-op",
                                             L"coop",
                                             L"Cop",
                                             L"a.b",
                                             L"a_b",
                                             L"ab",
                                             L"a b",
                                             L"a0b",
                                             L"a~b",
                                             L"a!b",
                                             L"a1",
                                             L"A10",
                                             L"a2",
                                             L"\u00e9t\u00e9",
                                             L"ete",
                                             L"Zed",
                                             L"_lead",
                                             L"-lead",
                                             L"lead"};
    const HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0,
                                      0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    for (const std::wstring& name : names) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    std::vector<std::wstring> shown;
    for (LRESULT i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        std::wstring text(
            static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)),
            L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(text.data()));
        shown.push_back(text);
    }
    DestroyWindow(list);

    SystemScriptToolHost host;
    std::vector<std::wstring> sorted = names;
    std::stable_sort(sorted.begin(), sorted.end(), host.providerOrder());
    EXPECT_EQ(sorted, shown);
}

} // namespace
} // namespace corvane
