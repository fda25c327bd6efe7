#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "FileNode.h"
#include "ImageFiles.h"
#include "KvThumbnails.h"
#include "KvUIController.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "RawPreview.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using harbex::test::DecompressXz;
using harbex::test::FixturePath;
using harbex::test::TempDir;

// ---- Previews embedded in camera raws ----

std::string SmallJpeg(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes.toStdString();
}

// A little-endian TIFF file built entry by entry.
class Tiff {
public:
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    // Appends a directory and answers its offset; `next` is the following one.
    uint32_t Directory(const std::vector<Entry>& entries, uint32_t next = 0) {
        const auto at = static_cast<uint32_t>(bytes.size());
        Put(entries.size(), 2);
        for (const Entry& e : entries) {
            Put(e.tag, 2);
            Put(e.type, 2);
            Put(e.count, 4);
            Put(e.value, 4);
        }
        Put(next, 4);
        return at;
    }
    uint32_t Append(const std::string& data) {
        const auto at = static_cast<uint32_t>(bytes.size());
        bytes += data;
        return at;
    }
    void SetFirst(uint32_t offset) { bytes.replace(4, 4, Le(offset)); }
    void SetNext(uint32_t directory, uint32_t next) {
        const uint16_t count = static_cast<uint8_t>(bytes[directory]) |
                               static_cast<uint8_t>(bytes[directory + 1]) << 8;
        bytes.replace(directory + 2 + count * 12, 4, Le(next));
    }
    std::optional<EmbeddedJpeg> Find() const {
        return FindEmbeddedPreview(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }

    std::string bytes = std::string("II*\0", 4) + std::string(4, '\0');

private:
    static std::string Le(uint32_t value) {
        return {static_cast<char>(value), static_cast<char>(value >> 8),
                static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    }
    void Put(uint32_t value, int width) { bytes += Le(value).substr(0, width); }
};

TEST(RawPreview, LargestJpegNamedByTheDirectoriesIsFound) {
    const std::string thumb = SmallJpeg(16, 12);
    const std::string large = SmallJpeg(160, 120);
    Tiff tiff;
    const uint32_t thumbAt = tiff.Append(thumb);
    const uint32_t largeAt = tiff.Append(large);
    // The large one is a JPEG-compressed strip of a sub-directory.
    const uint32_t sub = tiff.Directory({{0x0103, 3, 1, 6},
                                         {0x0111, 4, 1, largeAt},
                                         {0x0117, 4, 1, static_cast<uint32_t>(large.size())}});
    const uint32_t first = tiff.Directory({{0x0201, 4, 1, thumbAt},
                                           {0x0202, 4, 1, static_cast<uint32_t>(thumb.size())},
                                           {0x014A, 4, 1, sub}});
    tiff.SetFirst(first);
    const auto found = tiff.Find();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->offset, largeAt);
    EXPECT_EQ(found->length, large.size());
    const QImage image = PictureFromBytes(QByteArray::fromStdString(tiff.bytes));
    EXPECT_EQ(image.size(), QSize(160, 120));
}

TEST(RawPreview, HostileStructuresEndWithoutAPreview) {
    const std::string jpeg = SmallJpeg(8, 8);
    struct Case {
        const char* name;
        std::function<void(Tiff&)> build;
    } cases[] = {
        {"preview past the end",
         [&](Tiff& t) {
             t.SetFirst(t.Directory({{0x0201, 4, 1, 0x7FFFFFF0}, {0x0202, 4, 1, 64}}));
         }},
        {"length past the end",
         [&](Tiff& t) {
             const uint32_t at = t.Append(jpeg);
             t.SetFirst(t.Directory({{0x0201, 4, 1, at}, {0x0202, 4, 1, 0xFFFFFFFF}}));
         }},
        {"not a JPEG",
         [&](Tiff& t) {
             const uint32_t at = t.Append(std::string(64, 'x'));
             t.SetFirst(t.Directory({{0x0201, 4, 1, at}, {0x0202, 4, 1, 64}}));
         }},
        {"directory chain looping on itself",
         [&](Tiff& t) {
             const uint32_t at = t.Directory({{0x0100, 3, 1, 1}});
             t.SetNext(at, at);
             t.SetFirst(at);
         }},
        {"sub-directories naming each other",
         [&](Tiff& t) {
             const uint32_t a = t.Directory({{0x014A, 4, 1, 0}});
             const uint32_t b = t.Directory({{0x014A, 4, 1, a}});
             t.bytes.replace(a + 2 + 8, 4, std::string(reinterpret_cast<const char*>(&b), 4));
             t.SetFirst(a);
         }},
        {"entry count past the end",
         [&](Tiff& t) { t.SetFirst(t.Append(std::string("\xFF\xFF", 2))); }},
        {"first directory past the end", [&](Tiff& t) { t.SetFirst(0xFFFFFFF0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tiff tiff;
        c.build(tiff);
        EXPECT_FALSE(tiff.Find());
    }
    EXPECT_FALSE(FindEmbeddedPreview(nullptr, 0));
}

// ---- Thumbnails of found files ----

// The found files of the last scan: those of the type index and those in
// the folders of the path index, by name.
std::multimap<std::string, IFileNode*> FoundFiles() {
    std::set<IFileNode*> nodes;
    for (const auto& [category, files] : KvUIScan::instance()->GetTypeMap())
        nodes.insert(files.begin(), files.end());
    for (IFileNode* folder : KvUIScan::instance()->KvGetAllPathNode()) {
        for (IFileNode* child = folder->GetFirstChild(); child != nullptr;
             child = child->GetNextNode()) {
            if (!child->IsDirectory())
                nodes.insert(child);
        }
    }
    std::multimap<std::string, IFileNode*> files;
    for (IFileNode* node : nodes)
        files.emplace(node->GetFileName() ? node->GetFileName() : "", node);
    return files;
}

std::string Extension(const std::string& name) {
    const size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return extension;
}

class ThumbnailTest : public testing::Test {
protected:
    void TearDown() override {
        // The scans ran on this thread: let their deferred updates arrive here.
        bridgetest::Pump(4500);
        KvUIScan::instance()->ForgetResults();
    }
    void ScanFixture(const std::string& fixture) {
        const fs::path raw = dir_ / "volume.img";
        ASSERT_TRUE(DecompressXz(FixturePath(fixture), raw));
        ASSERT_TRUE(bridgetest::MakeOztImage(raw, dir_ / "volume.ozt", ++imageTime_));
        IStorageDevice* device = bridgetest::OpenImageDevice(dir_ / "volume.ozt");
        ASSERT_NE(device, nullptr);
        ASSERT_TRUE(bridgetest::ScanImageDevice(device));
    }
    TempDir dir_;
    static inline uint64_t imageTime_ = 1800000000;
};

// Every picture of the sample set, camera raws included, gets a picture.
TEST_F(ThumbnailTest, SamplePicturesGetThumbnails) {
    ScanFixture("raw/photo_512.img.xz");
    std::map<std::string, int> pictures;  // by extension: how many were found
    for (const auto& [name, node] : FoundFiles()) {
        const std::string extension = Extension(name);
        // Drawings are pictures no image reader decodes.
        if (extension == "dwg" || extension == "dxf")
            continue;
        SCOPED_TRACE(name);
        ++pictures[extension];
        const QImage image = KvUIController::GetNSImageByFildNode(node);
        EXPECT_GT(image.width(), 0);
        EXPECT_GT(image.height(), 0);
    }
    for (const char* kind : {"jpg", "gif", "tif", "cr2", "dng", "nef", "arw", "pef", "orf", "raf"})
        EXPECT_GT(pictures[kind], 0) << kind;
}

// Loaders of the results window ask from several threads at once while the
// thumbnails share nothing: each answer is the one asked alone.
TEST_F(ThumbnailTest, ThumbnailsFromSeveralThreadsAtOnce) {
    ScanFixture("raw/photo_512.img.xz");
    std::vector<IFileNode*> nodes;
    std::vector<QImage> alone;
    for (const auto& [name, node] : FoundFiles()) {
        nodes.push_back(node);
        alone.push_back(KvUIController::GetNSImageByFildNode(node));
    }
    std::vector<std::vector<QImage>> together(4, std::vector<QImage>(nodes.size()));
    std::vector<std::thread> loaders;
    for (size_t t = 0; t < together.size(); ++t) {
        loaders.emplace_back([&, t] {
            for (size_t i = 0; i < nodes.size(); ++i)
                together[t][i] =
                    KvUIController::GetNSImageByFildNode(nodes[(i + t) % nodes.size()]);
        });
    }
    for (std::thread& loader : loaders)
        loader.join();
    for (size_t t = 0; t < together.size(); ++t) {
        for (size_t i = 0; i < nodes.size(); ++i)
            EXPECT_EQ(together[t][i], alone[(i + t) % nodes.size()]) << t << " " << i;
    }
}

TEST_F(ThumbnailTest, MoviesGetAFrame) {
    ScanFixture("movie/movie_fat.img.xz");
    std::map<std::string, IFileNode*> movies;
    for (const auto& [name, node] : FoundFiles()) {
        // Short names written in lower case, listed as the manifest has them.
        if (name == "clip.mp4" || name == "clip.avi")
            movies[name] = node;
    }
    ASSERT_EQ(movies.size(), 2u);
    for (const auto& [name, node] : movies) {
        SCOPED_TRACE(name);
        const QImage frame = KvUIController::GetNSImageByFildNode(node);
        // 96 x 64 fitted into 192 x 192.
        EXPECT_EQ(frame.size(), QSize(192, 128));
    }
    EXPECT_TRUE(KvUIController::getVideoThumbFromPath(
                    QString::fromStdString(FixturePath("movie/movie_fat.manifest").string()))
                    .isNull());
}

}  // namespace
