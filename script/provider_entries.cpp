#include "script/provider_entries.h"

#include "script/script_format.h"
#include "settings/number_text.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane {
namespace {

using namespace std::string_view_literals;
using namespace script_format;

// xperf's entry "Name":KEYWORDS:LEVEL:'stack', cut after the last field that is set; a field
// before it that is not set stays empty, as in "Name":::'stack'.
void appendProviderEntry(std::wstring& out, const std::wstring& name,
                         const ProviderOptions& options, bool logStack) {
    out.push_back(L'"');
    out += name;
    out.push_back(L'"');
    const bool stack = options.stack.value_or(logStack);
    if (!options.keywords && !options.level && !stack) {
        return;
    }
    out.push_back(kFieldSeparator);
    if (options.keywords) {
        out += kHexPrefix;
        appendHexDigits(out, *options.keywords);
    }
    if (!options.level && !stack) {
        return;
    }
    out.push_back(kFieldSeparator);
    if (options.level) {
        out += std::to_wstring(*options.level);
    }
    if (stack) {
        out.push_back(kFieldSeparator);
        out += kStackField;
    }
}

} // namespace

void appendProviderEntries(std::wstring& out, const TraceSettings& settings) {
    const bool logStack = settings.logStack != 0;
    if (!settings.providerOptions.empty()) {
        const ProviderOptions none;
        for (std::size_t i = 0; i < settings.providers.size(); ++i) {
            if (i != 0) {
                out.push_back(kEntrySeparator);
            }
            const auto found = settings.providerOptions.find(settings.providers[i]);
            appendProviderEntry(out, settings.providers[i],
                                found == settings.providerOptions.end() ? none : found->second,
                                logStack);
        }
        return;
    }
    // Every entry is "name" or "name":::'stack'. What stands between two names is then one
    // fixed piece, so the loop costs two appends per provider however many there are.
    const std::wstring_view between = logStack ? L"\":::'stack'+\""sv : L"\"+\""sv;
    const std::wstring_view closing = between.substr(0, between.size() - 2);
    out.push_back(L'"');
    for (std::size_t i = 0; i < settings.providers.size(); ++i) {
        if (i != 0) {
            out += between;
        }
        out += settings.providers[i];
    }
    out += closing;
}

std::wstring providerAsWritten(std::wstring name, const std::wstring& guid) {
    // The quotes around an entry do not keep xperf from splitting it: the C runtime removes them
    // before xperf reads Name:Keywords:Level.
    if (guid.empty() || name.find(L':') == std::wstring::npos) {
        return name;
    }
    return guid;
}

} // namespace corvane
