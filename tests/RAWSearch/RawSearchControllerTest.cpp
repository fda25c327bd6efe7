// The raw search over small devices in memory, with test analysers standing in
// for a few registry entries: look-up order, the three ways of sizing, the
// streaming set and its evictions, stops, and the end of the search.

#include <gtest/gtest.h>

#include <random>

#include "Bitmap.h"
#include "ByteOrder.h"
#include "RAWSearchController.h"
#include "RawFileBuffer.h"
#include "RawTestSupport.h"

using namespace harbex::test;

namespace {

constexpr uint32_t kSector = 512;

// What the test analysers were asked and did.
struct Log {
    std::vector<std::string> asked;                      // analysers asked about a marked sector
    std::vector<std::pair<int64_t, long long>> removed;  // WillBeRemove (start, sector)
    std::vector<long long> streamed;                     // sectors a streaming record saw
    std::vector<std::pair<int64_t, uint32_t>> walked;    // (start, device type)
};
Log g_log;

// Accepts a sector whose byte 4 is `letter` and gives it one sector; logs the
// question when byte 5 is 'T'.
class OrderAnalyser : public IRawFileAnalyser {
public:
    OrderAnalyser(std::string name, char letter, RAW_FILE_TYPE type)
        : name_(std::move(name)), letter_(letter), type_(type) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override {
        if (sector[5] == 'T')
            g_log.asked.push_back(name_);
        if (sector[4] != letter_)
            return 0;
        info.fileType = type_;
        info.size = kSector;
        return 1;
    }

private:
    std::string name_;
    char letter_;
    RAW_FILE_TYPE type_;
};

// "PK\3\4": the header gives the size (bytes 4 to 7).
class SizedAnalyser : public IRawFileAnalyser {
public:
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override {
        info.fileType = 72;
        info.size = ReadLE32(sector + 4);
        return 1;
    }
};

// "RIFF": sized by a walk; the size is at bytes 4 to 7, and "CAM:" at 8 tags it.
class WalkedAnalyser : public IRawFileAnalyser {
public:
    uint32_t AnalyseBuffer(unsigned char*, CRawFileInfo& info) override {
        info.fileType = 59;
        return 1;
    }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override {
        g_log.walked.push_back({info.startSector, device->GetType()});
        RawFileBuffer reader(device, uint64_t(info.startSector));
        const uint8_t* bytes = reader.GetRawFileBuffer(0);
        if (bytes == nullptr)
            return 0;
        info.size = ReadLE32(bytes + 4);
        if (std::memcmp(bytes + 8, "CAM:", 4) == 0)
            info.SetRawFileTagAndValue(RAW_FILE_TAG_CAMERA,
                                       reinterpret_cast<const char*>(bytes + 12));
        return 1;
    }
};

// Gives the records handed to it one sector.
class OneSectorWalker : public IRawFileAnalyser {
public:
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override {
        g_log.walked.push_back({info.startSector, device->GetType()});
        info.size = kSector;
        return 1;
    }
};
OneSectorWalker g_walker;

// "MThd": streams until a sector that starts with "END!"; evicted, it settles
// at the sectors seen so far; at the end of the scan it goes to the walker.
class StreamingAnalyser : public IRawFileAnalyser {
public:
    class Record : public CRawFileInfo {
    public:
        bool WhetherImplementGuess() override { return true; }
        void WillBeRemove(unsigned char*, long long sector) override {
            g_log.removed.push_back({startSector, sector});
            if (sector >= 0)
                size = (sector - startSector) * kSector;
            else
                analyser = &g_walker;
        }
        int CalcRawSize(unsigned char* bytes, int sectorSize, long long sector,
                        SearchContext&) override {
            g_log.streamed.push_back(sector);
            if (std::memcmp(bytes, "END!", 4) != 0)
                return 2;
            size = (sector - startSector + 1) * sectorSize;
            return 1;
        }
    };
    uint32_t AnalyseBuffer(unsigned char*, CRawFileInfo& info) override {
        info.fileType = 38;
        return 1;
    }
    CRawFileInfo* CreateRawFileInfo() override { return new Record(); }
};

// Start sector and size of each file, in filing order.
using FileList = std::vector<std::pair<int64_t, int64_t>>;

class RawSearch : public ::testing::Test {
protected:
    RawSearch()
        : pdf_("BruteForce::PdfAnalyzer", [] { return new OrderAnalyser("pdf", 'P', 50); }),
          eps_("BruteForce::CEPSAnalyser", [] { return new OrderAnalyser("eps", 'E', 27); }),
          lzh_("Zorado::LZHAnalyser", [] { return new OrderAnalyser("lzh", 'L', 36); }),
          emf_("FileEMFAnalyser", [] { return new OrderAnalyser("emf", 'M', 26); }),
          zip_("FileZIPAnalyser", [] { return new SizedAnalyser(); }),
          riff_("FileRIFFAnalyser", [] { return new WalkedAnalyser(); }),
          midi_("ZizEdoza::MIDAnalyser", [] { return new StreamingAnalyser(); }) {
        g_log = Log();
    }

