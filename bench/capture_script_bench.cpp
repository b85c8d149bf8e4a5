// How the cost of composing a capture script grows with the number of selected providers.
// Every run also selects all kernel flags and groups and all stack-walk events, with stacks on
// and heap tracing by image name, so every piece of the script is present.
#include "script/capture_script.h"
#include "script/script_checks.h"
#include "settings/catalogues.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace {

corvane::TraceSettings benchSettings(std::size_t providerCount) {
    corvane::TraceSettings settings;
    const corvane::DefaultsEnvironment environment{
        [] { return std::optional<std::wstring>(L"C:\\Users\\user\\Desktop"); },
        [] { return corvane::LocalTime{2024, 1, 5, 9, 30, 0}; }};
    corvane::defaultTraceSettings(settings, environment);
    settings.logStack = 1;
    settings.heapEnabled = 1;
    settings.heapProcess = L"notepad";
    settings.fileMode = corvane::FileModeCatalogue[0];
    settings.kernelFlags.assign(corvane::KernelFlagCatalogue.begin(),
                                corvane::KernelFlagCatalogue.end());
    settings.stackwalkEvents.assign(corvane::StackwalkCatalogue.begin(),
                                    corvane::StackwalkCatalogue.end());
    settings.providers.reserve(providerCount);
    for (std::size_t i = 0; i < providerCount; ++i) {
        // About as long as a real provider name.
        settings.providers.push_back(L"Microsoft-Windows-Bench-Provider-" + std::to_wstring(i));
    }
    return settings;
}

void BuildCaptureScriptWithProviders(benchmark::State& state) {
    const corvane::TraceSettings settings = benchSettings(static_cast<std::size_t>(state.range(0)));
    std::size_t scriptChars = 0;
    for (auto _ : state) {
        std::optional<std::wstring> script = corvane::BuildCaptureScript(settings);
        benchmark::DoNotOptimize(script);
        scriptChars = script ? script->size() : 0;
    }
    const auto scriptBytes = static_cast<std::int64_t>(scriptChars * sizeof(wchar_t));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * scriptBytes);
    state.SetComplexityN(static_cast<std::int64_t>(scriptChars));
    state.counters["script_chars"] = static_cast<double>(scriptChars);
    state.counters["script_bytes"] = static_cast<double>(scriptBytes);
}

// Reference floor: only the provider names appended into one reserved string. Its growth from
// 10,000 to 100,000 shows what the memory system alone adds once the data leaves the caches.
void JoinProviderNamesOnly(benchmark::State& state) {
    const corvane::TraceSettings settings = benchSettings(static_cast<std::size_t>(state.range(0)));
    std::size_t joinedChars = 0;
    for (const std::wstring& name : settings.providers) {
        joinedChars += name.size();
    }
    for (auto _ : state) {
        std::wstring joined;
        joined.reserve(joinedChars);
        for (const std::wstring& name : settings.providers) {
            joined += name;
        }
        benchmark::DoNotOptimize(joined);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(joinedChars * sizeof(wchar_t)));
}

// The dialog's checks before its save dialog: every value and every line of the script. 140
// providers still fit on the command prompt's line; 20,000 are refused at the user session's.
void CheckScriptWithProviders(benchmark::State& state) {
    const corvane::TraceSettings settings = benchSettings(static_cast<std::size_t>(state.range(0)));
    const std::wstring script = corvane::BuildCaptureScript(settings).value_or(L"");
    for (auto _ : state) {
        benchmark::DoNotOptimize(corvane::scriptRefusal(settings, script));
    }
}

// corvane-script's count of the providers that would fit, a search over shorter selections.
void CountProvidersThatFit(benchmark::State& state) {
    const corvane::TraceSettings settings = benchSettings(static_cast<std::size_t>(state.range(0)));
    std::size_t fitting = 0;
    for (auto _ : state) {
        fitting = corvane::providersThatFit(settings);
        benchmark::DoNotOptimize(fitting);
    }
    state.counters["fitting"] = static_cast<double>(fitting);
}

} // namespace

BENCHMARK(CheckScriptWithProviders)->Arg(140)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(CountProvidersThatFit)->Arg(20000)->Unit(benchmark::kMillisecond);

// Complexity is fitted against the script length in characters.
BENCHMARK(BuildCaptureScriptWithProviders)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);
BENCHMARK(JoinProviderNamesOnly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
