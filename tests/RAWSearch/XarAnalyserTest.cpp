// The installer-package analyser: xar archives measured to the end of the
// last member their table of contents places in the heap, and packages whose
// header gives their size.

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "FilePKGAnalyser.h"
#include "RawTestSupport.h"

using namespace harbex::test;

namespace {

void PutBE(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int k = bytes - 1; k >= 0; --k)
        out.push_back(uint8_t(value >> (8 * k)));
}

std::string Zlib(const std::string& text) {
    uLongf length = compressBound(uLong(text.size()));
    std::string packed(length, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &length,
              reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()), 9);
    packed.resize(length);
    return packed;
}

std::string FileEntry(int id, uint64_t offset, uint64_t length) {
    return "<file id=\"" + std::to_string(id) + "\"><data><length>" + std::to_string(length) +
           "</length><offset>" + std::to_string(offset) + "</offset><size>" +
           std::to_string(length * 3) + "</size></data><name>f" + std::to_string(id) +
           "</name></file>";
}

std::string Toc(const std::string& files) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><xar><toc><checksum style=\"sha1\">"
           "<offset>0</offset><size>20</size></checksum>" +
           files + "</toc></xar>";
}

// A xar archive with the given table of contents and `heap` heap bytes.
std::vector<uint8_t> Xar(const std::string& toc, size_t heap) {
    const std::string packed = Zlib(toc);
    std::vector<uint8_t> xar = {'x', 'a', 'r', '!'};
    PutBE(xar, 28, 2);
    PutBE(xar, 1, 2);
    PutBE(xar, packed.size(), 8);
    PutBE(xar, toc.size(), 8);
    PutBE(xar, 1, 4);
    xar.insert(xar.end(), packed.begin(), packed.end());
    xar.insert(xar.end(), heap, 0x77);
    return xar;
}

int64_t Measure(const std::vector<uint8_t>& file, uint32_t sector = 512) {
    MemoryDevice device(RandomImage(sector, 64 + uint32_t(file.size() / sector), {{4, file}}),
                        sector);
    FilePKGAnalyser analyser;
    CRawFileInfo info;
    info.startSector = 4;
    return analyser.GetRawFileSize(info, &device) == 1 ? info.size : -1;
}

}  // namespace

TEST(XarHeap, EndsAfterTheFarthestMemberWhateverItsId) {
    struct Case {
        const char* what;
        std::string files;
        uint64_t heapEnd;
    };
    const Case cases[] = {
        {"last listed is not last in the heap",
         FileEntry(1, 20, 3000) + FileEntry(2, 5020, 700) + FileEntry(3, 3020, 2000), 5720},
        {"highest id is a folder without data",
         FileEntry(1, 20, 3000) + "<file id=\"9\"><type>directory</type><name>d</name></file>",
         3020},
        {"members nested in folders",
         "<file id=\"1\"><name>d</name>" + FileEntry(2, 20, 100) + FileEntry(3, 120, 900) +
             "</file>",
         1020},
        {"offsets past 4 GiB", FileEntry(1, 20, 100) + FileEntry(2, 0x1'2345'6789, 0x10),
         0x1'2345'6799},
        {"only the checksum", "", 20},
    };
    for (const Case& c : cases) {
        uint64_t end = 0;
        ASSERT_TRUE(FilePKGAnalyser::HeapEnd(Toc(c.files).c_str(), end)) << c.what;
        EXPECT_EQ(end, c.heapEnd) << c.what;
    }
}

TEST(XarDeviceWalk, MeasuresToTheHeapEnd) {
    const std::string toc = Toc(FileEntry(1, 20, 3000) + FileEntry(2, 3020, 1500));
    const auto xar = Xar(toc, 4520);
    for (const uint32_t sector : {512u, 4096u})
        EXPECT_EQ(Measure(xar, sector), int64_t(xar.size())) << sector;
}

TEST(XarDeviceWalk, DamagedTablesOfContentsFailCleanly) {
    const std::string toc = Toc(FileEntry(1, 20, 3000));
    std::vector<uint8_t> corrupt = Xar(toc, 3020);
    corrupt[40] ^= 0xFF;
    std::vector<uint8_t> tooLarge = Xar(toc, 3020);
    tooLarge[16 + 5] = 0x30;  // inflated length 0x300000 + a little
    tooLarge[16 + 7] = 0x01;
    std::string deep = "<?xml version=\"1.0\"?><xar><toc>";
    for (int i = 0; i < 5000; ++i)
        deep += "<file id=\"1\">";
    const struct {
        const char* what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"corrupt zlib stream", corrupt},
        {"table of contents too large", tooLarge},
        {"not XML", Xar("not a table of contents", 100)},
        {"no toc element", Xar("<?xml version=\"1.0\"?><xar></xar>", 100)},
        {"nested without end", Xar(deep, 100)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Measure(c.file), -1) << c.what;
}

TEST(PkgHeader, SizeComesFromTheHeaderWhenItsVersionIsKnown) {
    struct Case {
        uint8_t version;
        uint64_t size;
        bool sized;
    };
    for (const Case c : {Case{1, 5000, true}, Case{2, 5000, true}, Case{3, 5000, false},
                         Case{1, 0x280000001, false}}) {
        std::vector<uint8_t> header = {0x7F, 'P', 'K', 'G', 0, 0, 0, c.version};
        header.resize(24, 0);
        PutBE(header, c.size, 8);
        uint64_t size = 1;
        EXPECT_EQ(FilePKGAnalyser::PkgSignFileSize(header.data(), size), c.sized);
        EXPECT_EQ(size, c.sized ? c.size : 0);
    }
}
