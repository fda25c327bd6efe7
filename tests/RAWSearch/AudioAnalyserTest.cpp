// Audio analysers: MPEG audio frames and ID3 tags, APE, ADTS, and the
// containers ASF and transport streams.

#include <gtest/gtest.h>

#include <random>

#include "ADTSAnalyser.h"
#include "APEAnalyser.h"
#include "AsfAnalyser.h"
#include "FileMP3Analyser.h"
#include "M2TSAnalyser.h"
#include "MP3Analyzer.h"
#include "MPAHeader.h"
#include "RawTestSupport.h"

using namespace harbex::test;
using BruteForce::CADTSAnalyser;
using BruteForce::CAPEAnalyser;
using BruteForce::CAsfAnalyser;
using BruteForce::CM2TSAnalyser;
using BruteForce::MP3Analyzer;

namespace {

constexpr int kSector = 512;

std::vector<uint8_t> Noise(size_t length, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(length);
    for (uint8_t& byte : bytes)
        byte = uint8_t(random() % 0xFE);  // no FF: nothing looks like a frame sync
    return bytes;
}

// `count` MPEG audio frames with the given header (all the same length).
std::vector<uint8_t> Frames(const std::vector<uint8_t>& header, int count, uint32_t seed = 1) {
    uint32_t length = 0;
    EXPECT_TRUE(IsMpegAudioFrame(header.data(), length));
    std::vector<uint8_t> frames;
    for (int n = 0; n < count; ++n) {
        std::vector<uint8_t> frame = Noise(length, seed + uint32_t(n));
        std::copy(header.begin(), header.end(), frame.begin());
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    return frames;
}

// MPEG 1 Layer III, 128 kbit/s, 44100 Hz: 417 bytes.
const std::vector<uint8_t> kLayer3 = {0xFF, 0xFB, 0x90, 0x00};

std::vector<uint8_t> Id3v1(const std::string& title, const std::string& artist) {
    std::vector<uint8_t> tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    std::memcpy(tag.data() + 3, title.data(), std::min<size_t>(title.size(), 30));
    std::memcpy(tag.data() + 33, artist.data(), std::min<size_t>(artist.size(), 30));
    return tag;
}

// An ID3v2.3 tag holding text frames: {id, encoding byte + text bytes}.
std::vector<uint8_t> Id3v2(
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& frames) {
    // Made at its final size: header, then each frame's header and content.
    size_t length = 10;
    for (const auto& frame : frames)
        length += 10 + frame.second.size();
    std::vector<uint8_t> tag(length, 0);
    std::memcpy(tag.data(), "ID3\x03", 4);
    const uint32_t size = uint32_t(length - 10);
    for (int k = 0; k < 4; ++k)
        tag[size_t(6 + k)] = uint8_t((size >> (21 - 7 * k)) & 0x7F);
    size_t at = 10;
    for (const auto& [id, content] : frames) {
        std::memcpy(tag.data() + at, id.data(), 4);
        for (int k = 0; k < 4; ++k)
            tag[at + 4 + size_t(k)] = uint8_t(content.size() >> (24 - 8 * k));
        std::copy(content.begin(), content.end(), tag.begin() + std::ptrdiff_t(at + 10));
        at += 10 + content.size();
    }
    return tag;
}

std::vector<uint8_t> Text(uint8_t encoding, const std::string& text) {
    std::vector<uint8_t> bytes(text.size() + 1, encoding);
    std::copy(text.begin(), text.end(), bytes.begin() + 1);
    return bytes;
}

struct Carved {
    int64_t size;
    std::string name;
};

// The files carved from an image in memory, by start sector.
std::map<int64_t, Carved> Carve(std::vector<uint8_t> image, uint32_t sectorSize = kSector) {
    std::map<int64_t, Carved> files;
    for (const auto& [start, file] : CarveImage(std::move(image), sectorSize))
        files[start] = {file.size, file.name};
    return files;
}

}  // namespace

TEST(MpegAudio, FrameHeaders) {
    struct Case {
        std::vector<uint8_t> header;
        uint32_t length;  // 0: does not decode
    } cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 417},  // MPEG 1 Layer III 128k 44100
        {{0xFF, 0xFB, 0x92, 0x00}, 418},  // padded
        {{0xFF, 0xF3, 0x48, 0x00}, 144},  // MPEG 2 Layer III 32k 16000: 72 x 32000 / 16000
        {{0xFF, 0xFD, 0x10, 0xC0}, 104},  // MPEG 1 Layer II 32k mono 44100
        {{0xFF, 0xFD, 0x10, 0x00}, 0},    // ... not in stereo
        {{0xFF, 0xFD, 0xB0, 0xC0}, 0},    // 224k Layer II never mono
        {{0xFF, 0xFB, 0x00, 0x00}, 0},    // free format
        {{0xFF, 0xFB, 0xF0, 0x00}, 0},    // bitrate index 15
        {{0xFF, 0xFB, 0x9C, 0x00}, 0},    // sampling index 3
        {{0xFF, 0xFB, 0x90, 0x02}, 0},    // emphasis 2
        {{0xFF, 0xEB, 0x90, 0x00}, 0},    // version 1
        {{0xFF, 0xF9, 0x90, 0x00}, 0},    // layer 0
    };
    for (const Case& c : cases) {
        uint32_t length = 0;
        EXPECT_EQ(IsMpegAudioFrame(c.header.data(), length), c.length != 0)
            << std::hex << int(c.header[1]) << " " << int(c.header[2]) << " " << int(c.header[3]);
        if (c.length != 0) {
            EXPECT_EQ(length, c.length);
        }
    }
    uint32_t value = 0;
    const uint8_t synchsafe[] = {0x00, 0x00, 0x02, 0x01};
    EXPECT_TRUE(classMp3Search::GetSynchsafeInteger(synchsafe, value));
    EXPECT_EQ(value, 257u);
    const uint8_t top[] = {0x00, 0x80, 0x00, 0x01};
    EXPECT_FALSE(classMp3Search::GetSynchsafeInteger(top, value));
}

