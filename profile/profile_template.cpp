// The template that --template prints: every key with the dialog's help and its default.
#include "profile/profile.h"

#include "profile/profile_keys.h"
#include "profile/provider_line.h"
#include "profile/recorder_help.h"
#include "settings/catalogues.h"
#include "settings/descriptions.h"

#include <algorithm>

namespace corvane {

using namespace profile_keys;

namespace {

// Appends text as comment lines of at most kTemplateWidth columns, broken at blanks and at each
// line break of the text, so that every line of it stays a comment.
void appendComment(std::wstring& out, std::wstring_view text, std::wstring_view indent) {
    constexpr std::size_t kTemplateWidth = 80;
    const std::size_t width = kTemplateWidth - 2 - indent.size();
    while (!text.empty()) {
        std::size_t cut = std::min(text.find(L'\n'), text.size());
        if (cut > width) {
            const std::size_t blank = text.rfind(L' ', width);
            cut = blank != std::wstring_view::npos && blank > 0 ? blank
                                                                : std::min(text.find(L' '), cut);
        }
        out += L"# ";
        out += indent;
        out += trimmed(text.substr(0, cut));
        out += L'\n';
        text.remove_prefix(cut);
        while (!text.empty() && (text.front() == L' ' || text.front() == L'\n')) {
            text.remove_prefix(1);
        }
    }
}

} // namespace

std::wstring profileTemplate(const TraceSettings& defaults) {
    std::wstring text =
        L"# Corvane capture profile, UTF-8: one 'key = value' per line; '#' starts a comment "
        L"line.\n"
        L"# A key left out takes the default shown here. Double quotes around a value keep "
        L"blanks at its ends.\n";
    for (const ProfileKey& key : profileKeys()) {
        text += L"\n";
        const FieldHelp* help = fieldHelp(key.name);
        if (key.check == &TraceSettings::captureState) {
            appendComment(text, kCaptureStateHelp, L"");
        } else if (key.kind == KeyKind::Recorder) {
            appendComment(text, kRecorderHelp, L"");
        } else if (key.kind == KeyKind::WprLogging) {
            appendComment(text, kWprLoggingHelp, L"");
        } else if (help != nullptr) {
            appendComment(text, std::wstring(help->label) + L": " + std::wstring(help->text), L"");
        }
        if (key.kind == KeyKind::FileMode) {
            for (const wchar_t* mode : FileModeCatalogue) {
                appendComment(text, fileModeHelp(mode), L"  ");
            }
        }
        switch (key.kind) {
        case KeyKind::Number:
            text += key.name + (L" = " + std::to_wstring(defaults.*(key.number)));
            break;
        case KeyKind::Check:
            if (key.check == &TraceSettings::captureState) {
                text += L"# capture-state = yes";
                break;
            }
            text += key.name + std::wstring(defaults.*(key.check) != 0 ? L" = yes" : L" = no");
            break;
        case KeyKind::Text:
            // Its default depends on the machine and the time, so it stays unset here.
            if (key.text == &TraceSettings::etlOutPath) {
                text += L"# etl-out-path = D:\\traces\\capture.etl";
                break;
            }
            text += key.name + (L" = " + valueText(defaults.*(key.text)));
            break;
        case KeyKind::FileMode:
            text += key.name + (L" = " + valueText(defaults.fileMode));
            break;
        case KeyKind::Recorder:
            text += L"recorder = xperf\n\n";
            appendComment(text, kWprRecorderHelp, L"");
            text.pop_back(); // the line end that follows every key
            break;
        case KeyKind::WprLogging:
            text += key.name + (L" = " + defaults.wprLogging);
            break;
        case KeyKind::KernelFlag:
            text += L"# kernel-flag = PROC_THREAD";
            break;
        case KeyKind::Stackwalk:
            text += L"# stackwalk = CSwitch";
            break;
        case KeyKind::Provider:
            text += L"# provider = Microsoft-Windows-Kernel-Process\n";
            appendComment(text, providerLineHelp(), L"");
            text += L"# provider = \"Microsoft-Windows-DxgKrnl\" keywords=0xFFFF level=verbose\n"
                    L"# provider = \"Microsoft-Windows-Win32k\" keywords=0xfdffffffefffffff "
                    L"stack=off";
            break;
        }
        text += L"\n";
    }
    return text;
}

} // namespace corvane
