#include "script/capture_script_reader.h"

#include "script/capture_script.h"
#include "script/script_format.h"
#include "script/script_line_lexer.h"
#include "settings/catalogues.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace corvane {
namespace {

using namespace script_format;
using namespace script_lexer;

// One provider's entry as the script gives it.
struct Entry {
    std::wstring name;
    std::optional<std::uint64_t> keywords;
    std::optional<std::uint8_t> level;
    bool stack = false;
};

class ScriptReader {
public:
    ScriptReader(std::vector<std::wstring_view> lines, const TraceSettings& base,
                 ScriptFormError& error)
        : lines_(std::move(lines)), settings_(base), error_(error) {
        settings_.kernelFlags.clear();
        settings_.stackwalkEvents.clear();
        settings_.providers.clear();
        settings_.providerOptions.clear();
        settings_.heapEnabled = 0;
        settings_.logStack = 0;
        settings_.captureState = 0;
    }

    [[nodiscard]] bool read() {
        for (const FrameLine& frameLine : kScriptTemplate) {
            if (!readFrameLine(frameLine)) {
                return false;
            }
        }
        if (next_ < lines_.size()) {
            error_ = {next_ + 1, L"the end of the script", shown(lines_[next_])};
            return false;
        }
        return true;
    }

    // The settings, with the stack choice that gives each entry as read.
    [[nodiscard]] TraceSettings settings() const {
        TraceSettings settings = settings_;
        const bool allStacked = std::all_of(entries_.begin(), entries_.end(),
                                            [](const Entry& entry) { return entry.stack; });
        settings.logStack = !entries_.empty() && allStacked ? 1 : 0;
        for (const Entry& entry : entries_) {
            settings.providers.push_back(entry.name);
            ProviderOptions options{entry.keywords, entry.level, std::nullopt};
            if (entry.stack != (settings.logStack != 0)) {
                options.stack = entry.stack;
            }
            if (options.keywords || options.level || options.stack) {
                settings.providerOptions[entry.name] = options;
            }
        }
        return settings;
    }

private:
    // The next line, or the end of the script where `expected` should have come.
    [[nodiscard]] bool nextLine(std::wstring_view& line, const std::wstring& expected) {
        if (next_ == lines_.size()) {
            error_ = {next_ + 1, expected, L"the end of the script"};
            return false;
        }
        line = lines_[next_++];
        return true;
    }

    [[nodiscard]] bool exactLine(std::wstring_view text) {
        std::wstring_view line;
        if (!nextLine(line, shown(text))) {
            return false;
        }
        if (line != text) {
            error_ = {next_, shown(text), shown(line)};
            return false;
        }
        return true;
    }

    // A slot's line: its piece, which starts with `start`, or the empty slot.
    [[nodiscard]] bool slotLine(std::wstring_view start, std::wstring_view& line, bool& present) {
        if (!nextLine(line, L"'" + std::wstring(start) + L"' or one space")) {
            return false;
        }
        present = line != kEmptySlot;
        if (present && line.substr(0, start.size()) != start) {
            error_ = {next_, L"'" + std::wstring(start) + L"' or one space", shown(line)};
            return false;
        }
        return true;
    }

    [[nodiscard]] bool readFrameLine(const FrameLine& frameLine) {
        switch (frameLine.piece) {
        case Piece::Text:
            return exactLine(frameLine.text);
        case Piece::ExpansionGuard:
            // Either form: the writer, given what is read, judges whether the line belongs.
            if (next_ < lines_.size() && lines_[next_] == kDelayedExpansionOff) {
                ++next_;
                return true;
            }
            return exactLine(L"");
        case Piece::TracingFlagsSet:
            return readTracingFlagsSet();
        case Piece::KernelStart:
            return readKernelStart();
        case Piece::UserStart:
            return readUserStart();
        case Piece::CaptureState:
            return readCaptureState();
        case Piece::HeapStart:
            return readHeapStart();
        case Piece::StopSection:
            return readStopSection();
        }
        return false;
    }

    [[nodiscard]] bool readTracingFlagsSet() {
        std::wstring_view line;
        if (!slotLine(kTracingFlagsSetStart, line, nameForm_)) {
            return false;
        }
        if (!nameForm_) {
            return true;
        }
        LineLexer reader(line, next_, error_);
        if (!reader.take(kTracingFlagsSetStart) ||
            !reader.takeUntil(kTracingFlagsSetEnd, imageFile_, L"an image name") ||
            !reader.take(kTracingFlagsSetEnd) || !reader.end()) {
            return false;
        }
        std::optional<std::wstring> name = heapProcessOfImage(imageFile_);
        if (!name) {
            error_ = {next_, L"an image's file name that ends in .exe", shown(imageFile_)};
            return false;
        }
        heapName_ = std::move(*name);
        return true;
    }

