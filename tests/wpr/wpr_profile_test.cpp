// The WPR profile read back as XML and held against the settings it was made from; every name and
// hostile values through the schema of the written subset (tests/wpr), checked by xmllint.
#include "wpr/wpr_profile.h"

#include "script/capture_script.h"
#include "settings/catalogues.h"
#include "settings/descriptions.h"
#include "settings/stackwalk_events.h"
#include "wpr/wpr_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <tuple>
#include <regex>
#include <string>
#include <vector>

#ifndef _WIN32
#include "tests/support/scratch_folder_posix.h"
#endif

namespace corvane {
namespace {

using Values = std::vector<std::wstring>;

// An element as read back: an absent attribute reads as "-", an absent child as an empty element.
struct Element {
    std::wstring name;
    std::map<std::wstring, std::wstring> attributes;
    std::vector<Element> children;

    bool operator==(const Element& other) const {
        return name == other.name && attributes == other.attributes && children == other.children;
    }
    std::wstring at(const std::wstring& key) const {
        return attributes.count(key) != 0 ? attributes.at(key) : L"-";
    }
    const Element& child(const std::wstring& path) const { // names joined by '/'
        static const Element kNone;
        const std::size_t slash = std::min(path.find(L'/'), path.size());
        const auto found = std::find_if(children.begin(), children.end(), [&](const Element& c) {
            return c.name == path.substr(0, slash);
        });
        return found == children.end() ? kNone
               : slash == path.size()  ? *found
                                       : found->child(path.substr(slash + 1));
    }
    Values values(const std::wstring& path) const { // the Value of each element at the path
        const std::size_t slash = path.rfind(L'/');
        const Element& parent = slash == path.npos ? *this : child(path.substr(0, slash));
        Values found;
        for (const Element& c : parent.children) {
            found.resize(found.size() + (c.name == path.substr(slash + 1)), c.at(L"Value"));
        }
        return found;
    }
};

// XML's reading of an attribute value: the five entities and decimal references, and a literal
// tab or line break as a space. A value no parser takes (a '<', another '&') reads as "<bad>".
std::wstring decode(std::wstring_view raw) {
    static const std::map<std::wstring, wchar_t> kEntities = {
        {L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"apos", L'\''}, {L"quot", L'"'}};
    std::wstring value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::size_t semicolon = raw[i] == L'&' ? raw.find(L';', i) : i;
        const std::wstring entity(raw.substr(i + 1, semicolon - i - 1));
        if (raw[i] == L'<' || (raw[i] == L'&' && kEntities.count(entity) == 0 &&
                               entity.find_first_not_of(L"#0123456789") != entity.npos)) {
            return L"<bad>";
        }
        value.push_back(raw[i] != L'&' ? (std::wcschr(L"\t\n\r", raw[i]) ? L' ' : raw[i])
                        : kEntities.count(entity)
                            ? kEntities.at(entity)
                            : static_cast<wchar_t>(std::wcstoul(entity.c_str() + 1, nullptr, 10)));
        i = semicolon;
    }
    return value;
}

// Reads the profile as an XML parser does, for what the writer may write: the declaration, then
// only tags with attributes in double quotes and white space between them, each end tag matching.
std::optional<Element> readXml(const std::wstring& text) {
    static const std::wregex kTag(LR"x(\s*<(/?)(\w+)((?:\s+\w+="[^"]*")*)\s*(/?)>\s*)x");
    static const std::wregex kAttribute(LR"x((\w+)="([^"]*)")x");
    const std::wstring prolog = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>"; // else none read
    std::vector<Element> open(1);
    auto at = text.cbegin() + (text.rfind(prolog, 0) == 0 ? std::ptrdiff_t(prolog.size()) : 0);
    for (std::wsmatch tag;
         std::regex_search(at, text.cend(), tag, kTag, std::regex_constants::match_continuous);
         at = tag[0].second) {
        Element e{tag[2].str(), {}, {}};
        for (std::wsregex_iterator a(tag[3].first, tag[3].second, kAttribute), end; a != end; ++a) {
            e.attributes[(*a)[1].str()] += decode((*a)[2].str()); // twice would read as both
        }
        if (tag[1].length() != 0) { // an end tag
            if (open.size() < 2 || open.back().name != e.name) {
                return std::nullopt;
            }
            e = std::move(open.back());
            open.pop_back();
        } else if (tag[4].length() == 0) {
            open.push_back(std::move(e));
            continue;
        }
        open.back().children.push_back(std::move(e));
    }
    if (at != text.cend() || open.size() != 1 || open.front().children.size() != 1) {
        return std::nullopt;
    }
    return open.front().children.front();
}

// Heap targets of every form, with the process ids WPR is to get, or "-" where WPR cannot take
// the PID form: whole numbers of 32 bits, at most two, 0 only alone (then none, as by name).
constexpr std::pair<const wchar_t*, const wchar_t*> kHeapTargets[] = {
    {L"notepad", L""},     {L"R&D tool", L""},
    {L"0", L""},           {L"42", L"42 "},
    {L" 42", L"42 "},      {L"00042", L"42 "},
    {L"42 43", L"42 43 "}, {L"4294967295", L"4294967295 "},
    {L"1 2 3", L"-"},      {L"42abc", L"-"},
    {L"-5", L"-"},         {L"+5", L"-"},
    {L"4294967296", L"-"}, {L"0 42", L"-"}};

// The keywords of the flags that the selection names or holds in its groups, in table order; a
// heap adds the process and image events that tie its stacks to processes and modules.
Values expectedKeywords(const TraceSettings& s) {
    std::wstring flags = s.heapEnabled ? L"+PROC_THREAD+LOADER+" : L"+";
    for (const std::wstring& entry : s.kernelFlags) {
        const std::wstring members(describeKernelEntry(entry)->members);
        flags += (members.empty() ? entry : members) + L"+";
    }
    Values keywords;
    for (const WprKeywordName& row : WprKeywordTable) {
        const bool on = flags.find(L"+" + std::wstring(row.flag) + L"+") != std::wstring::npos;
        keywords.resize(keywords.size() + on, std::wstring(row.keyword));
    }
    return keywords;
}

// Every catalogue name now and then, hostile provider names with each option of a provider, and
// heap targets of every form WPR can and cannot take.
TraceSettings randomSettings(std::mt19937& random, std::wstring& heapIds) {
    const auto draw = [&] { return static_cast<std::uint32_t>(random()); };
    const auto pick = [&](unsigned oneIn, auto action) { draw() % oneIn == 0 ? action() : void(); };
    static const wchar_t* const kNames[] = {
        L"Microsoft-Windows-Win32k", L"A&B<C>D'E", L"{E7EF96BE-969F-414F-97D7-3DDB7B558CCC}",
        L"IIS: WWW Server",          L"t\tab",     L"\u00e9&amp;"};
    TraceSettings s;
    defaultTraceSettings(s, DefaultsEnvironment{});
    for (const wchar_t* flag : KernelFlagCatalogue) {
        pick(8, [&] { s.kernelFlags.emplace_back(flag); });
    }
    pick(4, [&] { s.kernelFlags.clear(); }); // a heap or providers alone
    for (const wchar_t* event : StackwalkCatalogue) {
        pick(30, [&] { s.stackwalkEvents.emplace_back(event); });
    }
    for (const wchar_t* name : kNames) {
        pick(3, [&] { s.providers.emplace_back(name); });
        ProviderOptions& options = s.providerOptions[name];
        pick(2, [&] { options.keywords = draw() * 0x100000001ULL; });
        pick(2, [&] { options.level = static_cast<std::uint8_t>(draw()); });
        pick(2, [&] { options.stack = draw() % 2 == 0; });
    }
    std::tie(s.heapProcess, heapIds) = kHeapTargets[draw() % std::size(kHeapTargets)];
    s.fileMode = FileModeCatalogue[draw() % 4 == 0 ? draw() % 4 : draw() % 2];
    s.bufferSizeKb = 4 + draw() % 1021;
    s.minBuffers = draw() % 400;
    s.maxBuffers = draw() % 400;
    s.maxFileSizeMb = draw() % 3 == 0 ? 0 : draw();
    s.logStack = static_cast<std::int32_t>(draw() % 2);
    s.heapEnabled = static_cast<std::int32_t>(draw() % 2);
    s.captureState = static_cast<std::int32_t>(draw() % 2);
    s.wprLogging = kWprLoggingModes[draw() % 3 == 0];
    return s;
}

// The settings of one collector as the profile holds them. WPR takes all its buffers at the
// start: in memory the most the profile allows; to files what xperf takes at the start
// (min-buffers) or, where that is less, 10 MB ("Logging mode": 10-50 MB), never more than
// max-buffers.
void expectCollector(const Element& collector, const std::wstring& name, const TraceSettings& s) {
    const std::uint64_t most = std::max(s.minBuffers, s.maxBuffers);
    const Values counts = collector.values(L"Buffers");
    ASSERT_EQ(counts.size(), most != 0U) << "a Buffers count without buffers, or none";
    const std::uint64_t buffers = most != 0U ? std::stoul(counts.front()) : 0U;
    if (s.wprLogging == L"memory") {
        EXPECT_EQ(buffers, most);
    } else {
        const std::uint64_t kb = buffers * s.bufferSizeKb;
        EXPECT_TRUE(buffers <= most && buffers >= std::min<std::uint64_t>(s.minBuffers, most))
            << buffers << " of " << s.minBuffers << "-" << s.maxBuffers;
        EXPECT_TRUE(buffers == most || kb >= 10 * 1024) << kb << " KB, less than 10 MB";
        EXPECT_TRUE(buffers <= s.minBuffers || kb < 10 * 1024 + s.bufferSizeKb)
            << kb << " KB, more than min-buffers or 10 MB need";
    }
    const Element& size = collector.child(L"MaximumFileSize");
    EXPECT_EQ(collector.at(L"Name"), name);
    EXPECT_EQ(collector.values(L"BufferSize"), Values{std::to_wstring(s.bufferSizeKb)});
    EXPECT_EQ(size.at(L"Value"), s.maxFileSizeMb ? std::to_wstring(s.maxFileSizeMb) : L"-");
    EXPECT_EQ(size.at(L"FileMode"), s.maxFileSizeMb ? s.fileMode : L"-");
}

// Reads the profile back and holds every part against the settings: the profile uses the
// collectors and providers that the settings ask for, each defined once, and nothing else.
void expectProfileOf(const TraceSettings& s, const WprProfile& profile,
                     const std::wstring& heapIds) {
    const std::optional<Element> root = readXml(profile.xml);
    ASSERT_TRUE(root && root->name == L"WindowsPerformanceRecorder" &&
                root->at(L"Version") == L"1.0");
    std::map<std::wstring, const Element*> defined;
    for (const Element& item : root->child(L"Profiles").children) {
        EXPECT_TRUE(defined.emplace(item.at(L"Id"), &item).second) << "an Id defined twice";
    }
    std::size_t used = 0;
    const auto lookup = [&](const std::wstring& id, const std::wstring& kind) -> const Element& {
        static const Element kNone;
        const auto found = defined.find(id);
        const bool ok = found != defined.end() && found->second->name == kind;
        EXPECT_TRUE(ok) << "no " << kind << " " << id;
        used += ok;
        return ok ? *found->second : kNone;
    };
    EXPECT_EQ(profile.fileMode, s.wprLogging == L"file");
    const Element& file = lookup(profile.profileName + L".Verbose.File", L"Profile");
    const Element& collectors = file.child(L"Collectors");
    // WPR takes the profile only with a Memory version too, which records the same.
    const Element& memory = lookup(profile.profileName + L".Verbose.Memory", L"Profile");
    EXPECT_EQ(file.at(L"Name") + file.at(L"LoggingMode") + memory.at(L"Name") +
                  memory.at(L"LoggingMode"),
              profile.profileName + L"File" + profile.profileName + L"Memory");
    EXPECT_TRUE(memory.child(L"Collectors") == collectors) << "the Memory version differs";
    const auto collector = [&](const std::wstring& kind, bool present) {
        const Values ids = collectors.values(kind + L"Id");
        EXPECT_EQ(ids.size(), present) << kind;
        return ids.empty() ? Element{} : lookup(ids.front(), kind);
    };
    const bool heap = s.heapEnabled != 0;
    if (const Element system = collector(L"SystemCollector", !s.kernelFlags.empty() || heap);
        system.name.size()) {
        expectCollector(system, L"NT Kernel Logger", s);
        const Element& provider = lookup(
            collectors.values(L"SystemCollectorId/SystemProviderId").at(0), L"SystemProvider");
        EXPECT_EQ(provider.values(L"Keywords/Keyword"), expectedKeywords(s));
        Values stacks;
        for (const std::wstring& event : s.kernelFlags.empty() ? Values{} : s.stackwalkEvents) {
            stacks.emplace_back(wprStackOfEvent(event));
        }
        stacks.insert(stacks.end(), WprHeapStacks.begin(), WprHeapStacks.begin() + 5 * heap);
        EXPECT_EQ(provider.values(L"Stacks/Stack"), stacks);
    }
    if (const Element user = collector(L"EventCollector", !s.providers.empty()); user.name.size()) {
        expectCollector(user, s.sessionName, s);
        const Values ids = collectors.values(L"EventCollectorId/EventProviders/EventProviderId");
        ASSERT_EQ(ids.size(), s.providers.size());
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const Element& provider = lookup(ids[i], L"EventProvider");
            const ProviderOptions& options = s.providerOptions.at(s.providers[i]);
            wchar_t mask[24];
            std::swprintf(mask, 24, L"0x%llx", 0ULL + options.keywords.value_or(0));
            EXPECT_EQ(provider.at(L"Name"), s.providers[i]);
            EXPECT_EQ(provider.at(L"NonPagedMemory") + provider.at(L"Level") +
                          provider.at(L"Stack"),
                      L"true" + (options.level ? std::to_wstring(*options.level) : L"-") +
                          (options.stack.value_or(s.logStack) ? L"true" : L"-"));
            EXPECT_EQ(provider.values(L"Keywords/Keyword"),
                      options.keywords ? Values{mask} : Values{});
            EXPECT_EQ(provider.values(L"CaptureStateOnStart/Keyword"),
                      s.captureState ? Values{mask} : Values{});
        }
    }
    if (const Element heapIn = collector(L"HeapEventCollector", heap); heapIn.name.size()) {
        expectCollector(heapIn, s.heapSessionName, s);
        const Element& provider = lookup(
            collectors.values(L"HeapEventCollectorId/HeapEventProviders/HeapEventProviderId").at(0),
            L"HeapEventProvider");
        std::wstring ids;
        for (const std::wstring& id : provider.values(L"HeapProcessIds/HeapProcessId")) {
            ids += id + L" ";
        }
        EXPECT_EQ(ids, heapIds);
    }
    EXPECT_EQ(defined.size(), used) << "a definition that the profile does not use";
}

#ifndef _WIN32
// Whether xmllint has any complaint about the profiles, written in UTF-8 as the program does.
bool schemaComplaints(const Values& profiles) {
    ScratchFolder folder;
    std::string command = "xmllint --noout --schema " CORVANE_WPRP_SCHEMA;
    std::setlocale(LC_CTYPE, "C.UTF-8");
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        std::string bytes(4 * profiles[i].size() + 1, '\0');
        bytes.resize(std::wcstombs(bytes.data(), profiles[i].c_str(), bytes.size()));
        writeAll(folder.file(std::to_string(i) + ".wprp"), bytes);
        command += " " + folder.file(std::to_string(i) + ".wprp");
    }
    // grep succeeds when a line other than "FILE validates" is left, such as an error.
    return std::system((command + " 2>&1 | grep -v ' validates$'").c_str()) == 0;
}
#endif