    void Put(int64_t sector, const void* bytes, size_t length) {
        const size_t at = size_t(sector) * kSector;
        if (image_.size() < at + length)
            image_.resize(at + length);
        std::memcpy(image_.data() + at, bytes, length);
    }
    void Put(int64_t sector, const char* text) { Put(sector, text, std::strlen(text)); }
    void PutSized(int64_t sector, const char* magic, uint32_t size) {
        uint8_t header[8];
        std::memcpy(header, magic, 4);
        std::memcpy(header + 4, &size, 4);
        Put(sector, header, 8);
    }

    // Prepares the search over the image (`sectors` long) with blocks of
    // `perBlock` sectors.
    void Prepare(int64_t sectors, int perBlock = 8) {
        image_.resize(size_t(sectors) * kSector);
        device_ = std::make_unique<MemoryDevice>(image_, kSector);
        perBlock_ = perBlock;
        search_.SetFileSectorMap(&fileSectors_);
        search_.SetIProgressSink(&progress_);
        search_.SetDevice(device_.get());
        search_.SetBlockSize(perBlock);
        search_.SetDirecotryTreeBuilder(&builder_);
        search_.SetBitmap(&bitmap_);
        search_.PreparetoSearch();
    }
    // Feeds every block, stopping as the complete scan does when asked to.
    bool Walk() {
        const int64_t total = device_->GetTotalSectors();
        for (int64_t first = 0; first < total; first += perBlock_) {
            if (progress_.Continued() == 0)
                return false;
            search_.AnalyzeBlock(first, std::min<int64_t>(perBlock_, total - first));
        }
        return progress_.Continued() != 0;
    }
    void Run(int64_t sectors, int perBlock = 8) {
        Prepare(sectors, perBlock);
        if (Walk())
            search_.EndSearch(1);
    }

    FileList Files(_tagSearcherType type = SEARCHER_RAW_BY_TYPE) {
        FileList files;
        for (IFileNode* node : builder_.Files(type)) {
            auto* file = dynamic_cast<CFileNode*>(node);
            files.push_back(
                {file->GetDataRunList()->GetFirst()->firstCluster, node->GetFileSize()});
        }
        return files;
    }

    ScopedAnalyser pdf_, eps_, lzh_, emf_, zip_, riff_, midi_;
    std::vector<uint8_t> image_;
    std::unique_ptr<MemoryDevice> device_;
    int perBlock_ = 8;
    RecordingBuilder builder_;
    StoppingProgress progress_;
    TBitmap bitmap_;
    std::map<long long, unsigned int> fileSectors_;
    CRAWSearchController search_;
};

}  // namespace

TEST_F(RawSearch, MapThenMultimapThenList) {
    Put(1, "%PDFPT");  // the map's entry accepts
    Put(2, "%!..ET");  // the multimap: PDF asked first, then EPS
    Put(3, "%PDFLT");  // the map's PDF refuses; no "%P" entry; then the list
    Put(4, std::string("\0\0\0\0MT", 6).c_str(), 6);  // four zero bytes: the list only
    Run(16);
    EXPECT_EQ(g_log.asked,
              (std::vector<std::string>{"pdf", "pdf", "eps", "pdf", "lzh", "lzh", "emf"}));
    EXPECT_EQ(Files(), (FileList{{1, 512}, {2, 512}, {3, 512}, {4, 512}}));
    EXPECT_EQ(fileSectors_,
              (std::map<long long, unsigned int>{{1, 50}, {2, 27}, {3, 36}, {4, 26}}));
    EXPECT_EQ(builder_.opened, (std::vector<std::pair<_tagSearcherType, long long>>{
                                   {SEARCHER_RAW_BY_TYPE, 1}, {SEARCHER_RAW_BY_TAG, 1000}}));
    EXPECT_EQ(builder_.flashed,
              (std::vector<_tagSearcherType>{SEARCHER_RAW_BY_TYPE, SEARCHER_RAW_BY_TAG}));
}

