#include "profile/profile.h"
#include "encoding/utf8.h"
#include "script/capture_script.h"
#include "settings/catalogues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace corvane {
namespace {

TraceSettings defaultsWithDesktop() {
    return profileDefaults(
        DefaultsEnvironment{[] { return std::optional<std::wstring>(L"C:\\Users\\user\\Desktop"); },
                            [] { return LocalTime{2024, 1, 5, 9, 30, 0}; }});
}

void expectSameSettings(const TraceSettings& actual, const TraceSettings& expected) {
    EXPECT_EQ(actual.maxFileSizeMb, expected.maxFileSizeMb);
    EXPECT_EQ(actual.bufferSizeKb, expected.bufferSizeKb);
    EXPECT_EQ(actual.maxBuffers, expected.maxBuffers);
    EXPECT_EQ(actual.minBuffers, expected.minBuffers);
    EXPECT_EQ(actual.logStack, expected.logStack);
    EXPECT_EQ(actual.heapEnabled, expected.heapEnabled);
    EXPECT_EQ(actual.kernelPath, expected.kernelPath);
    EXPECT_EQ(actual.userPath, expected.userPath);
    EXPECT_EQ(actual.etlOutPath, expected.etlOutPath);
    EXPECT_EQ(actual.sessionName, expected.sessionName);
    EXPECT_EQ(actual.heapProcess, expected.heapProcess);
    EXPECT_EQ(actual.heapSessionName, expected.heapSessionName);
    EXPECT_EQ(actual.heapPath, expected.heapPath);
    EXPECT_EQ(actual.fileMode, expected.fileMode);
    EXPECT_EQ(actual.kernelFlags, expected.kernelFlags);
    EXPECT_EQ(actual.stackwalkEvents, expected.stackwalkEvents);
    EXPECT_EQ(actual.providers, expected.providers);
}

TraceSettings read(const std::string& profile) {
    ProfileReader reader(defaultsWithDesktop());
    std::wstring error;
    EXPECT_TRUE(reader.readProfile(profile, error)) << toUtf8(error);
    return reader.settings(wordSortLess);
}

TEST(ProfileDefaults, AreTheDialogsOpeningValues) {
    const TraceSettings defaults = defaultsWithDesktop();
    EXPECT_EQ(defaults.etlOutPath, L"C:\\Users\\user\\Desktop\\20240105_093000.etl");
    EXPECT_EQ(defaults.fileMode, FileModeCatalogue[0]);
    EXPECT_EQ(defaults.heapEnabled, 0);
    EXPECT_EQ(defaults.bufferSizeKb, 64U);
    expectSameSettings(read(""), defaults);
}

TEST(ProfileTemplate, ReadBackGivesTheDefaultsAndLeavesTheOutputPathToThePlatform) {
    const TraceSettings defaults = defaultsWithDesktop();
    ProfileReader reader(defaults);
    std::wstring error;
    ASSERT_TRUE(reader.readProfile(toUtf8(profileTemplate(defaults)), error)) << toUtf8(error);
    expectSameSettings(reader.settings(wordSortLess), defaults);
    EXPECT_FALSE(reader.etlOutPathSet());
}

TEST(ProfileTemplate, NamesEveryKeyAndQuotesWhatAPlainLineWouldLose) {
    TraceSettings values = defaultsWithDesktop();
    values.sessionName = L" padded ";
    values.heapPath = L"h.etl\r"; // a CR at the line's end would be read as part of CR LF
    values.heapProcess = L"\"q\"";
    const std::wstring text = profileTemplate(values);
    for (const wchar_t* key :
         {L"max-file-size-mb", L"buffer-size-kb", L"max-buffers", L"min-buffers", L"log-stack",
          L"heap", L"kernel-path", L"user-path", L"etl-out-path", L"session-name",
          L"process-name-or-pid", L"heap-session-name", L"heap-path", L"file-mode", L"kernel-flag",
          L"stackwalk", L"provider", L"wpr-logging"}) {
        const std::size_t at = text.find(L"\n" + std::wstring(key) + L" = ");
        const std::size_t commented = text.find(L"\n# " + std::wstring(key) + L" = ");
        EXPECT_TRUE(at != std::wstring::npos || commented != std::wstring::npos) << toUtf8(key);
    }
    EXPECT_NE(text.find(L"\nsession-name = \" padded \"\n"), std::wstring::npos);
    const TraceSettings back = read(toUtf8(text));
    EXPECT_EQ(back.sessionName, L" padded ");
    EXPECT_EQ(back.heapPath, L"h.etl\r");
    EXPECT_EQ(back.heapProcess, L"\"q\"");
}

TEST(ProfileKeys, EveryFieldCanBeSetFromItsKey) {
    const TraceSettings settings = read("max-file-size-mb = 0\n"
                                        "buffer-size-kb = 1024\n"
                                        "max-buffers = 4294967295\n"
                                        "min-buffers = 0064\n" // read as 64, like the dialog
                                        "log-stack = yes\n"
                                        "heap = YES\n"
                                        "kernel-path = C:\\k.etl\n"
                                        "user-path = C:\\u.etl\n"
                                        "etl-out-path = C:\\out #1.etl\n"
                                        "session-name = S\n"
                                        "process-name-or-pid = \" 42\"\n"
                                        "heap-session-name = H = heap\n"
                                        "heap-path = C:\\h.etl\n"
                                        "file-mode = NewFile\n"
                                        "wpr-logging = memory\n");
    EXPECT_EQ(settings.maxFileSizeMb, 0U);
    EXPECT_EQ(settings.bufferSizeKb, 1024U);
    EXPECT_EQ(settings.maxBuffers, 4294967295U);
    EXPECT_EQ(settings.minBuffers, 64U);
    EXPECT_EQ(settings.logStack, 1);
    EXPECT_EQ(settings.heapEnabled, 1);
    EXPECT_EQ(settings.kernelPath, L"C:\\k.etl");
    EXPECT_EQ(settings.userPath, L"C:\\u.etl");
    EXPECT_EQ(settings.etlOutPath, L"C:\\out #1.etl"); // '#' starts a comment only at a line start
    EXPECT_EQ(settings.sessionName, L"S");
    EXPECT_EQ(settings.heapProcess, L" 42");
    EXPECT_EQ(settings.heapSessionName, L"H = heap"); // the first '=' ends the key
    EXPECT_EQ(settings.heapPath, L"C:\\h.etl");
    EXPECT_EQ(settings.fileMode, L"NewFile");
    EXPECT_EQ(settings.wprLogging, L"memory");
}

// The dialog's Save as profile keeps a WPR choice that is not the default, and only that.
TEST(ProfileOfChoices, WritesWprLoggingOnlyAwayFromItsDefaultAndReadsItBack) {
    const TraceSettings defaults = defaultsWithDesktop();
    TraceSettings settings = defaults;
    EXPECT_EQ(profileOfChoices(settings, defaults, L"wpr").find(L"wpr-logging"),
              std::wstring::npos);
    settings.wprLogging = L"memory";
    const std::wstring text = profileOfChoices(settings, defaults, L"wpr");
    EXPECT_NE(text.find(L"\nwpr-logging = memory\n"), std::wstring::npos);
    EXPECT_EQ(read(toUtf8(text)).wprLogging, L"memory");
}

TEST(ProfileText, CommentsBlankLinesCrLfAndAByteOrderMarkAreAccepted) {
    const TraceSettings settings =
        read("\xEF\xBB\xBF# comment\r\n\r\n   \t\r\n  # indented comment\r\n"
             "\tsession-name\t=\tCaf\xC3\xA9 \r\n");
    EXPECT_EQ(settings.sessionName, L"Caf\u00e9");
}

TEST(ProfileSelections, ComeOutInTheOrderOfTheDialogsLists) {
    const TraceSettings settings = read("kernel-flag = Network\n"
                                        "kernel-flag = PROC_THREAD\n"
                                        "kernel-flag = Base\n"
                                        "kernel-flag = LOADER\n"
                                        "stackwalk = VirtualAlloc\n"
                                        "stackwalk = CSwitch\n"
                                        "stackwalk = CcWriteBehind\n"
                                        "provider = b\n"
                                        "provider = _x\n"
                                        "provider = A\n"
                                        "provider = a-b\n"
                                        "provider = Z\n");
    EXPECT_EQ(settings.kernelFlags,
              (std::vector<std::wstring>{L"PROC_THREAD", L"LOADER", L"Base", L"Network"}));
    EXPECT_EQ(settings.stackwalkEvents,
              (std::vector<std::wstring>{L"CcWriteBehind", L"CSwitch", L"VirtualAlloc"}));
    // Symbols before letters, case ignored, hyphens passed over.
    EXPECT_EQ(settings.providers, (std::vector<std::wstring>{L"_x", L"A", L"a-b", L"b", L"Z"}));
}

TEST(ProviderOrder, OffWindowsFollowsTheSortedListBoxForAsciiNames) {
    // The order in which a sorted list box under Wine 8 showed these names (cli_program_tests
    // checks Windows' own comparison against a list box).
    const std::vector<std::wstring> shown = {L"_lead",
                                             L"a b",
                                             L"a!b",
                                             L"a.b",
                                             L"a_b",
                                             L"a~b",
                                             L"a0b",
                                             L"a1",
                                             L"A10",
                                             L"a2",
                                             L"ab",
                                             L"coop",
                                             L"co-op",
                                             L"Cop",
                                             L"lead",
                                             L"-lead",
                                             L"microsoft_a",
                                             L"Microsoft-A",
                                             L"MicrosoftWindows",
                                             L"Microsoft-Windows-Kernel",
                                             L"Zed"};
    std::vector<std::wstring> sorted = shown;
    std::reverse(sorted.begin(), sorted.end());
    std::stable_sort(sorted.begin(), sorted.end(), wordSortLess);
    EXPECT_EQ(sorted, shown);
    // Beyond ASCII only the code point counts: e-acute after every ASCII letter.
    EXPECT_TRUE(wordSortLess(L"zed", L"\u00e9t\u00e9"));
    EXPECT_FALSE(wordSortLess(L"a", L"a"));
}

TEST(ProfileAssignments, WinOverTheProfileAndAddToLists) {
    ProfileReader reader(defaultsWithDesktop());
    std::wstring error;
    ASSERT_TRUE(reader.readProfile("buffer-size-kb = 8\nprovider = P\n", error));
    ASSERT_TRUE(reader.readAssignment(L"buffer-size-kb=16", error)) << toUtf8(error);
    ASSERT_TRUE(reader.readAssignment(L"provider=Q", error)) << toUtf8(error);
    ASSERT_TRUE(reader.readAssignment(L"etl-out-path=D:\\x.etl", error)) << toUtf8(error);
    EXPECT_TRUE(reader.etlOutPathSet());
    const TraceSettings settings = reader.settings(wordSortLess);
    EXPECT_EQ(settings.bufferSizeKb, 16U);
    EXPECT_EQ(settings.providers, (std::vector<std::wstring>{L"P", L"Q"}));

    EXPECT_FALSE(reader.readAssignment(L"buffer-size-kb=32", error));
    EXPECT_EQ(error, L"--set buffer-size-kb=32: buffer-size-kb is set twice; first at --set "
                     L"buffer-size-kb=16");
    EXPECT_FALSE(reader.readAssignment(L"provider=P", error));
    EXPECT_EQ(error, L"--set provider=P: provider 'P' is listed twice; first at line 2");
}

// The text between "-on " and " -f" of the user session's line, or the reader's message.
std::wstring providerEntry(const std::string& logStack, const std::string& providerValue) {
    ProfileReader reader(defaultsWithDesktop());
    std::wstring error;
    if (!reader.readProfile("log-stack = " + logStack + "\nprovider = " + providerValue, error)) {
        return error;
    }
    const std::wstring script = BuildCaptureScript(reader.settings(wordSortLess)).value_or(L"");
    const std::size_t start = script.find(L" -on ") + 5;
    return script.substr(start, script.find(L" -f \"\\user.etl", start) - start);
}

TEST(ProviderLines, GiveXperfsEntryCutAfterTheLastFieldSetOrAreRefusedWithTheirLine) {
    const struct {
        const char* logStack;
        const char* value;
        const wchar_t* entry;
    } cases[] = {
        {"yes", "Microsoft-Windows-Win32k", L"\"Microsoft-Windows-Win32k\":::'stack'"},
        {"no", "\"IIS: WWW Server\"", L"\"IIS: WWW Server\""},
        {"no", "{E7EF96BE-969F-414F-97D7-3DDB7B558CCC}",
         L"\"{E7EF96BE-969F-414F-97D7-3DDB7B558CCC}\""},
        {"no", "\"Microsoft-Windows-DxgKrnl\" keywords=0xFFFF level=5",
         L"\"Microsoft-Windows-DxgKrnl\":0xffff:5"},
        {"yes", "\"Microsoft-Windows-Win32k\" keywords=0xfdffffffefffffff",
         L"\"Microsoft-Windows-Win32k\":0xfdffffffefffffff::'stack'"},
        {"no", "\"IIS: WWW Server\"  stack=on\tlevel=Verbose", L"\"IIS: WWW Server\"::5:'stack'"},
        {"yes", "\"A\" stack=off", L"\"A\""},
        {"no", "\"A\" stack=yes", L"\"A\":::'stack'"},
        {"no", "\"A\" level=critical", L"\"A\"::1"},
        {"no", "\"A\" keywords=18446744073709551615 level=0", L"\"A\":0xffffffffffffffff:0"},
        {"no", "\"A\" keywords=0 level=255", L"\"A\":0x0:255"},
        {"no", "\"A\" keywords=0x10000000000000000", L"line 2: keywords must be a 64-bit mask"},
        {"no", "\"A\" keywords=18446744073709551616", L"line 2: keywords must be a 64-bit mask"},
        {"no", "\"A\" keywords=-1", L"line 2: keywords must be a 64-bit mask"},
        {"no", "\"A\" keywords=0x", L"line 2: keywords must be a 64-bit mask"},
        {"no", "\"A\" level=256", L"line 2: level must be a whole number from 0 to 255"},
        {"no", "\"A\" level=0x5", L"line 2: level must be a whole number from 0 to 255"},
        {"no", "\"A\" level=loud", L"line 2: level must be a whole number from 0 to 255"},
        {"no", "\"A\" stack=maybe", L"line 2: stack must be on or off, not 'maybe'"},
        {"no", "\"A\"level=5", L"line 2: a blank must follow the provider's closing quote"},
        {"no", "\"A\" level = 5", L"line 2: after a provider's quoted name come keywords="},
        {"no", "\"A\" level=1 level=2", L"line 2: level is given twice"},
        {"no", "\"\" level=1", L"line 2: provider must not be empty"},
        // Without quotes the options would be part of the name.
        {"no", "Acme Tool v=2", L"\"Acme Tool v=2\""},
        {"no", "Microsoft-Windows-Win32k level=5",
         L"line 2: options follow a provider's name only in quotes; without them "
         L"'Microsoft-Windows-Win32k level=5' is all one name: type provider = "
         L"\"Microsoft-Windows-Win32k\" level=5"},
    };
    for (const auto& entry : cases) {
        const std::wstring found = providerEntry(entry.logStack, entry.value);
        const std::wstring_view expected = entry.entry;
        // A message is matched by its start, an entry whole.
        const bool refused = expected.rfind(L"line ", 0) == 0;
        EXPECT_EQ(refused ? found.substr(0, expected.size()) : found, expected)
            << entry.value << " gave " << toUtf8(found);
    }
}

TEST(ProfileLimits, AnOverlongLineIsRefusedAndABadValueIsQuotedShort) {
    std::wstring error;
    const std::string longest = "#" + std::string(kLongestProfileLine - 1, 'x');
    ProfileReader reader(defaultsWithDesktop());
    EXPECT_TRUE(reader.readProfile(longest + "\r\n" + longest, error)) << toUtf8(error);
    EXPECT_FALSE(reader.readProfile("heap = no\n" + longest + "x\n", error));
    EXPECT_EQ(error, L"line 2: longer than 65536 bytes");

    EXPECT_FALSE(reader.readProfile("buffer-size-kb = " + std::string(5000, '7'), error));
    EXPECT_EQ(error, L"line 1: buffer-size-kb must be a whole number from 4 to 1024, not '" +
                         std::wstring(kShownValueLength, L'7') + L"...'");
}

TEST(NearestName, IgnoresCaseAndPrefersTheFirstOnATie) {
    const std::vector<std::wstring_view> names = {L"CSWITCH", L"COMPACT_CSWITCH", L"DPC"};
    EXPECT_EQ(nearestName(L"CSWTICH", names), L"CSWITCH");
    EXPECT_EQ(nearestName(L"cswitch", names), L"CSWITCH");
    EXPECT_EQ(nearestName(L"compact-cswitch", names), L"COMPACT_CSWITCH");
    EXPECT_EQ(nearestName(L"xyz", {L"abc", L"xbc"}), L"xbc");
    EXPECT_EQ(nearestName(L"q", {L"a", L"b"}), L"a");
    EXPECT_EQ(nearestName(L"q", {}), L"");
}

TEST(Utf8, RoundTripsEveryPlaneAndRefusesMalformedBytes) {
    // e-acute (2 bytes), a CJK ideograph (3), U+1F600 (4; a surrogate pair in UTF-16).
    const std::string bytes = "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
    std::wstring text;
    ASSERT_TRUE(fromUtf8(bytes, text));
    EXPECT_EQ(text, L"\u00e9\u4e2d\U0001F600");
    EXPECT_EQ(toUtf8(text), bytes);
    EXPECT_FALSE(isAscii(text));
    EXPECT_TRUE(isAscii(L"plain ~ text"));
    for (const char* malformed :
         {"\xE9", "\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80",
          "\xF4\x90\x80\x80", "\xE4\xB8", "\x80", "\xFF\xFE"}) {
        EXPECT_FALSE(fromUtf8(malformed, text)) << malformed;
    }
}

} // namespace
} // namespace corvane