    [[nodiscard]] bool readLogFileOptions(LineLexer& reader, std::wstring& path) {
        if (!reader.take(kLogPathOption) || !reader.takeQuoted(path, L"a log path")) {
            return false;
        }
        // Every session has the same numbers and file mode; the rebuilt script holds later ones
        // to the first.
        for (const NumberOption& number : kLogFileNumbers) {
            std::uint64_t value = 0;
            if (!reader.take(number.option) ||
                !reader.takeNumber(10, std::numeric_limits<std::uint32_t>::max(), value,
                                   L"a whole number from 0 to 4294967295")) {
                return false;
            }
            if (!logOptionsRead_) {
                settings_.*(number.field) = static_cast<std::uint32_t>(value);
            }
        }
        if (!reader.take(kFileModeOption)) {
            return false;
        }
        const std::wstring_view mode = reader.rest();
        if (std::find(FileModeCatalogue.begin(), FileModeCatalogue.end(), mode) ==
            FileModeCatalogue.end()) {
            return reader.fail(L"a file mode: Sequential, Circular, Append or NewFile");
        }
        if (!logOptionsRead_) {
            settings_.fileMode = mode;
        }
        logOptionsRead_ = true;
        return true;
    }

    [[nodiscard]] bool readKernelStart() {
        std::wstring_view line;
        if (!slotLine(kKernelStart, line, kernel_)) {
            return false;
        }
        if (!kernel_) {
            return true;
        }
        LineLexer reader(line, next_, error_);
        if (!reader.take(kKernelStart) ||
            !reader.takeNames(KernelFlagCatalogue, settings_.kernelFlags,
                              L"a kernel flag or group (corvane-script --list kernel)")) {
            return false;
        }
        if (reader.skip(kStackwalkOption) &&
            !reader.takeNames(StackwalkCatalogue, settings_.stackwalkEvents,
                              L"a stack-walk event (corvane-script --list stackwalk)")) {
            return false;
        }
        return readLogFileOptions(reader, settings_.kernelPath);
    }

    [[nodiscard]] bool readEntries(LineLexer& reader) {
        do {
            Entry entry;
            if (!reader.takeQuoted(entry.name, L"a provider's name")) {
                return false;
            }
            std::uint64_t value = 0;
            if (reader.skip(kFieldSeparator)) {
                if (reader.skip(kHexPrefix)) {
                    if (!reader.takeNumber(16, std::numeric_limits<std::uint64_t>::max(), value,
                                           L"a 64-bit keyword mask in hex")) {
                        return false;
                    }
                    entry.keywords = value;
                }
                if (reader.skip(kFieldSeparator)) {
                    if (!reader.rest().empty() && reader.rest().front() != kFieldSeparator) {
                        if (!reader.takeNumber(10, 255, value, L"a level from 0 to 255")) {
                            return false;
                        }
                        entry.level = static_cast<std::uint8_t>(value);
                    }
                    if (reader.skip(kFieldSeparator)) {
                        if (!reader.take(kStackField)) {
                            return false;
                        }
                        entry.stack = true;
                    }
                }
            }
            entries_.push_back(std::move(entry));
        } while (reader.skip(kEntrySeparator));
        return true;
    }

    [[nodiscard]] bool readUserStart() {
        std::wstring_view line;
        if (!slotLine(kSessionStart, line, user_)) {
            return false;
        }
        if (!user_) {
            return true;
        }
        LineLexer reader(line, next_, error_);
        if (!reader.take(kSessionStart) ||
            !reader.takeUntil(kProvidersOption, settings_.sessionName, L"a session name") ||
            !reader.take(kProvidersOption)) {
            return false;
        }
        const std::wstring_view entries = reader.rest();
        if (!readEntries(reader)) {
            return false;
        }
        entriesText_ = entries.substr(0, entries.size() - reader.rest().size());
        return readLogFileOptions(reader, settings_.userPath);
    }

    // Only after the user session's start, and with the same session and entries.
    [[nodiscard]] bool readCaptureState() {
        if (!user_ || next_ == lines_.size() ||
            lines_[next_].substr(0, kCaptureStateStart.size()) != kCaptureStateStart) {
            return true;
        }
        const std::wstring line =
            std::wstring(kCaptureStateStart) + settings_.sessionName + L" " + entriesText_;
        settings_.captureState = 1;
        return exactLine(line);
    }

