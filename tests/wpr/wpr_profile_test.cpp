// The WPR profile read back as XML and held against the settings it was made from: random settings,
// hostile provider names, and every name of the tables through the schema of tests/wpr.
#include "wpr/wpr_profile.h"

#include "script/capture_script.h"
#include "settings/catalogues.h"
#include "settings/descriptions.h"
#include "wpr/wpr_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include "tests/support/scratch_folder_posix.h"
#endif

namespace corvane {
namespace {

using Values = std::vector<std::wstring>;

// An element as read back: absent attributes read as "-", absent children as an empty element.
struct Element {
    std::wstring name;
    std::map<std::wstring, std::wstring> attributes;
    std::vector<Element> children;

    std::wstring at(const std::wstring& key) const {
        return attributes.count(key) != 0 ? attributes.at(key) : L"-";
    }
    const Element& child(std::wstring_view childName) const {
        static const Element kNone;
        const auto found = std::find_if(children.begin(), children.end(),
                                        [&](const Element& c) { return c.name == childName; });
        return found == children.end() ? kNone : *found;
    }
    Values values(std::wstring_view childName) const {
        Values found;
        for (const Element& c : children) {
            if (c.name == childName) {
                found.push_back(c.at(L"Value"));
            }
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
    const std::wstring declaration = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    std::vector<Element> open(1);
    auto at = text.cbegin() + static_cast<std::ptrdiff_t>(declaration.size());
    if (text.compare(0, declaration.size(), declaration) != 0) {
        return std::nullopt;
    }
    for (std::wsmatch tag;
         std::regex_search(at, text.cend(), tag, kTag, std::regex_constants::match_continuous);
         at = tag[0].second) {
        Element e{tag[2].str(), {}, {}};
        for (std::wsregex_iterator a(tag[3].first, tag[3].second, kAttribute), end; a != end; ++a) {
            if (!e.attributes.emplace((*a)[1].str(), decode((*a)[2].str())).second) {
                return std::nullopt;
            }
        }
        if (tag[1].length() != 0 && (open.size() < 2 || open.back().name != e.name)) {
            return std::nullopt;
        }
        if (tag[1].length() != 0 || tag[4].length() != 0) {
            Element done = tag[1].length() != 0 ? std::move(open.back()) : std::move(e);
            open.resize(open.size() - (tag[1].length() != 0 ? 1 : 0));
            open.back().children.push_back(std::move(done));
        } else {
            open.push_back(std::move(e));
        }
    }
    if (at != text.cend() || open.size() != 1 || open.front().children.size() != 1) {
        return std::nullopt;
    }
    return open.front().children.front();
}

// The heap process ids WPR is to get, or nothing where it cannot take the PID form: whole
// numbers of 32 bits, at most two, and 0 only alone (then the processes set by image name).
std::optional<Values> expectedHeapIds(const std::wstring& text) {
    Values ids;
    if (heapTargetForm(text) == HeapTargetForm::Name) {
        return ids;
    }
    std::wistringstream tokens(text);
    for (std::wstring token; tokens >> token;) {
        const bool digits = token.find_first_not_of(L"0123456789") == token.npos;
        token.erase(0, std::min(token.find_first_not_of(L'0'), token.size() - 1));
        if (!digits || token.size() > 10 || (token.size() == 10 && token > L"4294967295")) {
            return std::nullopt;
        }
        ids.push_back(token);
    }
    if (ids == Values{L"0"}) {
        return Values{};
    }
    const bool zero = std::count(ids.begin(), ids.end(), L"0") != 0;
    return zero || ids.size() > 2 ? std::nullopt : std::optional(ids);
}

Values expectedKeywords(const TraceSettings& s) {
    std::set<std::wstring> flags;
    for (const std::wstring& entry : s.kernelFlags) {
        std::wstring members(describeKernelEntry(entry)->members);
        std::wistringstream pieces(members.empty() ? entry : members);
        for (std::wstring flag; std::getline(pieces, flag, L'+');) {
            flags.insert(flag);
        }
    }
    Values keywords;
    for (const WprKeywordName& row : WprKeywordTable) {
        if (flags.count(std::wstring(row.flag)) != 0) {
            keywords.emplace_back(row.keyword);
        }
    }
    return keywords;
}

// Every catalogue name, hostile provider names, each option of a provider now and then.
class RandomSettings {
public:
    TraceSettings next() {
        TraceSettings s;
        defaultTraceSettings(s, DefaultsEnvironment{});
        s.etlOutPath = L"C:\\traces\\out.etl";
        for (const wchar_t* flag : KernelFlagCatalogue) {
            pick(8, [&] { s.kernelFlags.emplace_back(flag); });
        }
        for (const wchar_t* event : StackwalkCatalogue) {
            pick(30, [&] { s.stackwalkEvents.emplace_back(event); });
        }
        static const wchar_t* const kNames[] = {
            L"Microsoft-Windows-Win32k", L"A&B<C>D'E", L"{E7EF96BE-969F-414F-97D7-3DDB7B558CCC}",
            L"IIS: WWW Server",          L"t\tab",     L"\u00e9&amp;"};
        for (const wchar_t* name : kNames) {
            pick(3, [&] { s.providers.emplace_back(name); });
        }
        for (const std::wstring& name : s.providers) {
            ProviderOptions& options = s.providerOptions[name];
            pick(2, [&] { options.keywords = draw() * 0x100000001ULL; });
            pick(2, [&] { options.level = static_cast<std::uint8_t>(draw()); });
            pick(2, [&] { options.stack = draw() % 2 == 0; });
        }
        static const wchar_t* const kHeapTargets[] = {
            L"notepad", L"0",  L"42",         L" 42",        L"42 43", L"1 2 3", L"42abc",
            L"-5",      L"+5", L"4294967295", L"4294967296", L"00042", L"0 42",  L"R&D tool"};
        s.heapProcess = kHeapTargets[draw() % std::size(kHeapTargets)];
        s.fileMode = FileModeCatalogue[draw() % 4 == 0 ? draw() % 4 : draw() % 2];
        s.bufferSizeKb = 4 + draw() % 1021;
        s.minBuffers = draw() % 400;
        s.maxBuffers = draw() % 400;
        s.maxFileSizeMb = draw() % 3 == 0 ? 0 : draw();
        s.logStack = static_cast<std::int32_t>(draw() % 2);
        s.heapEnabled = static_cast<std::int32_t>(draw() % 2);
        s.captureState = static_cast<std::int32_t>(draw() % 2);
        return s;
    }

private:
    template <typename Action>
    void pick(unsigned oneIn, Action action) {
        if (draw() % oneIn == 0) {
            action();
        }
    }
    std::uint32_t draw() { return static_cast<std::uint32_t>(random_()); }
    std::mt19937 random_{20261208};
};

// The settings of one collector as the profile holds them.
void expectCollector(const Element& collector, const std::wstring& name, const TraceSettings& s) {
    const std::uint32_t buffers = std::max(s.minBuffers, s.maxBuffers);
    const Element& size = collector.child(L"MaximumFileSize");
    EXPECT_EQ(collector.at(L"Name"), name);
    EXPECT_EQ(collector.values(L"BufferSize"), Values{std::to_wstring(s.bufferSizeKb)});
    EXPECT_EQ(collector.values(L"Buffers"), buffers ? Values{std::to_wstring(buffers)} : Values{});
    EXPECT_EQ(size.at(L"Value"), s.maxFileSizeMb ? std::to_wstring(s.maxFileSizeMb) : L"-");
    EXPECT_EQ(size.at(L"FileMode"), s.maxFileSizeMb ? s.fileMode : L"-");
}

// Reads the profile back and holds every part against the settings: the collectors and providers
// that the one profile uses are those the settings ask for, and each is defined once.
void expectProfileOf(const TraceSettings& s, const WprProfile& profile, const Values& heapIds) {
    const std::optional<Element> root = readXml(profile.xml);
    ASSERT_TRUE(root && root->name == L"WindowsPerformanceRecorder" &&
                root->at(L"Version") == L"1.0");
    std::map<std::wstring, const Element*> defined;
    for (const Element& item : root->child(L"Profiles").children) {
        EXPECT_TRUE(defined.emplace(item.at(L"Id"), &item).second) << "an Id defined twice";
    }
    std::size_t used = 0;
    const auto lookup = [&](const std::wstring& id, std::wstring_view kind) -> const Element& {
        static const Element kNone;
        const auto found = defined.find(id);
        const bool ok = found != defined.end() && found->second->name == kind;
        EXPECT_TRUE(ok) << "no " << std::wstring(kind) << " " << id;
        used += ok;
        return ok ? *found->second : kNone;
    };
    const Element& wpr = lookup(profile.profileName + L".Verbose.File", L"Profile");
    EXPECT_EQ(wpr.at(L"Name") + wpr.at(L"LoggingMode"), profile.profileName + L"File");
    EXPECT_TRUE(profile.fileMode);
    const Element& collectors = wpr.child(L"Collectors");
    const auto collector = [&](std::wstring_view kind, bool present) -> const Element& {
        EXPECT_EQ(collectors.values(std::wstring(kind) + L"Id").size(), present) << kind.data();
        return collectors.child(std::wstring(kind) + L"Id");
    };

    const bool heap = s.heapEnabled != 0;
    if (const Element& system = collector(L"SystemCollector", !s.kernelFlags.empty() || heap);
        !system.name.empty()) {
        expectCollector(lookup(system.at(L"Value"), L"SystemCollector"), L"NT Kernel Logger", s);
        const Element& provider =
            lookup(system.child(L"SystemProviderId").at(L"Value"), L"SystemProvider");
        EXPECT_EQ(provider.child(L"Keywords").values(L"Keyword"), expectedKeywords(s));
        Values stacks;
        for (const std::wstring& event : s.kernelFlags.empty() ? Values{} : s.stackwalkEvents) {
            stacks.emplace_back(wprStackOfEvent(event));
        }
        stacks.insert(stacks.end(), WprHeapStacks.begin(),
                      heap ? WprHeapStacks.end() : WprHeapStacks.begin());
        EXPECT_EQ(provider.child(L"Stacks").values(L"Stack"), stacks);
    }

    if (const Element& user = collector(L"EventCollector", !s.providers.empty());
        !user.name.empty()) {
        expectCollector(lookup(user.at(L"Value"), L"EventCollector"), s.sessionName, s);
        const Values ids = user.child(L"EventProviders").values(L"EventProviderId");
        ASSERT_EQ(ids.size(), s.providers.size());
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const Element& provider = lookup(ids[i], L"EventProvider");
            const ProviderOptions& options = s.providerOptions.at(s.providers[i]);
            wchar_t mask[24];
            std::swprintf(mask, 24, L"0x%llx", options.keywords.value_or(0ULL));
            const bool stack = options.stack.value_or(s.logStack != 0);
            EXPECT_EQ(provider.at(L"Name"), s.providers[i]);
            EXPECT_EQ(provider.at(L"NonPagedMemory") + provider.at(L"Stack"),
                      stack ? L"truetrue" : L"true-");
            EXPECT_EQ(provider.at(L"Level"),
                      options.level ? std::to_wstring(*options.level) : L"-");
            EXPECT_EQ(provider.child(L"Keywords").values(L"Keyword"),
                      options.keywords ? Values{mask} : Values{});
            EXPECT_EQ(provider.child(L"CaptureStateOnStart").values(L"Keyword"),
                      s.captureState ? Values{mask} : Values{});
        }
    }

    if (const Element& heapIn = collector(L"HeapEventCollector", heap); !heapIn.name.empty()) {
        expectCollector(lookup(heapIn.at(L"Value"), L"HeapEventCollector"), s.heapSessionName, s);
        const Element& provider =
            lookup(heapIn.child(L"HeapEventProviders").child(L"HeapEventProviderId").at(L"Value"),
                   L"HeapEventProvider");
        EXPECT_EQ(provider.child(L"HeapProcessIds").values(L"HeapProcessId"), heapIds);
    }
    EXPECT_EQ(defined.size(), used) << "a definition that the profile does not use";
}

#ifndef _WIN32
// The bytes of the file as the program writes it, in UTF-8.
std::string utf8(const std::wstring& text) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::string bytes(4 * text.size() + 1, '\0');
    bytes.resize(std::wcstombs(bytes.data(), text.c_str(), bytes.size()));
    return bytes;
}

// How many lines of complaint xmllint has about the profiles, written in UTF-8 as the program
// writes them: none when each validates.
int schemaComplaints(const Values& profiles) {
    ScratchFolder folder;
    std::string command = "xmllint --noout --schema " CORVANE_WPRP_SCHEMA;
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const std::string path = folder.file("p" + std::to_string(i) + ".wprp");
        writeAll(path, utf8(profiles[i]));
        command += " " + path;
    }
    // grep succeeds when a line other than "FILE validates" is left, such as an error.
    return std::system((command + " 2>&1 | grep -v ' validates$'").c_str()) == 0 ? 1 : 0;
}
#endif

TEST(WprProfile, RandomSettingsReadBackAsTheyWereMeant) {
    RandomSettings random;
    std::map<std::string, int> tally;
    Values sample;
    for (int n = 0; n < 3000; ++n) {
        const TraceSettings s = random.next();
        WprProfile profile;
        std::wstring refusal;
        const bool built = BuildWprProfile(s, profile, refusal);
        const bool traced = !s.kernelFlags.empty() || !s.providers.empty() || s.heapEnabled;
        const auto heapIds = s.heapEnabled ? expectedHeapIds(s.heapProcess) : Values{};
        const bool mode = s.fileMode == L"Sequential" || s.fileMode == L"Circular";
        ASSERT_EQ(built, traced && heapIds && mode) << refusal;
        ASSERT_EQ(std::pair(profile.xml.empty(), refusal.empty()), std::pair(!built, built));
        ++tally[built ? "written" : !mode ? "refused: file mode" : "refused: heap or nothing"];
        if (built) {
            expectProfileOf(s, profile, *heapIds);
            sample.resize(sample.size() + (n % 20 == 0), profile.xml);
        }
    }
    for (const auto& [what, count] : tally) {
        std::printf("  %-24s %5d\n", what.c_str(), count);
    }
#ifndef _WIN32
    EXPECT_EQ(schemaComplaints(sample), 0) << "xmllint refused a profile (above)";
#endif
}

// Every flag, stack walk and heap stack under the schema's names, hostile provider names escaped
// in the text, the warnings of keywords only some WPR knows, and the file modes WPR has not.
TEST(WprProfile, EveryNameAsWprSpellsItAndEveryValueEscaped) {
    TraceSettings s;
    defaultTraceSettings(s, DefaultsEnvironment{});
    s.kernelFlags.assign(KernelFlagCatalogue.begin(), KernelFlagCatalogue.end());
    s.stackwalkEvents.assign(StackwalkCatalogue.begin(), StackwalkCatalogue.end());
    s.providers = {L"A&B<C>D'E", L"&amp;]]>\"x\"", L"tab\tname"};
    s.heapEnabled = 1;
    s.fileMode = L"Circular";
    WprProfile profile;
    std::wstring refusal;
    ASSERT_TRUE(BuildWprProfile(s, profile, refusal)) << refusal;
    for (const wchar_t* text :
         {L"Name=\"A&amp;B&lt;C&gt;D&apos;E\"", L"Name=\"&amp;amp;]]&gt;&quot;x&quot;\"",
          L"Name=\"tab&#9;name\""}) {
        EXPECT_NE(profile.xml.find(text), std::wstring::npos) << text;
    }
    ASSERT_EQ(profile.warnings.size(), 4U); // the three below, and process id 0
    EXPECT_NE(profile.warnings[0].find(L"VAMAP becomes WPR's keyword VAMap, which only the WPR of "
                                       L"Windows 10 and later knows"),
              std::wstring::npos);
    EXPECT_NE(profile.warnings[1].find(L"SESSION becomes WPR's keyword Session"),
              std::wstring::npos);
    EXPECT_NE(profile.warnings[2].find(L"HalClock, which only the WPR of Windows 8 and 8.1 knows"),
              std::wstring::npos);
#ifndef _WIN32
    EXPECT_EQ(schemaComplaints({profile.xml}), 0) << "xmllint refused a name (above)";
    // Another XML reader takes the name back byte for byte (ours reads the random ones).
    ScratchFolder folder;
    writeAll(folder.file("p.wprp"), utf8(profile.xml));
    const std::string read = "xmllint --xpath 'string(//EventProvider[1]/@Name)' " +
                             folder.file("p.wprp") + " > " + folder.file("name");
    ASSERT_EQ(std::system(read.c_str()), 0);
    EXPECT_EQ(readAll(folder.file("name")), "A&B<C>D'E\n"); // xmllint ends the line
#endif
    for (const wchar_t* mode : {L"Append", L"NewFile"}) {
        s.fileMode = mode;
        EXPECT_FALSE(BuildWprProfile(s, profile, refusal));
        EXPECT_NE(refusal.find(L"has no WPR form"), std::wstring::npos) << refusal;
    }
}

} // namespace
} // namespace corvane
