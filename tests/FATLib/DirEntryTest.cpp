#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DosDateTime.h"
#include "FATDirEntry.h"
#include "FATTestEntries.h"
#include "LittleEndian.h"
#include "TestSupport.h"

using namespace harbex::test;

TEST(FATDirEntry, Validity) {
    struct Case {
        const char* what;
        std::array<uint8_t, 32> entry;
        bool strict;
        bool lenient;
    } cases[] = {
        {"plain file", ShortEntry("README  TXT", 0x20, 5, 10), true, true},
        {"cluster without size", ShortEntry("README  TXT", 0x20, 5, 0), false, true},
        {"size without cluster", ShortEntry("README  TXT", 0x20, 0, 10), false, true},
        {"empty file", ShortEntry("EMPTY   DAT", 0x20, 0, 0), true, true},
        {"folder", ShortEntry("DOCS       ", 0x10, 7, 0), true, true},
        {"folder with size and high word", ShortEntry("DOCS       ", 0x10, 0x10007, 5), false,
         true},
        {"attribute bit 0x40", ShortEntry("README  TXT", 0x40, 5, 10), false, false},
        {"attribute above 0x3F", ShortEntry("README  TXT", 0x80, 5, 10), false, false},
        {"volume label", ShortEntry("MY:LABEL   ", 0x08, 0, 0), true, true},
        {"blank first character", ShortEntry(" EADME  TXT", 0x20, 5, 10), false, false},
        {"star in the name", ShortEntry("READ*E  TXT", 0x20, 5, 10), false, false},
        {"control character",
         ShortEntry("READ\x01"
                    "E  TXT",
                    0x20, 5, 10),
         false, false},
        {"erased entry",
         ShortEntry("\xE5"
                    "EADME  TXT",
                    0x20, 5, 10),
         true, true},
        {"never used", ShortEntry("\0\0\0\0\0\0\0\0\0\0\0", 0, 0, 0), false, false},
        {"long-name piece", LongNamePiece(0x41, u"x"), true, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        CTempFATDirEntry entry(c.entry.data());
        EXPECT_EQ(entry.IsValidFATDirEntry(0), c.strict);
        EXPECT_EQ(entry.IsValidFATDirEntry(1), c.lenient);
    }
}

TEST(FATDirEntry, DateAndTimeWords) {
    EXPECT_TRUE(CTempFATDirEntry::IsValidTime((23 << 11) | (59 << 5) | 29));
    EXPECT_FALSE(CTempFATDirEntry::IsValidTime((23 << 11) | (59 << 5) | 30));
    EXPECT_FALSE(CTempFATDirEntry::IsValidTime((24 << 11)));
    EXPECT_TRUE(CTempFATDirEntry::IsValidDate(0));
    EXPECT_TRUE(CTempFATDirEntry::IsValidDate((44 << 9) | (12 << 5) | 31));
    EXPECT_FALSE(CTempFATDirEntry::IsValidDate((44 << 9) | (13 << 5) | 1));
    EXPECT_FALSE(CTempFATDirEntry::IsValidDate((44 << 9) | (1 << 5) | 0));

    auto entry = ShortEntry("README  TXT", 0x20, 5, 10);
    WriteLE16(entry.data() + 22, (12 << 11) | (60 << 5));  // minute 60
    EXPECT_FALSE(CTempFATDirEntry(entry.data()).IsValidFATDirEntry(1));
}

TEST(FATDirEntry, ShortNames) {
    struct Case {
        const char* name11;
        int noDot;
        uint8_t attribute;
        uint8_t caseBits;  // the reserved byte
        const char* expected;
    } cases[] = {
        {"\xE5"
         "AB     TXT",
         0, 0x20, 0, "#AB.TXT"},
        {"README  TXT", 0, 0x20, 0, "README.TXT"},
        {"MAKEFILE   ", 0, 0x20, 0, "MAKEFILE"},
        {"HARBEX32   ", 1, 0x20, 0, "HARBEX32"},
        {"VOL     LBL", 1, 0x20, 0, "VOLLBL"},
        {"CAF\xC9    TXT", 0, 0x20, 0, "CAF_.TXT"},
        // Names written in lower case without a long name.
        {"NUMBERS TXT", 0, 0x20, 0x18, "numbers.txt"},
        {"IMG_0001JPG", 0, 0x20, 0x10, "IMG_0001.jpg"},
        {"README  TXT", 0, 0x20, 0x08, "readme.TXT"},
        {"\xE5"
         "AB     TXT",
         0, 0x20, 0x18, "#ab.txt"},
        {"DCIM       ", 0, 0x10, 0x08, "dcim"},
        // A volume label has no case bits.
        {"CAMERA     ", 1, 0x08, 0x18, "CAMERA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        auto entry = ShortEntry(c.name11, c.attribute, 0, 0);
        entry[12] = c.caseBits;
        char out[kFATShortNameBufferSize] = {};
        CTempFATDirEntry(entry.data()).GetShortName(out, c.noDot);
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(FATDirEntry, LongNamePiecesDecodeToUTF8) {
    struct Case {
        std::u16string piece;
        const char* expected;
    } cases[] = {
        {u"report 2024.d", "report 2024.d"},
        {u"\u00dcn\u00efc\u00f6d\u00e9 \u540d\u524d", "\u00dcn\u00efc\u00f6d\u00e9 \u540d\u524d"},
        {u"oc", "oc"},
        {u"", "_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        auto entry = LongNamePiece(0x41, c.piece);
        char out[64];
        CTempFATDirEntry view(entry.data());
        EXPECT_TRUE(view.GetLongFileName(out, sizeof(out)));
        EXPECT_STREQ(out, c.expected);
    }
    // A buffer too small for the piece keeps what fits, NUL-terminated.
    auto entry = LongNamePiece(0x41, u"abcdefghijklm");
    char small[5];
    CTempFATDirEntry(entry.data()).GetLongFileName(small, sizeof(small));
    EXPECT_STREQ(small, "abcd");
}

TEST(FATDirEntry, LongNameValidity) {
    EXPECT_TRUE(CTempFATDirEntry::IsValidLongFileName("Long file name.txt"));
    EXPECT_FALSE(CTempFATDirEntry::IsValidLongFileName(""));
    EXPECT_FALSE(CTempFATDirEntry::IsValidLongFileName(nullptr));
    for (const char* bad : {"a?b", "a*b", "a|b", "a\\b", "a/b", "a:b", "a\"b", "a<b", "a>b"}) {
        EXPECT_FALSE(CTempFATDirEntry::IsValidLongFileName(bad)) << bad;
    }
}

TEST(FATDirEntry, FirstClusterWordsAreWrittenBack) {
    auto entry = ShortEntry(
        "\xE5"
        "IGH    JPG",
        0x20, 0x0123, 1636);
    CTempFATDirEntry view(entry.data());
    EXPECT_EQ(view.GetFirstClusterNO(), 0x0123u);
    view.SetFirstClusterNO(0x30123);
    EXPECT_EQ(view.GetFirstClusterNO(), 0x30123u);
    EXPECT_EQ(ReadLE16(entry.data() + 20), 3);
    EXPECT_EQ(ReadLE16(entry.data() + 26), 0x0123);
}

TEST(DosDateTime, ReadAsLocalTime) {
    const uint16_t date = ((2020 - 1980) << 9) | (9 << 5) | 14;  // 2020-09-14
    const uint16_t time = (12 << 11) | (26 << 5) | (40 / 2);     // 12:26:40
    _FILETIME utc = 0;
    {
        harbex::test::ScopedTimeZone zone("UTC");
        ASSERT_TRUE(DosDateTimeToFileTime(date, time, &utc));
    }
    EXPECT_EQ(utc, 1600086400ull * 10000000 + 116444736000000000ull);
    _FILETIME berlin = 0;
    {
        harbex::test::ScopedTimeZone zone("Europe/Berlin");
        DosDateTimeToFileTime(date, time, &berlin);
    }
    EXPECT_EQ(utc - berlin, 2ull * 3600 * 10000000);  // summer time, UTC+2
}

TEST(DosDateTime, ZeroDateIsNoTime) {
    _FILETIME time = 1;
    EXPECT_TRUE(DosDateTimeToFileTime(0, 0, &time));
    EXPECT_EQ(time, 0u);
}
