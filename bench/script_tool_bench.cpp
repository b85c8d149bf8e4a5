// How long corvane-script takes for a large profile: every kernel flag and group and every
// stack-walk event, stacks on and heap tracing by name, with as many providers as fit on the
// command prompt's line (140) or far too many (20,000, refused after counting how many would fit).
// Measured in memory (read, parse, sort, assemble, check, encode) and through the native
// program's own files, fsync included.
#include "cli/script_tool.h"
#include "cli/system_host.h"
#include "encoding/utf8.h"
#include "settings/catalogues.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::string largeProfile(std::size_t providerCount) {
    std::string profile = "etl-out-path = D:\\traces\\capture.etl\n"
                          "log-stack = yes\nheap = yes\nprocess-name-or-pid = notepad\n";
    for (const wchar_t* name : corvane::KernelFlagCatalogue) {
        profile += "kernel-flag = " + corvane::toUtf8(name) + "\n";
    }
    for (const wchar_t* name : corvane::StackwalkCatalogue) {
        profile += "stackwalk = " + corvane::toUtf8(name) + "\n";
    }
    // About as long as real provider names, given in reverse so that sorting has work to do.
    for (std::size_t i = providerCount; i > 0; --i) {
        profile += "provider = Microsoft-Windows-Bench-Provider-" + std::to_string(i) + "\n";
    }
    return profile;
}

// Everything in memory: only the program's own work is timed.
class MemoryHost : public corvane::ScriptToolHost {
public:
    explicit MemoryHost(std::string profile) : profile_(std::move(profile)) {}
    bool readFile(const std::wstring&, std::size_t, std::string& bytes, std::wstring&) override {
        bytes = profile_;
        return true;
    }
    corvane::FileWrite writeFile(const std::wstring&, const std::string& bytes, bool,
                                 std::wstring&) override {
        written = bytes.size();
        return corvane::FileWrite::Written;
    }
    bool removeFile(const std::wstring&, std::wstring&) override { return true; }
    corvane::DefaultsEnvironment defaultsEnvironment() override {
        return {[] { return std::optional<std::wstring>(); },
                [] { return corvane::LocalTime{2024, 1, 5, 9, 30, 0}; }};
    }
    unsigned scriptCodePage() override { return 0; }
    corvane::Encoding encode(const std::wstring&, unsigned, std::string&) override {
        return corvane::Encoding::UnknownCodePage;
    }
    corvane::Encoding decode(const std::string&, unsigned, std::wstring&) override {
        return corvane::Encoding::UnknownCodePage;
    }
    bool listProviders(std::vector<std::wstring>&, std::wstring&) override { return false; }
    corvane::ProviderOrder providerOrder() override { return corvane::wordSortLess; }
    bool writeOutput(std::string_view bytes) override {
        written = bytes.size();
        return true;
    }
    bool writeOutputText(std::wstring_view) override { return true; }
    void writeError(std::wstring_view) override { failed = true; }

    std::size_t written = 0;
    bool failed = false;

private:
    std::string profile_;
};

void ProfileToScriptInMemory(benchmark::State& state) {
    MemoryHost host(largeProfile(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(corvane::runScriptTool({L"p.txt", L"--stdout"}, host));
    }
    if (host.failed) {
        state.SkipWithError("the run was refused");
    }
    state.counters["script_bytes"] = static_cast<double>(host.written);
}

void ProfileRefusedAsTooLongInMemory(benchmark::State& state) {
    MemoryHost host(largeProfile(static_cast<std::size_t>(state.range(0))));
    int status = corvane::kExitBadInput;
    for (auto _ : state) {
        status &= corvane::runScriptTool({L"p.txt", L"--stdout"}, host);
    }
    if (status != corvane::kExitBadInput || host.written != 0) {
        state.SkipWithError("the run was not refused");
    }
}

// The native program's path end to end, minus process start: a real profile file read, a real
// script file written beside it with fsync and rename.
void ProfileToScriptFileNative(benchmark::State& state) {
    char folder[] = "/tmp/corvane-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string profilePath = std::string(folder) + "/p.txt";
    const std::string scriptPath = std::string(folder) + "/s.cmd";
    std::ofstream(profilePath, std::ios::binary)
        << largeProfile(static_cast<std::size_t>(state.range(0)));
    std::wstring profile;
    std::wstring script;
    const bool named =
        corvane::fromUtf8(profilePath, profile) && corvane::fromUtf8(scriptPath, script);
    corvane::SystemScriptToolHost host;
    int status = named ? 0 : 1;
    for (auto _ : state) {
        status |= corvane::runScriptTool({profile, L"-o", script, L"--force"}, host);
    }
    if (status != 0) {
        state.SkipWithError("the run failed");
    }
    std::remove(profilePath.c_str());
    std::remove(scriptPath.c_str());
    rmdir(folder);
}

} // namespace

BENCHMARK(ProfileToScriptInMemory)->Arg(140)->Unit(benchmark::kMillisecond);
BENCHMARK(ProfileRefusedAsTooLongInMemory)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(ProfileToScriptFileNative)->Arg(140)->Unit(benchmark::kMillisecond);