    [[nodiscard]] bool readHeapStart() {
        std::wstring_view line;
        if (!slotLine(kSessionStart, line, heap_)) {
            return false;
        }
        if (!heap_) {
            return true;
        }
        settings_.heapEnabled = 1;
        LineLexer reader(line, next_, error_);
        std::wstring pids;
        if (!reader.take(kSessionStart) ||
            !reader.takeUntil(kHeapPids, settings_.heapSessionName, L"a heap session name") ||
            !reader.take(kHeapPids) || !reader.takeUntil(kHeapStackwalk, pids, L"process ids") ||
            !reader.take(kHeapStackwalk)) {
            return false;
        }
        settings_.heapProcess = nameForm_ ? heapName_ : pids;
        return readLogFileOptions(reader, settings_.heapPath);
    }

    [[nodiscard]] bool readStopSection() {
        std::wstring stop(kXperf);
        if (user_) {
            stop += std::wstring(kStop) + L" " + settings_.sessionName;
        }
        if (heap_) {
            stop += std::wstring(kStop) + L" " + settings_.heapSessionName;
        }
        if (kernel_) {
            stop += kStop;
        }
        stop += kMergeOption;
        std::wstring_view line;
        if (!nextLine(line, shown(stop))) {
            return false;
        }
        LineLexer reader(line, next_, error_);
        if (!reader.take(stop) || !reader.takeQuoted(settings_.etlOutPath, L"the output path") ||
            !reader.end() || !exactLine(L"") ||
            !exactLine(std::wstring(kXperf) + L" \"" + settings_.etlOutPath + L"\"")) {
            return false;
        }
        return !nameForm_ || exactLine(std::wstring(kTracingFlagsClearStart) + imageFile_ +
                                       std::wstring(kTracingFlagsClearEnd));
    }

    std::vector<std::wstring_view> lines_;
    std::size_t next_ = 0;
    TraceSettings settings_;
    ScriptFormError& error_;
    std::vector<Entry> entries_;
    std::wstring entriesText_;
    std::wstring imageFile_;
    std::wstring heapName_;
    bool nameForm_ = false;
    bool kernel_ = false;
    bool user_ = false;
    bool heap_ = false;
    bool logOptionsRead_ = false;
};

// The lists as the dialog's lists give them: catalogue order, or the Providers list's order,
// each name once.
void putInListOrder(TraceSettings& settings, const ProviderListOrder& providerOrder) {
    const auto inCatalogueOrder = [](const auto& catalogue, std::vector<std::wstring>& names) {
        std::vector<std::wstring> ordered;
        for (const wchar_t* name : catalogue) {
            if (std::find(names.begin(), names.end(), name) != names.end()) {
                ordered.emplace_back(name);
            }
        }
        names = std::move(ordered);
    };
    inCatalogueOrder(KernelFlagCatalogue, settings.kernelFlags);
    inCatalogueOrder(StackwalkCatalogue, settings.stackwalkEvents);
    std::vector<std::wstring>& providers = settings.providers;
    std::stable_sort(providers.begin(), providers.end(), providerOrder);
    providers.erase(std::unique(providers.begin(), providers.end()), providers.end());
}

} // namespace

bool readCaptureScript(std::wstring_view script, const TraceSettings& base,
                       const ProviderListOrder& providerOrder, TraceSettings& settings,
                       ScriptFormError& error) {
    error = {};
    std::vector<std::wstring_view> lines;
    if (!splitLines(script, lines, error)) {
        return false;
    }
    ScriptReader reader(lines, base, error);
    if (!reader.read()) {
        return false;
    }
    TraceSettings read = reader.settings();
    putInListOrder(read, providerOrder);
    // What was read must give this script again, the lists in their order, every session with
    // the first one's numbers: the writer is the judge of the form.
    const std::optional<std::wstring> again = BuildCaptureScript(read);
    if (!again) {
        constexpr std::size_t kKernelSlotLine = 13;
        error = {kKernelSlotLine,
                 L"a session's start line: Corvane writes no script that starts "
                 L"none",
                 shown(lines[kKernelSlotLine - 1])};
        return false;
    }
    if (*again != script) {
        error = firstDifference(lines, *again);
        return false;
    }
    settings = std::move(read);
    return true;
}

} // namespace corvane