// A frame-sync start whose first frames chain holds off new frame-sync
// candidates until its record leaves the stream, whether it finishes or is
// evicted; an "ID3" start is always taken.
TEST(MP3Analyzer, ChainedStartHoldsOffCandidatesUntilItsRecordLeaves) {
    // Sixteen sectors in memory (92 to 107); the frames start sector 100.
    std::vector<uint8_t> block = Noise(8 * kSector, 21);
    const std::vector<uint8_t> frames = Frames(kLayer3, 8);
    block.insert(block.end(), frames.begin(), frames.end());
    block.resize(16 * kSector + 4096, 0);
    uint8_t* start = block.data() + 8 * kSector;
    std::vector<uint8_t> id3 = Id3v2({{"TIT2", Text(0, "Hello")}});
    id3.resize(kSector);

    MP3Analyzer analyser;
    CRawFileInfo probe;
    EXPECT_EQ(analyser.AnalyseBufferEx(start, probe, kSector, 100, 92, 108), 1);
    EXPECT_EQ(analyser.m_lastStartSector, 100);
    EXPECT_EQ(analyser.AnalyseBufferEx(start, probe, kSector, 100, 100, 108), 0);
    EXPECT_EQ(analyser.AnalyseBufferEx(id3.data(), probe, kSector, 101, 101, 108), 1);

    std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
    record->analyser = &analyser;
    record->startSector = 100;
    record->WillBeRemove(start, 140);
    EXPECT_EQ(analyser.m_lastStartSector, 0);
    EXPECT_NE(dynamic_cast<FileMP3Analyser*>(record->analyser), nullptr);
    EXPECT_EQ(analyser.AnalyseBufferEx(start, probe, kSector, 100, 100, 108), 1);

    // A frame in memory before the sector that ends where it starts: the
    // middle of a stream, not a file.
    MP3Analyzer other;
    EXPECT_EQ(other.AnalyseBufferEx(start + 417, probe, kSector, 101, 93, 108), 0);

    // A third header that does not decode refuses the start.
    start[2 * 417 + 2] = 0xF0;
    MP3Analyzer fresh;
    EXPECT_EQ(fresh.AnalyseBufferEx(start, probe, kSector, 100, 100, 108), 0);
}