TEST(WprProfile, RandomSettingsReadBackAsTheyWereMeant) {
    std::mt19937 random(20261208);
    Values sample;
    for (int n = 0; n < 3000; ++n) {
        std::wstring heapIds;
        const TraceSettings s = randomSettings(random, heapIds);
        WprProfile profile;
        std::wstring refusal;
        const bool built = BuildWprProfile(s, profile, refusal);
        const bool traced = !s.kernelFlags.empty() || !s.providers.empty() || s.heapEnabled;
        const bool mode = s.fileMode == L"Sequential" || s.fileMode == L"Circular";
        const bool halClock = selectionIncludesFlag(s.kernelFlags, L"HAL_CLOCK");
        ASSERT_EQ(built, traced && (heapIds != L"-" || !s.heapEnabled) && mode && !halClock)
            << refusal;
        ASSERT_EQ(std::pair(profile.xml.empty(), refusal.empty()), std::pair(!built, built));
        if (built) {
            expectProfileOf(s, profile, heapIds);
            sample.resize(sample.size() + (n % 20 == 0), profile.xml);
        }
    }
#ifndef _WIN32
    EXPECT_FALSE(schemaComplaints(sample)) << "xmllint refused a profile (above)";
#endif
}

// Every flag, stack walk and heap stack under the schema's names, hostile provider names escaped
// in the text, and the file modes and the flag WPR has no form for.
TEST(WprProfile, EveryNameAsWprSpellsItAndEveryValueEscaped) {
    TraceSettings s;
    defaultTraceSettings(s, DefaultsEnvironment{});
    s.kernelFlags.assign(KernelFlagCatalogue.begin(), KernelFlagCatalogue.end());
    s.kernelFlags.erase(std::find(s.kernelFlags.begin(), s.kernelFlags.end(), L"HAL_CLOCK"));
    s.stackwalkEvents.assign(StackwalkCatalogue.begin(), StackwalkCatalogue.end());
    s.providers = {L"A&B<C>D'E", L"&amp;]]>\"x\"", L"tab\tname"};
    s.heapEnabled = 1;
    s.fileMode = L"Circular";
    s.userPath = L"\\u2.etl"; // away from its default; the other two paths keep theirs
    WprProfile profile;
    std::wstring refusal;
    ASSERT_TRUE(BuildWprProfile(s, profile, refusal)) << refusal;
    ASSERT_EQ(profile.warnings.size(), 2U); // process id 0 and the path below
    const std::wstring text = profile.xml + profile.warnings[1];
    for (const wchar_t* part :
         {L"Name=\"A&amp;B&lt;C&gt;D&apos;E\"", L"Name=\"&amp;amp;]]&gt;&quot;x&quot;\"",
          L"Name=\"tab&#9;name\"", L"user-path '\\u2.etl' has no WPR form"}) {
        EXPECT_NE(text.find(part), std::wstring::npos) << part;
    }
#ifndef _WIN32
    EXPECT_FALSE(schemaComplaints({profile.xml})) << "xmllint refused a name (above)";
#endif
    for (const wchar_t* mode : {L"Append", L"NewFile"}) {
        s.fileMode = mode;
        EXPECT_FALSE(BuildWprProfile(s, profile, refusal));
        EXPECT_NE(refusal.find(L"has no WPR form"), std::wstring::npos) << refusal;
    }
    s.fileMode = L"Sequential";
    s.kernelFlags.emplace_back(L"HAL_CLOCK");
    EXPECT_FALSE(BuildWprProfile(s, profile, refusal));
    EXPECT_NE(refusal.find(L"drop kernel-flag = HAL_CLOCK"), std::wstring::npos) << refusal;
}