TEST_F(RawSearch, AHeaderSizedFileIsNotStreamed) {
    Put(0, "MThd");
    PutSized(2, "PK\3\4", 700);
    Put(5, "END!");
    Prepare(16);
    ASSERT_TRUE(Walk());
    EXPECT_EQ(g_log.streamed, (std::vector<long long>{0, 1, 3, 4, 5}));
    // Files are filed at the end, in the order they were sized.
    EXPECT_TRUE(Files().empty());
    search_.EndSearch(1);
    EXPECT_EQ(Files(), (FileList{{2, 700}, {0, 6 * 512}}));
}

TEST_F(RawSearch, The33rdStreamingRecordEvictsTheOldest) {
    for (int s = 0; s < 33; ++s)
        Put(s, "MThd");
    Prepare(48);
    ASSERT_TRUE(Walk());
    ASSERT_EQ(g_log.removed.size(), 1u);
    EXPECT_EQ(g_log.removed[0], (std::pair<int64_t, long long>{0, 32}));
    EXPECT_TRUE(Files().empty());

    search_.EndSearch(1);
    ASSERT_EQ(g_log.removed.size(), 33u);
    for (int s = 1; s < 33; ++s)
        EXPECT_EQ(g_log.removed[size_t(s)], (std::pair<int64_t, long long>{s, -1}));
    // The evicted record settled its size when it left; it is filed all the same.
    const FileList files = Files();
    ASSERT_EQ(files.size(), 33u);
    EXPECT_EQ(files[0], (std::pair<int64_t, int64_t>{0, 32 * 512}));
    for (int s = 1; s < 33; ++s)
        EXPECT_EQ(files[size_t(s)], (std::pair<int64_t, int64_t>{s, 512}));
}

TEST_F(RawSearch, WalksUseTheRingWhileTheFileIsInItThenTheDevice) {
    PutSized(3, "RIFF", 2000);
    PutSized(170, "RIFF", 600);
    Put(171, "RIFF....CAM:Maker Model");
    PutSized(171, "RIFF", 900);
    Prepare(176, 8);
    ASSERT_TRUE(Walk());
    // The ring holds 20 blocks: the file at sector 3 was walked over it.
    EXPECT_EQ(g_log.walked, (std::vector<std::pair<int64_t, uint32_t>>{{3, kStorageDeviceCache}}));
    search_.EndSearch(1);
    EXPECT_EQ(g_log.walked,
              (std::vector<std::pair<int64_t, uint32_t>>{
                  {3, kStorageDeviceCache}, {170, kStorageDeviceDisk}, {171, kStorageDeviceDisk}}));
    EXPECT_EQ(Files(), (FileList{{3, 2000}, {170, 600}}));
    EXPECT_EQ(Files(SEARCHER_RAW_BY_TAG), (FileList{{171, 900}}));
}

TEST_F(RawSearch, AStopEndsTheBlockAndFilesNothingMore) {
    PutSized(1, "PK\3\4", 512);
    Put(2, "MThd");
    PutSized(3, "RIFF", 512);
    PutSized(40, "PK\3\4", 512);
    Prepare(64);
    progress_.goOn = 20;  // stops inside the third block
    EXPECT_FALSE(Walk());
    EXPECT_EQ(fileSectors_.count(40), 0u);
    // What was sized before the stop is filed; nothing is walked any more.
    search_.EndSearch(1);
    EXPECT_EQ(Files(), (FileList{{1, 512}}));
    EXPECT_TRUE(g_log.walked.empty());
    EXPECT_EQ(builder_.flashed.size(), 2u);
}

TEST_F(RawSearch, EndSearchWithoutBuildingFilesNothing) {
    Put(0, "MThd");
    PutSized(3, "RIFF", 512);
    Prepare(16);
    ASSERT_TRUE(Walk());
    search_.EndSearch(0);
    EXPECT_TRUE(builder_.added.empty());
    EXPECT_TRUE(builder_.flashed.empty());
    EXPECT_TRUE(g_log.walked.empty());
}

