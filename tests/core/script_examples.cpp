#include "tests/core/script_examples.h"

#include <cstdlib>

namespace corvane::script_examples {
namespace {

const std::wstring kOptions =
    L" -BufferSize 64 -MinBuffers 64 -MaxBuffers 320 -MaxFile 256 -FileMode Sequential";

std::wstring logOptions(const std::wstring& path) {
    return L" -f \"" + path + L"\"" + kOptions;
}

const std::wstring kHeapKey = L"\"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image "
                              L"File Execution Options\\notepad.exe\"";

std::vector<ScriptExample> makeExamples() {
    std::vector<ScriptExample> examples;

    ScriptExample worked{"worked example", exampleSettings(), L"", L"", L"", L"", {}};
    worked.settings.kernelFlags = {L"PROC_THREAD", L"LOADER"};
    worked.settings.stackwalkEvents = {L"CSwitch", L"ProcessCreate"};
    worked.settings.providers = {L"Microsoft-Windows-Shell-Core", L"Microsoft-Windows-Win32k"};
    worked.settings.logStack = 1;
    worked.settings.heapEnabled = 1;
    worked.settings.heapProcess = L"notepad";
    worked.slot1 = L"reg add " + kHeapKey + L" /v TracingFlags /t REG_DWORD /d 1 /f";
    worked.slot2 =
        L"xperf.exe -on PROC_THREAD+LOADER -stackwalk CSwitch+ProcessCreate -f \"\\kernel.etl\" "
        L"-BufferSize 64 -MinBuffers 64 -MaxBuffers 320 -MaxFile 256 -FileMode Sequential";
    worked.slot3 = L"xperf.exe -start Vell -on \"Microsoft-Windows-Shell-Core\":::'stack'+"
                   L"\"Microsoft-Windows-Win32k\":::'stack' -f \"\\user.etl\" -BufferSize 64 "
                   L"-MinBuffers 64 -MaxBuffers 320 -MaxFile 256 -FileMode Sequential";
    worked.slot4 = L"xperf.exe -start VellHeap -heap -pids 0 -stackwalk "
                   L"HeapCreate+HeapAlloc+HeapRealloc+HeapFree+HeapDestroy -f \"\\heap.etl\" "
                   L"-BufferSize 64 -MinBuffers 64 -MaxBuffers 320 -MaxFile 256 -FileMode "
                   L"Sequential";
    worked.stopSection = {
        L"xperf.exe -stop Vell -stop VellHeap -stop -d \"D:\\traces\\20240105_093000.etl\"", L"",
        L"xperf.exe \"D:\\traces\\20240105_093000.etl\"",
        L"reg delete " + kHeapKey + L" /v TracingFlags /f"};
    examples.push_back(worked);

    ScriptExample kernelOnly{"kernel only", exampleSettings(), L" ", L"", L" ", L" ", {}};
    kernelOnly.settings.kernelFlags = {L"PROC_THREAD"};
    kernelOnly.settings.stackwalkEvents = {L"CSwitch", L"ProcessCreate"};
    kernelOnly.settings.logStack = 1;
    kernelOnly.settings.heapProcess = L"notepad";
    kernelOnly.slot2 =
        L"xperf.exe -on PROC_THREAD -stackwalk CSwitch+ProcessCreate -f \"\\kernel.etl\" "
        L"-BufferSize 64 -MinBuffers 64 -MaxBuffers 320 -MaxFile 256 -FileMode Sequential";
    kernelOnly.stopSection = {L"xperf.exe -stop -d \"D:\\traces\\20240105_093000.etl\"", L"",
                              L"xperf.exe \"D:\\traces\\20240105_093000.etl\""};
    examples.push_back(kernelOnly);

    ScriptExample heapByPid{"heap by pid", exampleSettings(), L" ", L" ", L" ", L"", {}};
    heapByPid.settings.heapEnabled = 1;
    heapByPid.settings.heapProcess = L"1234";
    heapByPid.slot4 = L"xperf.exe -start VellHeap -heap -pids 1234 -stackwalk "
                      L"HeapCreate+HeapAlloc+HeapRealloc+HeapFree+HeapDestroy" +
                      logOptions(L"\\heap.etl");
    heapByPid.stopSection = {L"xperf.exe -stop VellHeap -d \"" + kOutPath + L"\"", L"",
                             L"xperf.exe \"" + kOutPath + L"\""};
    examples.push_back(heapByPid);

    // Typed with its ".exe", as Microsoft's heap documentation writes it: not added again.
    const std::wstring exeKey = L"\"HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image "
                                L"File Execution Options\\notepad.exe\"";
    ScriptExample heapByName{"heap by name", exampleSettings(), L"", L" ", L" ", L"", {}};
    heapByName.settings.heapEnabled = 1;
    heapByName.settings.heapProcess = L"notepad.exe";
    heapByName.slot1 = L"reg add " + exeKey + L" /v TracingFlags /t REG_DWORD /d 1 /f";
    heapByName.slot4 = L"xperf.exe -start VellHeap -heap -pids 0 -stackwalk "
                       L"HeapCreate+HeapAlloc+HeapRealloc+HeapFree+HeapDestroy" +
                       logOptions(L"\\heap.etl");
    heapByName.stopSection = {L"xperf.exe -stop VellHeap -d \"" + kOutPath + L"\"", L"",
                              L"xperf.exe \"" + kOutPath + L"\"",
                              L"reg delete " + exeKey + L" /v TracingFlags /f"};
    examples.push_back(heapByName);
    return examples;
}

} // namespace

TraceSettings exampleSettings() {
    TraceSettings settings;
    settings.maxFileSizeMb = 256;
    settings.bufferSizeKb = 64;
    settings.maxBuffers = 320;
    settings.minBuffers = 64;
    settings.kernelPath = L"\\kernel.etl";
    settings.userPath = L"\\user.etl";
    settings.etlOutPath = kOutPath;
    settings.sessionName = L"Vell";
    settings.heapProcess = L"0";
    settings.heapSessionName = L"VellHeap";
    settings.heapPath = L"\\heap.etl";
    settings.fileMode = L"Sequential";
    return settings;
}

Lines frame(const std::wstring& remark1, const std::wstring& remark2, const std::wstring& slot1,
            const std::wstring& slot2, const std::wstring& slot3, const std::wstring& slot4,
            const Lines& stopSection) {
    Lines lines = {L"@echo off",
                   L"rem Generated by the Corvane",
                   remark1,
                   remark2,
                   L"",
                   L"echo Press a key when ready to start...",
                   L"pause",
                   L"echo .",
                   L"echo ...Capturing...",
                   L"echo .",
                   slot1,
                   L"",
                   slot2,
                   L"",
                   slot3,
                   L"",
                   slot4,
                   L"",
                   L"echo Press a key when you want to stop...",
                   L"pause",
                   L"echo .",
                   L"echo ...Stopping...",
                   L"echo .",
                   L""};
    lines.insert(lines.end(), stopSection.begin(), stopSection.end());
    return lines;
}

std::wstring joinWithCrLf(const Lines& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) {
        text += line;
        text += L"\r\n";
    }
    return text;
}

const ScriptExample& scriptExample(const std::string& name) {
    static const std::vector<ScriptExample> examples = makeExamples();
    for (const ScriptExample& example : examples) {
        if (name == example.name) {
            return example;
        }
    }
    std::abort(); // a test asked for an example that does not exist
}

std::wstring expectedScript(const ScriptExample& example, const std::wstring& remark1,
                            const std::wstring& remark2) {
    return joinWithCrLf(frame(remark1, remark2, example.slot1, example.slot2, example.slot3,
                              example.slot4, example.stopSection));
}

} // namespace corvane::script_examples