// Held against the catalogue, not the keyword table: a flag whose row is lost would be recorded
// by no keyword, and the profile would start without what it asks for.
TEST(WprProfile, EveryKernelFlagHasOneKeywordOrIsRefusedByName) {
    for (const wchar_t* flag : KernelFlagCatalogue) {
        if (!describeKernelEntry(flag)->members.empty()) {
            continue; // a group: its flags are checked one by one
        }
        TraceSettings s;
        defaultTraceSettings(s, DefaultsEnvironment{});
        s.fileMode = L"Sequential";
        s.kernelFlags = {flag};
        WprProfile profile;
        std::wstring refusal;
        if (!BuildWprProfile(s, profile, refusal)) {
            EXPECT_NE(refusal.find(std::wstring(L"kernel flag ") + flag), std::wstring::npos)
                << refusal;
            continue;
        }
        const std::optional<Element> root = readXml(profile.xml);
        ASSERT_TRUE(root);
        EXPECT_EQ(root->values(L"Profiles/SystemProvider/Keywords/Keyword").size(), 1U) << flag;
    }
}

// A heap alone gets a kernel collector with the process and image events, as Microsoft's heap
// profiles have, or its stacks could not be tied to processes and modules; kept in memory, the
// pair starts without -filemode and takes the larger buffer count at once.
TEST(WprProfile, HeapAloneRecordsProcessesAndImagesAndMemoryKeepsTheLargerCount) {
    TraceSettings s;
    defaultTraceSettings(s, DefaultsEnvironment{});
    s.fileMode = L"Sequential";
    s.heapEnabled = 1;
    s.heapProcess = L"notepad";
    s.wprLogging = L"memory";
    WprProfile profile;
    std::wstring refusal;
    ASSERT_TRUE(BuildWprProfile(s, profile, refusal)) << refusal;
    const std::optional<Element> root = readXml(profile.xml);
    ASSERT_TRUE(root);
    const Element& profiles = root->child(L"Profiles");
    EXPECT_EQ(profiles.values(L"SystemProvider/Keywords/Keyword"),
              (Values{L"ProcessThread", L"Loader"}));
    EXPECT_EQ(profiles.child(L"SystemCollector").at(L"Name"), L"NT Kernel Logger");
    EXPECT_EQ(profiles.values(L"SystemCollector/Buffers"), Values{std::to_wstring(s.maxBuffers)});
    EXPECT_FALSE(profile.fileMode);
}

} // namespace
} // namespace corvane