TEST(MP3Analyzer, FrameWalksAndTagsOnTheLayoutOfADisk) {
    // Untagged frames, frames ending in an ID3v1 tag, an ID3v2-tagged file
    // ending in an ID3v1 tag with zeros after it, and a walk too short to size.
    std::vector<uint8_t> image = Noise(4 * kSector, 9);
    auto put = [&image](const std::vector<uint8_t>& file, bool zeros) {
        const int64_t start = int64_t(image.size() / kSector);
        image.insert(image.end(), file.begin(), file.end());
        const size_t slack = (kSector - image.size() % kSector) % kSector;
        const std::vector<uint8_t> after = zeros ? std::vector<uint8_t>(slack + kSector, 0)
                                                 : Noise(slack + kSector, uint32_t(start));
        image.insert(image.end(), after.begin(), after.end());
        return start;
    };
    const std::vector<uint8_t> plain = Frames(kLayer3, 60, 3);
    std::vector<uint8_t> ended = Frames(kLayer3, 60, 5);
    const std::vector<uint8_t> v1 = Id3v1("Night", "Kai Lund");
    ended.insert(ended.end(), v1.begin(), v1.end());
    std::vector<uint8_t> tagged =
        Id3v2({{"TIT2", Text(0, "Morning")}, {"TPE1", Text(3, "Anna Berg")}});
    const std::vector<uint8_t> audio = Frames(kLayer3, 70, 7);
    tagged.insert(tagged.end(), audio.begin(), audio.end());
    tagged.insert(tagged.end(), v1.begin(), v1.end());
    const std::vector<uint8_t> shortWalk = Frames(kLayer3, 12, 11);

    const int64_t plainAt = put(plain, false);
    const int64_t endedAt = put(ended, false);
    const int64_t taggedAt = put(tagged, true);
    const int64_t shortAt = put(shortWalk, false);
    image.resize(image.size() + 8 * kSector, 0);
    const auto carved = Carve(image);

    ASSERT_TRUE(carved.count(plainAt));
    EXPECT_EQ(carved.at(plainAt).size, int64_t(plain.size()));
    EXPECT_EQ(carved.at(plainAt).name.rfind(std::to_string(plainAt) + "-", 0), 0u);
    ASSERT_TRUE(carved.count(endedAt));
    EXPECT_EQ(carved.at(endedAt).size, int64_t(ended.size()));
    EXPECT_EQ(carved.at(endedAt).name.rfind("Kai Lund_Night", 0), 0u);
    ASSERT_TRUE(carved.count(taggedAt));
    EXPECT_EQ(carved.at(taggedAt).size, int64_t(tagged.size()));
    EXPECT_EQ(carved.at(taggedAt).name.rfind("Anna Berg_Morning " + std::to_string(taggedAt), 0),
              0u)
        << carved.at(taggedAt).name;
    // Too short for the stream; the device walk refuses it as well.
    EXPECT_FALSE(carved.count(shortAt));
}