TEST_F(RawSearch, SectorsOfKnownFilesAreSkipped) {
    PutSized(0, "PK\3\4", 512);
    PutSized(9, "PK\3\4", 512);
    PutSized(17, "PK\3\4", 512);
    PutSized(24, "PK\3\4", 512);
    Prepare(32);
    ASSERT_TRUE(bitmap_.CreateBitmap(4, 8));
    bitmap_.SetBit(1, 1, 2);  // sectors 8 to 23
    ASSERT_TRUE(Walk());
    search_.EndSearch(1);
    EXPECT_EQ(Files(), (FileList{{0, 512}, {24, 512}}));
}

TEST_F(RawSearch, FilesThatAFileSystemListsAreNotFiledAgain) {
    PutSized(2, "PK\3\4", 512);
    PutSized(5, "PK\3\4", 512);
    Put(9, "MThd");
    Put(10, "END!");
    Prepare(16);
    ASSERT_TRUE(Walk());
    // A file system marks the sectors of the files it lists after the walk,
    // before the raw search ends.
    ASSERT_TRUE(bitmap_.CreateBitmap(16, 1));
    bitmap_.SetBit(5, 1, 1);
    bitmap_.SetBit(9, 1, 2);
    search_.EndSearch(1);
    EXPECT_EQ(Files(), (FileList{{2, 512}}));
}

TEST_F(RawSearch, FilesNoFileSystemCanListAreFiledAsSoonAsSized) {
    // A file system may list files from sector 8 on when it ends.
    struct FromSector8 : ILaterListing {
        bool MayBeListedLater(long long sector) override { return sector >= 8; }
    } listing;
    search_.SetLaterListing(&listing);
    PutSized(2, "PK\3\4", 512);
    Put(3, "MThd");
    Put(5, "END!");
    PutSized(9, "PK\3\4", 512);
    PutSized(12, "PK\3\4", 512);
    Prepare(24);
    ASSERT_TRUE(Walk());
    EXPECT_EQ(Files(), (FileList{{2, 512}, {3, 3 * 512}}));
    // The file system lists the file at sector 9; the one at 12 waited for it.
    ASSERT_TRUE(bitmap_.CreateBitmap(24, 1));
    bitmap_.SetBit(9, 1, 1);
    search_.EndSearch(1);
    EXPECT_EQ(Files(), (FileList{{2, 512}, {3, 3 * 512}, {12, 512}}));
}

TEST_F(RawSearch, AStoppedScanKeepsTheFilesFiledBeforeTheStop) {
    struct Nowhere : ILaterListing {
        bool MayBeListedLater(long long) override { return false; }
    } listing;
    search_.SetLaterListing(&listing);
    PutSized(1, "PK\3\4", 512);
    PutSized(40, "PK\3\4", 512);
    Prepare(64);
    progress_.goOn = 20;  // stops inside the third block
    EXPECT_FALSE(Walk());
    // The complete scan may end the search without building: the file is filed.
    search_.EndSearch(0);
    EXPECT_EQ(Files(), (FileList{{1, 512}}));
}

TEST_F(RawSearch, DamagedAndRandomInputEndsCleanly) {
    // Random bytes with PNG headers planted in them: whole, cut by the
    // device's end, with huge lengths, and mere signatures.
    std::mt19937 random(7);
    image_.resize(600 * kSector);
    for (uint8_t& byte : image_)
        byte = uint8_t(random());
    const std::vector<uint8_t> whole = MakePng({3000, 10});
    Place(image_, 10 * kSector, whole);
    std::vector<uint8_t> huge = MakePng({20, 5});
    SetChunkLength(huge, 33, 0xFFFFFFF0u);
    Place(image_, 40 * kSector, huge);
    const std::vector<uint8_t> signature(whole.begin(), whole.begin() + 8);
    for (int s = 100; s < 140; ++s)
        Place(image_, size_t(s) * kSector, signature);
    Place(image_, 599 * kSector, std::vector<uint8_t>(whole.begin(), whole.begin() + 200));
    Prepare(600, 16);
    ASSERT_TRUE(Walk());
    search_.EndSearch(1);

    const int64_t deviceBytes = 600 * int64_t{kSector};
    bool foundWhole = false;
    for (const auto& [start, size] : Files()) {
        EXPECT_GT(size, 0);
        EXPECT_LE(start * kSector + size, deviceBytes);
        foundWhole |= start == 10 && size == int64_t(whole.size());
    }
    EXPECT_TRUE(foundWhole);
}
