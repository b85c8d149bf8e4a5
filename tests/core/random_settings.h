// Random settings drawn heavy with what cmd, the C runtime, xperf and code pages treat specially:
// every text holds one to five pieces, some from kHostile or kReferences, now and then with a
// trailing backslash; now and then a provider's twin in other letters.
#pragma once

#include "settings/catalogues.h"
#include "settings/trace_settings.h"

#include <cstddef>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace corvane::testing {

// Characters that cmd, the C runtime, xperf or a code page treat specially: in 932, 936 and 950
// the second byte of ポ, ソ, タ, 乗, 亅, ツ and ヤ is '|', '\', '^'; of ア an 'A'.
inline constexpr std::wstring_view kHostile =
    L"\"&|<>^%!\\ \t:~*019.-e+\u00e9\U0001F600\u30DD\u30BD\u30BF\u4E57\u4E85\u30C4\u30E4\u30A2";
// References to the prompt's variables, the script's arguments and its own path.
inline constexpr const wchar_t* kReferences[] = {
    L"%TEMP%", L"%Q%", L"!Q!", L"%~dp0", L"%~da0", L"%~n0", L"%%", L"%1", L"%CMDCMDLINE:~0,1%"};

class RandomSettings {
public:
    TraceSettings next() {
        TraceSettings s;
        for (std::wstring* text : {&s.kernelPath, &s.userPath, &s.etlOutPath, &s.sessionName,
                                   &s.heapProcess, &s.heapSessionName, &s.heapPath}) {
            *text = this->text();
        }
        if (below(2) == 0) {
            s.heapProcess.insert(0, 1, L'4'); // the PID form as often as the name form
        }
        for (std::size_t n = below(3); n > 0; --n) {
            s.kernelFlags.emplace_back(KernelFlagCatalogue[below(KernelFlagCatalogue.size())]);
            s.stackwalkEvents.emplace_back(StackwalkCatalogue[below(StackwalkCatalogue.size())]);
        }
        for (std::size_t n = below(3); n > 0; --n) {
            s.providers.push_back(text());
        }
        if (!s.providers.empty() && below(10) == 0) {
            std::wstring twin = s.providers.front(); // the same name in other letters
            for (wchar_t& c : twin) {
                c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
            }
            s.providers.push_back(twin);
        }
        s.fileMode = FileModeCatalogue[below(FileModeCatalogue.size())];
        s.logStack = static_cast<std::int32_t>(below(2));
        s.heapEnabled = static_cast<std::int32_t>(below(2));
        return s;
    }

private:
    std::size_t below(std::size_t n) { return random_() % n; }
    // Never empty: the dialog and corvane-script refuse an empty text before any script.
    std::wstring text() {
        std::wstring t;
        for (std::size_t n = 1 + below(5); n > 0; --n) {
            const std::size_t choice = below(20);
            if (choice < 3) {
                t += kHostile[below(kHostile.size())];
            } else if (choice == 3) {
                t += kReferences[below(std::size(kReferences))];
            } else {
                t += wchar_t(L'a' + below(26));
            }
        }
        return below(20) == 0 ? t + L'\\' : t;
    }
    std::mt19937 random_{20261207};
};

} // namespace corvane::testing
