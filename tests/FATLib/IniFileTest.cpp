#include <gtest/gtest.h>

#include <fstream>

#include "IniFile.h"
#include "TestSupport.h"

using harbex::test::TempDir;

namespace {

std::string WriteIni(const TempDir& dir, const std::string& text) {
    const auto path = dir / "UIConfig.ini";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

}  // namespace

TEST(IniFile, ReviseSwitch) {
    struct Case {
        const char* what;
        const char* text;  // null: no file
        bool revise;
    } cases[] = {
        {"no file", nullptr, true},
        {"switched off", "[UserExperience]\nbRevise=0\n", false},
        {"last line without newline", "[UserExperience]\nbRevise=0", false},
        {"switched on", "[UserExperience]\nbRevise=1\n", true},
        {"blanks around the equals sign", "[UserExperience]\nbRevise = 0\n", true},
        {"carriage return before the newline", "[UserExperience]\r\nbRevise=0\r\n", true},
        {"empty value", "[UserExperience]\nbRevise=\n", true},
        {"other section", "[Other]\nbRevise=0\n", true},
        {"section names are case-sensitive", "[userexperience]\nbRevise=0\n", true},
        {"a later pair replaces an earlier one", "[UserExperience]\nbRevise=0\nbRevise=1\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = c.text ? WriteIni(dir, c.text) : (dir / "none.ini").string();
        EXPECT_EQ(ReadFATReviseSwitch(path), c.revise);
    }
}

TEST(IniFile, PairBeforeAnySectionStopsTheLoad) {
    TempDir dir;
    CIniFile ini;
    EXPECT_EQ(ini.Init(WriteIni(dir, "[A]\nkey=1\n[B]\nkey=2\n")), 0);
    CIniFile broken;
    EXPECT_EQ(broken.Init(WriteIni(dir, "[A]\nkey=1\n[B\nkey=2\n")), -1);
    std::string value;
    EXPECT_EQ(broken.ReadItem("A", "key", value), 0u);
    EXPECT_EQ(value, "1");

    CIniFile early;
    EXPECT_EQ(early.Init(WriteIni(dir, "key=1\n[A]\nkey=2\n")), -1);
    EXPECT_EQ(early.ReadItem("A", "key", value), CIniFile::kNotFound);
}

TEST(IniFile, WriteItemRewritesTheFile) {
    TempDir dir;
    const std::string path = WriteIni(dir, "[B]\nz=1\na=2\n[A]\nk=v\n");
    CIniFile ini(path);
    ASSERT_EQ(ini.Init(), 0);
    EXPECT_EQ(ini.WriteItem("B", "missing", "x"), CIniFile::kNotFound);
    EXPECT_EQ(ini.WriteItem("A", "k", "w"), 0u);
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[A]\nk=w\n\n[B]\na=2\nz=1\n\n");
}
