// The box walk of ISO media files and the end-signature search of texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "RawBoxFileAnalyser.h"
#include "RawTestSupport.h"
#include "SearchSignFileAnalyser.h"

using namespace harbex::test;

namespace {

constexpr uint32_t kSector = 512;

// A device of any size that reads as zeros except where bytes were placed.
class SparseDevice : public MemoryDevice {
public:
    SparseDevice(int64_t sectors, std::vector<uint8_t> head)
        : MemoryDevice(std::move(head), kSector), sectors_(sectors) {}
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        if (first < 0 || count <= 0 || first + count > sectors_)
            return false;
        auto* out = static_cast<uint8_t*>(buffer);
        std::memset(out, 0, size_t(count) * kSector);
        const int64_t held = MemoryDevice::GetTotalSectors();
        for (int64_t s = first; s < first + count && s < held; ++s)
            std::memcpy(out + (s - first) * kSector, bytes().data() + s * kSector, kSector);
        return true;
    }
    int64_t GetTotalSectors() override { return sectors_; }

private:
    int64_t sectors_;
};

void Box(std::vector<uint8_t>& file, uint32_t size, const char* type) {
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(uint8_t(size >> shift));
    file.insert(file.end(), type, type + 4);
    if (size > 8)
        file.insert(file.end(), size - 8, 0x11);
}

void LargeBox(std::vector<uint8_t>& file, uint64_t length, const char* type) {
    Box(file, 1, type);
    for (int shift = 56; shift >= 0; shift -= 8)
        file.push_back(uint8_t(length >> shift));
}

int64_t WalkBoxes(IStorageDevice& device, int& answer) {
    CRawFileInfo record;
    CRawBoxFileAnalyser walker;
    answer = walker.GetFileSize(record, &device);
    return record.size;
}

}  // namespace

TEST(BoxWalk, StepsOverTheBoxesOfAMediaFile) {
    std::vector<uint8_t> file;
    Box(file, 24, "ftyp");
    Box(file, 100, "moov");
    Box(file, 300, "MDAT");  // letters in any case
    const size_t known = file.size();
    Box(file, 64, "junk");

    std::vector<uint8_t> many;
    Box(many, 16, "ftyp");
    for (int i = 0; i < 600; ++i)
        Box(many, 8, "free");

    std::vector<uint8_t> noFirstBox(16, 0);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int answer;
        int64_t size;
    } cases[] = {
        {"ends at an unknown box", file, 1, int64_t(known)},
        {"at most 500 boxes", many, 1, 16 + 500 * 8},
        {"no first box", noFirstBox, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> image = c.bytes;
        image.resize(image.size() + 4096, 0xEE);
        MemoryDevice device(image, kSector);
        int answer = -1;
        EXPECT_EQ(WalkBoxes(device, answer), c.size);
        EXPECT_EQ(answer, c.answer);
    }
}

TEST(BoxWalk, LargeBoxesKeepTheirWholeLength) {
    // A box of 4 GiB and more: its 64-bit length counts whole, so the file
    // reaches past 4 GiB and does not end inside the box.
    std::vector<uint8_t> file;
    Box(file, 24, "ftyp");
    LargeBox(file, (uint64_t{1} << 32) + 4096, "mdat");
    const int64_t end = 24 + (int64_t{1} << 32) + 4096;
    SparseDevice device(end / kSector + 64, file);
    int answer = 0;
    EXPECT_EQ(WalkBoxes(device, answer), end);
    EXPECT_EQ(answer, 1);

    // A length that points past the device ends the file at the device's end.
    std::vector<uint8_t> beyond;
    Box(beyond, 24, "ftyp");
    LargeBox(beyond, uint64_t{1} << 62, "mdat");
    SparseDevice small(100, beyond);
    EXPECT_EQ(WalkBoxes(small, answer), 100 * int64_t{kSector});

    std::vector<uint8_t> zeroLength;
    Box(zeroLength, 24, "ftyp");
    LargeBox(zeroLength, 0, "mdat");
    SparseDevice zero(100, zeroLength);
    EXPECT_EQ(WalkBoxes(zero, answer), 0);
    EXPECT_EQ(answer, 0);
}

TEST(EndSignature, FindsTheEndOfAText) {
    auto search = [](const std::vector<uint8_t>& image, const char* signature, int exact,
                     uint64_t limit = 0) {
        MemoryDevice device(image, kSector);
        SearchSignCodeInfo request;
        std::strcpy(request.signature, signature);
        request.length = uint32_t(std::strlen(signature));
        request.maxSearchLength = limit;
        CRawFileInfo record;
        EXPECT_EQ(SearchSignFileAnalyser::SearchEndSignCode(record, &device, request, exact), 1);
        return record.size;
    };

    // 3000 bytes of text whose "</HTML>" ends at byte 2990, then zeros.
    std::vector<uint8_t> html(4096, 0);
    std::fill_n(html.begin(), 3000, 'x');
    std::memcpy(html.data() + 2983, "</HTML>", 7);
    EXPECT_EQ(search(html, "</html>", 0), 2990);
    EXPECT_EQ(search(html, "</HTML>", 1), 2990);

    // A signature across a sector seam is found from the next sector.
    std::vector<uint8_t> seam(2048, 0);
    std::fill_n(seam.begin(), 1022, 'y');
    std::memcpy(seam.data() + 509, "</html>", 7);
    EXPECT_EQ(search(seam, "</html>", 0), 512 + 7);

    // No signature: the search ends where reading ends, or at the limit.
    std::vector<uint8_t> plain(4096, 'z');
    EXPECT_EQ(search(plain, "</html>", 0), 4096);
    EXPECT_EQ(search(plain, "</html>", 0, 1024), 1536);
}

TEST(EndSignature, Apimemstr) {
    const uint8_t text[] = "abcabcd";
    const uint8_t abcd[] = "abcd";
    EXPECT_EQ(Apimemstr(text, 7, abcd, 4), 3);
    EXPECT_EQ(Apimemstr(text, 6, abcd, 4), -1);  // must lie wholly inside
    EXPECT_EQ(Apimemstr(text, 3, abcd, 4), -1);
    EXPECT_EQ(Apimemstr(nullptr, 7, abcd, 4), -1);
    EXPECT_EQ(Apimemstr(text, 7, abcd, 0), -1);
    EXPECT_EQ(Apimemstr(text, 0, abcd, 1), -1);
}
