// QuickTime and ISO media: brands, the atom walk, and the make, model and
// device that name and tag a movie.

#include <gtest/gtest.h>

#include <random>

#include "MovAnalyzer.h"
#include "RawTestSupport.h"

using namespace harbex::test;
using BruteForce::MovAnalyzer;

namespace {

constexpr int kSector = 512;

std::vector<uint8_t> Atom(const char* type, const std::vector<uint8_t>& payload) {
    const uint32_t size = uint32_t(payload.size() + 8);
    std::vector<uint8_t> atom(size);
    for (int k = 0; k < 4; ++k)
        atom[size_t(k)] = uint8_t(size >> (24 - 8 * k));
    std::memcpy(atom.data() + 4, type, 4);
    std::copy(payload.begin(), payload.end(), atom.begin() + 8);
    return atom;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Noise(size_t length, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(length);
    for (uint8_t& byte : bytes)
        byte = uint8_t(random());
    return bytes;
}

std::vector<uint8_t> Join(const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A little-endian Exif block: one directory with make, model and date.
std::vector<uint8_t> Exif(const std::string& make, const std::string& model, uint16_t count = 3) {
    std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto le16 = [&tiff](uint16_t v) {
        tiff.push_back(uint8_t(v));
        tiff.push_back(uint8_t(v >> 8));
    };
    auto le32 = [&tiff](uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            tiff.push_back(uint8_t(v >> shift));
    };
    const uint32_t texts = 8 + 2 + 12 * 3 + 4;
    le16(count);
    const std::pair<uint16_t, std::string> entries[] = {
        {271, make}, {272, model}, {306, "2024:05:01 10:00:00"}};
    for (int n = 0; n < 3; ++n) {
        le16(entries[n].first);
        le16(2);
        le32(uint32_t(entries[n].second.size() + 1));
        le32(texts + 64 * uint32_t(n));
    }
    le32(0);
    for (const auto& entry : entries) {
        std::vector<uint8_t> text(64, 0);
        std::copy(entry.second.begin(), entry.second.end(), text.begin());
        tiff.insert(tiff.end(), text.begin(), text.end());
    }
    std::vector<uint8_t> block = Bytes(std::string("Exif\0\0", 6));
    block.insert(block.end(), tiff.begin(), tiff.end());
    return block;
}

std::vector<uint8_t> Ftyp(const std::string& brands) {
    return Atom("ftyp", Bytes(brands));
}

// Carves `movie` laid at sector 2 of random bytes; size -1 when not carved.
CarvedFile CarveMovie(const std::vector<uint8_t>& movie) {
    std::vector<uint8_t> image = Noise(2 * kSector, 5);
    image.insert(image.end(), movie.begin(), movie.end());
    const std::vector<uint8_t> after =
        Noise((kSector - image.size() % kSector) % kSector + 4 * kSector, 6);
    image.insert(image.end(), after.begin(), after.end());
    const auto carved = CarveImage(image, kSector);
    const auto found = carved.find(2);
    if (found == carved.end()) {
        CarvedFile none;
        none.size = -1;
        return none;
    }
    return found->second;
}

}  // namespace

TEST(MovAnalyzer, TypesFromTheBrand) {
    struct Case {
        std::string ftyp;    // the box's payload: brand, minor version, compatible brands
        int extraAtFree;     // 1: "free" stands at byte 28
        RAW_FILE_TYPE type;  // 0: not taken
    } cases[] = {
        {std::string("qt  \0\0\0\0qt  ", 12), 0, 42},
        {std::string("M4A \0\0\0\0M4A mp42isom", 20), 0, 45},
        {std::string("3gp5\0\0\0\0", 8), 0, 2},
        {std::string("isom\0\0\x02\0isomiso2avc1mp41", 24), 0, 44},
        {std::string("isom\0\0\x02\0isomiso2avc1mp41", 24), 1, 138},
        {std::string("isom\0\0\0\0isom", 12), 0, 42},
        {std::string("mp42\0\0\0\0mp41", 12), 0, 45},
        {std::string("mp42\0\0\0\0mp41isom", 16), 0, 44},
        {std::string("abcd\0\0\0\0", 8), 0, 42},
        {std::string("qt  \0\0\0\0", 8) + std::string(68, 'x'), 0, 0},  // 84 bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ftyp.substr(0, 4));
        std::vector<uint8_t> sector = Ftyp(c.ftyp);
        sector.resize(kSector, 0);
        if (c.extraAtFree)
            std::memcpy(sector.data() + 28, "FREE", 4);
        MovAnalyzer analyser;
        CRawFileInfo probe;
        EXPECT_EQ(analyser.AnalyseBuffer(sector.data(), probe), c.type != 0 ? 1u : 0u);
        if (c.type != 0) {
            EXPECT_EQ(probe.fileType, c.type);
        }
    }
}

TEST(MovAnalyzer, WalksTheTopLevelAtoms) {
    const std::vector<uint8_t> qt = Ftyp(std::string("qt  \0\0\0\0qt  ", 12));
    const std::vector<uint8_t> iso = Ftyp(std::string("isom\0\0\0\0isom", 12));
    // An mdat with a 64-bit size, in one step.
    std::vector<uint8_t> large = {0, 0, 0, 1, 'm', 'd', 'a', 't', 0, 0, 0, 0, 0, 0, 0x30, 0x10};
    const std::vector<uint8_t> data = Noise(0x3010 - 16, 9);
    large.insert(large.end(), data.begin(), data.end());
    const std::vector<uint8_t> moov = Atom("moov", Atom("mvhd", std::vector<uint8_t>(100, 1)));
    const std::vector<uint8_t> wide = Atom("wide", {});
    const std::vector<uint8_t> junk = Atom("jUnK", std::vector<uint8_t>(40, 2));

    struct Case {
        const char* what;
        std::vector<uint8_t> movie;
        int64_t size;  // -1: not carved
        std::string extension;
    } cases[] = {
        {"movie", Join({qt, wide, large, moov}), int64_t(Join({qt, wide, large, moov}).size()),
         ".MOV"},
        {"iso with one moov", Join({iso, large, moov}), int64_t(Join({iso, large, moov}).size()),
         ".MP4"},
        {"iso with two moov", Join({iso, moov, large, moov}),
         int64_t(Join({iso, moov, large, moov}).size()), ".MOV"},
        {"an unknown atom after ftyp", Join({qt, junk, moov}), -1, ""},
        {"a second file's ftyp", Join({qt, moov, large, qt, moov}),
         int64_t(Join({qt, moov, large}).size()), ".MOV"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CarvedFile carved = CarveMovie(c.movie);
        EXPECT_EQ(carved.size, c.size);
        if (c.size > 0) {
            EXPECT_EQ(carved.name, "FILE000" + c.extension);
        }
    }
}

TEST(MovAnalyzer, NamedAndTaggedByTheCameraOrPhone) {
    const std::vector<uint8_t> qt = Ftyp(std::string("qt  \0\0\0\0qt  ", 12));
    struct Case {
        const char* what;
        std::vector<uint8_t> moov;
        std::string name;
        std::string tag;  // "" for none
    } cases[] = {
        {"camera", Atom("moov", Join({Atom("udta", Exif("Canon", "EOS 90D"))})), "EOS 90D000.MOV",
         "CANON"},
        // The model stands in for the make: a tag, but no name.
        {"model only", Atom("moov", Exif("", "Pocket 3")), "FILE000.MOV", "POCKET 3"},
        {"a make that is no name", Atom("moov", Exif("Ca(n)on", "")), "FILE000.MOV", ""},
        {"an entry count past the block", Atom("moov", Exif("Canon", "EOS 90D", 500)),
         "FILE000.MOV", ""},
        // Near where the movie ends, in the sector after its last atom.
        {"phone", Atom("moov", Atom("udta", Bytes(std::string("\0\0iPhone 12 mini\0\0", 19)))),
         "FILE000.MOV", "IPHONE 12 MINI"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The movie ends 300 bytes into a sector.
        const size_t before = qt.size() + c.moov.size() + 8 + 3000;
        const std::vector<uint8_t> mdat =
            Atom("mdat", Noise(3000 + (300 + 512 - before % 512) % 512, 4));
        const CarvedFile carved = CarveMovie(Join({qt, mdat, c.moov}));
        EXPECT_EQ(carved.size, int64_t(Join({qt, mdat, c.moov}).size()));
        EXPECT_EQ(carved.name, c.name);
        // A tagged movie is filed under its tag's folder in the tag tree.
        EXPECT_EQ(carved.tree, c.tag.empty() ? SEARCHER_RAW_BY_TYPE : SEARCHER_RAW_BY_TAG);
        if (!c.tag.empty()) {
            EXPECT_EQ(carved.folder, c.tag);
        }
    }
}