// Title texts in their encodings, read while the frames after the tag are
// walked: "<artist>_<title> <start sector>_", or the sector range without a
// title.
TEST(MP3Analyzer, TagTexts) {
    struct Case {
        const char* what;
        std::vector<uint8_t> title;
        std::string name;
    } cases[] = {
        {"latin-1", Text(0, "Caf\xE9 Song"), "_Caf\xC3\xA9 Song 2_"},
        {"UTF-8", Text(3, "Caf\xC3\xA9"), "_Caf\xC3\xA9 2_"},
        {"UTF-16 with FF FE", {1, 0xFF, 0xFE, 'O', 0, 'k', 0}, "_Ok 2_"},
        {"UTF-16 with FE FF", {1, 0xFE, 0xFF, 0, 'O', 0, 'k'}, "2-"},
        {"UTF-16 without mark", {2, 0, 'O', 0, 'k'}, "2-"},
        {"bad UTF-8 is replaced", Text(3, std::string("A\xFF") + "B"), "_A_B 2_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = Id3v2({{"TIT2", c.title}});
        const std::vector<uint8_t> audio = Frames(kLayer3, 70, 13);
        file.insert(file.end(), audio.begin(), audio.end());
        std::vector<uint8_t> image = Noise(2 * kSector, 1);
        image.insert(image.end(), file.begin(), file.end());
        image.resize(image.size() + (kSector - image.size() % kSector) % kSector + 8 * kSector, 0);
        const auto carved = Carve(image);
        ASSERT_TRUE(carved.count(2));
        EXPECT_EQ(carved.at(2).name.rfind(c.name, 0), 0u) << carved.at(2).name;
        EXPECT_EQ(carved.at(2).size, int64_t(file.size()));
        // The frames that happen to start a sector are no files of their own.
        EXPECT_EQ(carved.size(), 1u);
    }
}

// The ID3v1 tag read at a file's end turns pairs of blanks into text ends;
// it does so on a copy, as the sector's bytes feed other records too.
TEST(MP3Analyzer, TheEndTagIsReadWithoutTouchingTheSector) {
    MP3Analyzer analyser;
    std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
    record->startSector = 0;
    record->analyser = &analyser;
    // Bytes between the tag and the frames: no frame walk, the end is found
    // by the tag and the zeros after it.
    std::vector<uint8_t> file = Id3v2({{"TSSE", Text(0, "enc")}});
    const std::vector<uint8_t> gap = Noise(20, 16);
    file.insert(file.end(), gap.begin(), gap.end());
    const std::vector<uint8_t> audio = Frames(kLayer3, 60, 17);
    file.insert(file.end(), audio.begin(), audio.end());
    const std::vector<uint8_t> v1 = Id3v1("Slow", "Lena  Moor");
    file.insert(file.end(), v1.begin(), v1.end());
    file.resize((file.size() / kSector + 16) * kSector, 0);
    const std::vector<uint8_t> before = file;
    const long long sectors = (long long)(file.size() / kSector);
    CRawFileInfo::SearchContext context;
    context.windowStart = 0;
    context.windowEnd = sectors - 8;
    int answer = 2;
    for (long long s = 0; s < context.windowEnd && answer == 2; ++s) {
        uint8_t* sector = file.data() + s * kSector;
        context.trailingZeroBytes =
            std::all_of(sector + kSector - 32, sector + kSector, [](uint8_t b) { return b == 0; })
                ? 32
                : 0;
        answer = record->CalcRawSize(sector, kSector, s, context);
    }
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(file, before);
    EXPECT_EQ(record->size,
              int64_t(Id3v2({{"TSSE", Text(0, "enc")}}).size() + gap.size() + audio.size() + 128));
    EXPECT_EQ(record->GetRawFileName().rfind("Lena_Slow 0-", 0), 0u) << record->GetRawFileName();
}

TEST(ADTS, StreamsAreMatchedByFiveFramesAndEndAfterTheirLastFrame) {
    auto frame = [](uint32_t length, uint32_t seed) {
        std::vector<uint8_t> bytes = Noise(length, seed);
        const uint8_t header[7] = {0xFF,
                                   0xF1,
                                   0x50,
                                   uint8_t(0x80 | (length >> 11)),
                                   uint8_t(length >> 3),
                                   uint8_t((length & 7) << 5 | 0x1F),
                                   0xFC};
        std::copy(header, header + 7, bytes.begin());
        return bytes;
    };
    CADTSAnalyser analyser;
    CRawFileInfo probe;
    std::vector<uint8_t> bytes;
    for (int n = 0; n < 5; ++n) {
        const std::vector<uint8_t> one = frame(2100, uint32_t(n));  // longer than 2047
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    bytes.resize(bytes.size() + 8192, 0);
    EXPECT_EQ(analyser.AnalyseBufferEx(bytes.data(), probe, kSector, 0, 0, 100), 1);
    EXPECT_EQ(probe.fileType, 45u);
    // One frame and then the end of what is in memory: a match, but the
    // record is dropped unless it proves five frames.
    EXPECT_EQ(analyser.AnalyseBufferEx(bytes.data(), probe, kSector, 0, 0, 5), 1);
    bytes[2100] = 0;
    EXPECT_EQ(analyser.AnalyseBufferEx(bytes.data(), probe, kSector, 0, 0, 100), 0);

    // In an image: a stream of 60 frames of 400 bytes (frame 32 starts a
    // sector) then zeros, and a short one that only matched on running out.
    std::vector<uint8_t> image = Noise(4 * kSector, 3);
    for (int n = 0; n < 60; ++n) {
        const std::vector<uint8_t> one = frame(400, uint32_t(n));
        image.insert(image.end(), one.begin(), one.end());
    }
    image.resize((image.size() / kSector + 2) * kSector, 0);
    // A stream whose last sector goes on with other bytes: its frames end it.
    const int64_t second = int64_t(image.size() / kSector);
    for (int n = 0; n < 40; ++n) {
        const std::vector<uint8_t> one = frame(300, uint32_t(100 + n));
        image.insert(image.end(), one.begin(), one.end());
    }
    const std::vector<uint8_t> after = Noise(3 * kSector, 9);
    image.insert(image.end(), after.begin(), after.end());
    const auto carved = Carve(image);
    ASSERT_EQ(carved.size(), 2u);
    EXPECT_EQ(carved.at(4).size, 60 * 400);
    EXPECT_EQ(carved.at(second).size, 40 * 300);
}

namespace {

std::vector<uint8_t> ApeDescriptorFile(uint16_t version, uint16_t bits, uint16_t channels,
                                       uint32_t frameBytes) {
    std::vector<uint8_t> file(52 + 24 + 16, 0);
    std::memcpy(file.data(), "MAC ", 4);
    auto le16 = [&file](size_t at, uint16_t v) { std::memcpy(file.data() + at, &v, 2); };
    auto le32 = [&file](size_t at, uint32_t v) { std::memcpy(file.data() + at, &v, 4); };
    le16(4, version);
    le32(8, 52);
    le32(12, 24);
    le32(16, 16);
    le32(24, frameBytes);
    le16(52 + 16, bits);
    le16(52 + 18, channels);
    const std::vector<uint8_t> frames = Noise(frameBytes, 5);
    file.insert(file.end(), frames.begin(), frames.end());
    return file;
}

// Streams `file` (followed by zeros) past an APE record from sector 0.
std::pair<int, int64_t> StreamApe(std::vector<uint8_t> file) {
    CAPEAnalyser analyser;
    std::unique_ptr<CRawFileInfo> record(analyser.CreateRawFileInfo());
    file.resize((file.size() / kSector + 2) * kSector + 4096, 0);
    CRawFileInfo::SearchContext context;
    context.windowEnd = (long long)(file.size() / kSector) - 8;
    int answer = 2;
    for (long long s = 0; s < context.windowEnd && answer == 2; ++s) {
        uint8_t* sector = file.data() + s * kSector;
        context.trailingZeroBytes = sector[kSector - 1] == 0 ? 4 : 0;
        answer = record->CalcRawSize(sector, kSector, s, context);
    }
    return {answer, record->size};
}

}  // namespace

TEST(APE, SizesFromTheDescriptorOrTheDataBeforeTheZeros) {
    // Version 3990: the descriptor's sum, the APE tag after it not counted.
    std::vector<uint8_t> file = ApeDescriptorFile(3990, 16, 2, 3000);
    const int64_t length = int64_t(file.size());
    const std::vector<uint8_t> tag = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
    file.insert(file.end(), tag.begin(), tag.end());
    EXPECT_EQ(StreamApe(file), std::make_pair(1, length));
    for (uint16_t version : {uint16_t(999), uint16_t(10000)})
        EXPECT_EQ(StreamApe(ApeDescriptorFile(version, 16, 2, 3000)),
                  std::make_pair(1, int64_t(0)));
    EXPECT_EQ(StreamApe(ApeDescriptorFile(3990, 16, 3, 3000)), std::make_pair(1, int64_t(0)));

    // Version 3970: 16-bit stereo (block align 4), a seek table whose largest
    // entry is 1800, data up to byte 2601 and no tag: one block past the
    // rounded data.
    std::vector<uint8_t> old(32, 0);
    std::memcpy(old.data(), "MAC ", 4);
    const uint16_t version = 3970;
    const uint16_t channels = 2;
    std::memcpy(old.data() + 4, &version, 2);
    std::memcpy(old.data() + 10, &channels, 2);
    for (uint32_t entry : {16u, 900u, 1800u, 1200u})
        old.insert(old.end(), reinterpret_cast<uint8_t*>(&entry),
                   reinterpret_cast<uint8_t*>(&entry) + 4);
    std::vector<uint8_t> data = Noise(2601 - old.size(), 8);
    data.back() = 1;
    old.insert(old.end(), data.begin(), data.end());
    EXPECT_EQ(StreamApe(old), std::make_pair(1, int64_t(2604 + 4)));
}

namespace {

std::vector<uint8_t> AsfObject(int guid, uint64_t size, int streamType = -1) {
    std::vector<uint8_t> object(size, 0);
    std::memcpy(object.data(), CAsfAnalyser::ucHeaderObjectHeaderID[guid], 16);
    std::memcpy(object.data() + 16, &size, 8);
    if (streamType >= 0)
        std::memcpy(object.data() + 24, CAsfAnalyser::ucHeaderObjectHeaderID[streamType], 16);
    return object;
}

}  // namespace

TEST(ASF, TypedByTheStreamsOfTheHeader) {
    constexpr int kVideo = 1, kAudio = 2, kStream = 3, kFile = 4, kData = 5, kIndex = 6;
    struct Case {
        std::vector<int> streams;
        RAW_FILE_TYPE type;
        const char* extension;
    } cases[] = {
        {{kAudio}, 7, ".WMA"},
        {{kVideo, kAudio}, 8, ".WMV"},
        {{kVideo, kVideo}, 7, ".WMA"},
        {{kAudio, kFile}, 6, ".ASF"},  // a stream of some other kind
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> header = AsfObject(0, 30);
        header.push_back(0);
        header.resize(30);
        header.insert(header.end(), {});
        std::vector<uint8_t> objects = AsfObject(kFile, 104);
        for (int stream : c.streams) {
            const std::vector<uint8_t> one = AsfObject(kStream, 120, stream);
            objects.insert(objects.end(), one.begin(), one.end());
        }
        header.insert(header.end(), objects.begin(), objects.end());
        const uint64_t headerSize = header.size();
        std::memcpy(header.data() + 16, &headerSize, 8);
        std::vector<uint8_t> file = header;
        for (const auto& object : {AsfObject(kData, 3000), AsfObject(kIndex, 700)})
            file.insert(file.end(), object.begin(), object.end());

        std::vector<uint8_t> image = Noise(2 * kSector, 4);
        image.insert(image.end(), file.begin(), file.end());
        const std::vector<uint8_t> after = Noise(3 * kSector, 6);
        image.insert(image.end(), after.begin(), after.end());
        const auto carved = Carve(image);
        ASSERT_EQ(carved.count(2), 1u) << c.type;
        EXPECT_EQ(carved.at(2).size, int64_t(file.size()));
        const std::string& name = carved.at(2).name;
        EXPECT_EQ(name.substr(name.size() - 4), c.extension);
    }
}

namespace {

std::vector<uint8_t> TransportStream(int packets, int packetLength, uint32_t seed) {
    std::vector<uint8_t> stream;
    for (int n = 0; n < packets; ++n) {
        std::vector<uint8_t> packet = Noise(size_t(packetLength), seed + uint32_t(n));
        const size_t sync = packetLength == 192 ? 4 : 0;
        packet[sync] = 0x47;
        packet[sync + 1] = 0x40;
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    return stream;
}

}  // namespace

TEST(M2TS, StreamsEndAtTheFirstPacketWithoutSyncOrAtTheDevicesEnd) {
    std::vector<uint8_t> image = Noise(3 * kSector, 2);
    auto put = [&image](const std::vector<uint8_t>& bytes) {
        const int64_t start = int64_t(image.size() / kSector);
        image.insert(image.end(), bytes.begin(), bytes.end());
        const std::vector<uint8_t> noise =
            Noise((kSector - image.size() % kSector) % kSector + 2 * kSector, 12);
        image.insert(image.end(), noise.begin(), noise.end());
        return start;
    };
    const std::vector<uint8_t> bdav = TransportStream(300, 192, 1);
    const int64_t bdavAt = put(bdav);
    // Too short to be filed; it must not hold off the stream after it.
    const int64_t shortAt = put(TransportStream(20, 188, 2));
    std::vector<uint8_t> broken = TransportStream(30, 188, 3);
    broken[188] = 0;  // the second packet lacks its sync byte
    const int64_t brokenAt = put(broken);
    // The last stream runs to the device's end, which is not a packet's end.
    const std::vector<uint8_t> last = TransportStream(250, 188, 4);
    const int64_t lastAt = int64_t(image.size() / kSector);
    image.insert(image.end(), last.begin(), last.end());
    image.resize(image.size() / kSector * kSector);

    const auto carved = Carve(image);
    ASSERT_TRUE(carved.count(bdavAt));
    EXPECT_EQ(carved.at(bdavAt).size, int64_t(bdav.size()));
    EXPECT_FALSE(carved.count(shortAt));
    EXPECT_FALSE(carved.count(brokenAt));
    ASSERT_TRUE(carved.count(lastAt));
    EXPECT_EQ(carved.at(lastAt).size,
              int64_t((image.size() - size_t(lastAt) * kSector) / 188 * 188));
    EXPECT_EQ(carved.size(), 2u);

    // While one stream is measured no other is taken.
    CM2TSAnalyser analyser;
    CRawFileInfo probe;
    std::vector<uint8_t> sector = TransportStream(4, 188, 5);
    EXPECT_EQ(analyser.AnalyseBuffer(sector.data(), probe), 1u);
    EXPECT_EQ(analyser.AnalyseBuffer(sector.data(), probe), 0u);
}
