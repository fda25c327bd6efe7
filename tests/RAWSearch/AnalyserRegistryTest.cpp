#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <typeinfo>
#include <set>
#include <string>

#include "RawFileAnalyserList.h"

namespace {

// Stands in for every analyser class: remembers which class it was made for.
class NamedAnalyser : public IRawFileAnalyser {
public:
    explicit NamedAnalyser(std::string name) : name(std::move(name)) { ++alive; }
    ~NamedAnalyser() override { --alive; }
    std::string name;
    static int alive;
};
int NamedAnalyser::alive = 0;

// Every class of the key tables that this build has no analyser for gets a
// stand-in before the registry is built.
const bool registered = [] {
    std::set<std::string> names;
    for (const auto& key : CRawFileAnalyserListSingle::MapKeys())
        names.insert(key.className);
    for (const auto& key : CRawFileAnalyserListSingle::MultimapKeys())
        names.insert(key.className);
    for (const char* name : CRawFileAnalyserListSingle::ListClasses())
        names.insert(name);
    for (const std::string& name : names) {
        if (CRawFileAnalyserListSingle::HasAnalyserFactory(name))
            continue;
        CRawFileAnalyserListSingle::RegisterAnalyserFactory(
            name, [name] { return new NamedAnalyser(name); });
    }
    return true;
}();

// The class an entry was made for: a stand-in's name, or a real analyser's
// own class name.
std::string NameOf(IRawFileAnalyser* analyser) {
    if (auto* named = dynamic_cast<NamedAnalyser*>(analyser))
        return named->name;
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(*analyser).name(), nullptr, nullptr, &status);
    std::string text = status == 0 && name != nullptr ? name : "";
    std::free(name);
    return text;
}

uint32_t Key4(const char* bytes) {
    uint32_t key;
    std::memcpy(&key, bytes, 4);
    return key;
}

}  // namespace

TEST(AnalyserRegistry, SetOneHoldsEveryKey) {
    ASSERT_TRUE(registered);
    auto* registry = CRawFileAnalyserListSingle::CreateInstance();
    EXPECT_EQ(registry, CRawFileAnalyserListSingle::CreateInstance());
    EXPECT_EQ(registry->GetAnalyserMap(1).size(), 81u);
    EXPECT_EQ(registry->GetAnalyserMultimap(1).size(), 42u);
    EXPECT_EQ(registry->GetAnalyserList(1).size(), 9u);
    EXPECT_TRUE(registry->GetAnalyserMap(0).empty());
    EXPECT_EQ(registry->GetAnalyserMap(7).size(), 81u);  // any nonzero set is set 1
}

TEST(AnalyserRegistry, KeysAreTheFirstBytesLittleEndian) {
    auto& map = CRawFileAnalyserListSingle::CreateInstance()->GetAnalyserMap(1);
    struct Case {
        const char* bytes;
        const char* className;
    } cases[] = {
        {"\xFF\xD8\xFF\xE0", "BruteForce::JpegAnalyzer"},
        {"%PDF", "BruteForce::PdfAnalyzer"},
        {"Rar!", "ZizEdoza::RARAnalyser"},
        {"PK\x03\x04", "FileZIPAnalyser"},
        {"icns", "FileICNSAnalyser"},
        {"xar!", "FilePKGAnalyser"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.className);
        const auto found = map.find(Key4(c.bytes));
        ASSERT_NE(found, map.end());
        EXPECT_EQ(NameOf(found->second), c.className);
    }
}

TEST(AnalyserRegistry, MultimapKeepsInsertionOrderWithinAKey) {
    auto& multimap = CRawFileAnalyserListSingle::CreateInstance()->GetAnalyserMultimap(1);
    auto namesOf = [&](unsigned short key) {
        std::vector<std::string> names;
        auto [first, last] = multimap.equal_range(key);
        for (auto it = first; it != last; ++it)
            names.push_back(NameOf(it->second));
        return names;
    };
    EXPECT_EQ(namesOf(0xFEFF),
              (std::vector<std::string>{"BruteForce::MP3Analyzer", "ZizEdoza::HTMLAnalyser",
                                        "FileUnicodeHTMAnalyser"}));
    EXPECT_EQ(namesOf(0x0000),
              (std::vector<std::string>{"BruteForce::MovAnalyzer", "BruteForce::Mp4Analyzer",
                                        "BruteForce::C3GPAnalyser"}));
    EXPECT_EQ(namesOf(0x2125),
              (std::vector<std::string>{"BruteForce::PdfAnalyzer", "BruteForce::CEPSAnalyser"}));
    ASSERT_EQ(namesOf(0x0100).size(), 2u);
    auto [a, b] = multimap.equal_range(0x0100);
    EXPECT_NE(a->second, std::next(a)->second);  // one object per entry
}

TEST(AnalyserRegistry, ReinitRebuildsSetZeroWithFreshAnalysers) {
    auto* registry = CRawFileAnalyserListSingle::CreateInstance();
    registry->ReinitAnalyzeList(nullptr);
    EXPECT_EQ(registry->GetAnalyserMap(0).size(), 81u);
    EXPECT_EQ(registry->GetAnalyserMultimap(0).size(), 42u);
    EXPECT_EQ(registry->GetAnalyserList(0).size(), 9u);
    const int alive = NamedAnalyser::alive;
    registry->ReinitAnalyzeList(nullptr);
    EXPECT_EQ(NamedAnalyser::alive, alive);  // the old ones were deleted
    EXPECT_EQ(NameOf(registry->GetAnalyserList(0).front()), "Zorado::LZHAnalyser");
    EXPECT_EQ(NameOf(registry->GetAnalyserList(0).back()), "ZizEdoza::PSAFE3Analyser");
}

TEST(RawFileTypes, ExtensionTable) {
    EXPECT_STREQ(g_s_strFileExtName[0], "Raw");
    EXPECT_STREQ(g_s_strFileExtName[35], "JPG");
    EXPECT_STREQ(g_s_strFileExtName[86], "RAW");
    EXPECT_STREQ(g_s_strFileExtName[115], "FCPEVENT");
    EXPECT_STREQ(g_s_strFileExtName[119], "pkg");
    EXPECT_STREQ(g_s_strFileExtName[122], "icns");
    EXPECT_STREQ(g_s_strFileExtName[146], "MLV");
    EXPECT_STREQ(g_s_strFileExtName[147], "");
    EXPECT_STREQ(g_s_strFileExtName[1999], "");
}

TEST(RawFileTypes, SafeNames) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a:b*c  ", "a_b_c"},        {"   ", ""},
        {"line\nfeed", "line_feed"}, {"", ""},
        {"a/b\\c", "a_b_c"},         {"q?\"<>|\r\x01", "q_______"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ApiStrFilterBadFileName(c.in), c.out) << c.in;
        EXPECT_EQ(ApiStrFilterBadFileName(ApiStrFilterBadFileName(c.in)), c.out);
    }
    CRawFileInfo info;
    info.SetRawFileName("Artist: Title ");
    EXPECT_EQ(info.GetRawFileName(), "Artist_ Title");
}
