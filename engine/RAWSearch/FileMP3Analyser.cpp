#include "FileMP3Analyser.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"
#include "MPAHeader.h"
#include "RawFileBuffer.h"
#include "TagText.h"

namespace {

constexpr uint64_t kMostFrameBytes = 0x82000000;
constexpr uint64_t kMostTagPathBytes = 0x104000000;
constexpr uint64_t kLeastFrameBytes = 10240;
constexpr uint32_t kMostSkip = 4095;
constexpr uint64_t kMostApeTailBytes = 102400;

}  // namespace

uint32_t FileMP3Analyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* first = reader.GetRawFileBuffer(0);
    if (first == nullptr)
        return 0;
    if (std::memcmp(first, "ID3", 3) == 0)
        return GetRawFileSizeFromTag(info, reader);
    if (first[0] == 0xFF && first[1] == 0xFB && (first[2] == 0xE0 || first[2] == 0xB0) &&
        (std::memcmp(first + 36, "Info", 4) == 0 || std::memcmp(first + 36, "Xing", 4) == 0)) {
        return GetRawFileSizeXING(info, reader);
    }
    CMPAHeader header;
    if ((first[0] == 0xFF && first[1] == 0xFB) || header.Init(first)) {
        return GetRawFileSizeFromFrame(info, reader);
    }
    return GetRawFileSizeFromTag(info, reader);
}

void FileMP3Analyser::NameFromTexts(CRawFileInfo& info, const std::string& artist,
                                    const std::string& title) {
    const std::string cleanArtist = ApiStrFilterBadFileName(artist);
    if (!cleanArtist.empty())
        info.SetRawFileTagAndValue(RAW_FILE_TAG_ARTIST, cleanArtist);
    info.SetRawFileName(cleanArtist + "_" + ApiStrFilterBadFileName(title));
}

uint32_t FileMP3Analyser::GetRawFileSizeXING(CRawFileInfo& info, RawFileBuffer& reader) {
    const uint8_t* first = reader.GetRawFileBuffer(0);
    if (first == nullptr)
        return 0;
    uint64_t size = ReadBE32(first + 48);
    info.fileType = kType;
    if (size > 0) {
        if (const uint8_t* tag = reader.GetRawFileBuffer(size);
            tag != nullptr && std::memcmp(tag, "TAG", 3) == 0) {
            const Id3v1Texts texts = ReadId3v1(tag, true);
            NameFromTexts(info, texts.artist, texts.title);
            size += 128;
        }
    }
    info.size = static_cast<int64_t>(std::min(size, reader.GetBytesToDeviceEnd()));
    return 1;
}

uint32_t FileMP3Analyser::GetRawFileSizeFromFrame(CRawFileInfo& info, RawFileBuffer& reader) {
    const uint8_t* first = reader.GetRawFileBuffer(0);
    uint32_t length = 0;
    uint32_t next = 0;
    if (first == nullptr || !IsMpegAudioFrame(first, length))
        return 0;
    const uint8_t* second = reader.GetRawFileBuffer(length);
    if (second == nullptr || !IsMpegAudioFrame(second, next))
        return 0;
    info.fileType = kType;
    const int64_t start = info.startSector;
    if (start > windowStart_ && start < windowStart_ + windowSectors_) {
        info.size = 0;
        return 0;
    }
    uint64_t total = 0;
    for (;;) {
        const uint8_t* header = reader.GetRawFileBuffer(total);
        if (header == nullptr)
            break;
        if (total < kMostFrameBytes && IsMpegAudioFrame(header, length)) {
            total += length;
            continue;
        }
        const Mp3Trailer trailer = FindMp3Trailer(header, 131);
        if (trailer.id3v1) {
            const Id3v1Texts texts = ReadId3v1(header, true);
            NameFromTexts(info, texts.artist, texts.title);
        }
        total += trailer.bytes;
        break;
    }
    if (total < kLeastFrameBytes)
        return 0;
    const uint64_t sectorSize = reader.GetSectorSize();
    const int64_t sectors = static_cast<int64_t>((total + sectorSize - 1) / sectorSize);
    const int64_t end = start + sectors;
    if (end > windowStart_ && end < windowStart_ + windowSectors_) {
        info.size = 0;
        return 0;
    }
    windowStart_ = start;
    windowSectors_ = sectors;
    info.size = static_cast<int64_t>(std::min(total, reader.GetBytesToDeviceEnd()));
    return 1;
}

uint32_t FileMP3Analyser::GetRawFileSizeFromTag(CRawFileInfo& info, RawFileBuffer& reader) {
    const uint8_t* first = reader.GetRawFileBuffer(0);
    uint32_t tagSize = 0;
    if (first == nullptr || !classMp3Search::GetSynchsafeInteger(first + 6, tagSize))
        return 0;
    std::string title;
    std::string artist;
    std::string year;
    for (uint64_t at = 10; at < tagSize;) {
        const uint8_t* frame = reader.GetRawFileBuffer(at);
        if (frame == nullptr)
            break;
        const uint32_t frameSize = ReadBE32(frame + 4);
        if (frameSize == 0)
            break;
        // The window holds a sector beyond `frame`: the first 255 text bytes fit.
        const size_t length = std::min<size_t>(frameSize - 1, 255);
        const uint8_t* text = frame + 11;
        std::string value;
        if (frame[10] == 3 || frame[10] == 0) {
            value.assign(reinterpret_cast<const char*>(text),
                         std::find(text, text + length, uint8_t{0}) - text);
        } else if (frame[10] == 1 && frameSize >= 4 && text[0] == 0xFF && text[1] == 0xFE) {
            value = TagText::UTF16BE2UTF8(text + 2, length - 2, 1024);
        }
        if (std::memcmp(frame, "TPE1", 4) == 0)
            artist = value;
        else if (std::memcmp(frame, "TIT2", 4) == 0)
            title = value;
        else if (std::memcmp(frame, "TYER", 4) == 0)
            year = value;
        at += 10 + uint64_t{frameSize};
    }
    const uint64_t tagEnd = uint64_t{tagSize} + 10;
    const uint64_t end = ScanAfterTag(reader, tagEnd, title, artist, year);
    if (end <= tagEnd)
        return 0;
    // The texts are named from their first 30 bytes, converted as ID3v1 texts are.
    uint8_t fields[128] = {};
    std::memcpy(fields, "TAG", 3);
    std::memcpy(fields + 3, title.data(), std::min<size_t>(title.size(), 30));
    std::memcpy(fields + 33, artist.data(), std::min<size_t>(artist.size(), 30));
    const Id3v1Texts texts = ReadId3v1(fields, true);
    info.fileType = kType;
    if (!year.empty())
        info.timeText = year;
    NameFromTexts(info, texts.artist, texts.title);
    info.size = static_cast<int64_t>(std::min(end, reader.GetBytesToDeviceEnd()));
    return 1;
}

uint64_t FileMP3Analyser::ScanAfterTag(RawFileBuffer& reader, uint64_t position, std::string& title,
                                       std::string& artist, std::string& year) {
    const uint64_t sectorSize = reader.GetSectorSize();
    uint64_t p = position;
    int skippedRun = 0;     // frames in a row found only after skipping bytes
    uint64_t runStart = 0;  // where that run began
    for (;;) {
        bool advanced = false;
        for (uint32_t k = 0; k <= kMostSkip && p + k < kMostTagPathBytes; ++k) {
            const uint64_t at = p + k;
            const uint8_t* bytes = reader.GetRawFileBuffer(at);
            if (bytes == nullptr)
                return p;
            if (std::memcmp(bytes, "TAG", 3) == 0) {
                const uint64_t after = at + 128;
                bool restZero = true;
                if (after % sectorSize != 0) {
                    const uint8_t* rest = reader.GetRawFileBuffer(after);
                    const uint64_t left = sectorSize - after % sectorSize;
                    restZero = rest != nullptr &&
                               std::all_of(rest, rest + left, [](uint8_t b) { return b == 0; });
                }
                if (restZero) {
                    const Id3v1Texts texts = ReadId3v1(bytes, false);
                    if (title.empty())
                        title = texts.title;
                    if (artist.empty())
                        artist = texts.artist;
                    if (year.empty())
                        year = texts.year;
                    return after;
                }
            }
            uint32_t length = 0;
            if (IsMpegAudioFrame(bytes, length)) {
                if (k == 0) {
                    skippedRun = 0;
                } else if (skippedRun++ == 0) {
                    runStart = p;
                }
                p = at + length;
                advanced = true;
                break;
            }
            if (k == 0 && skippedRun >= 2)
                return runStart;
            if (at % sectorSize == 0 && IsId3v2Header(bytes)) {
                uint32_t nextTag = 0;
                if (classMp3Search::GetSynchsafeInteger(bytes + 6, nextTag))
                    return p;
            }
            if (std::memcmp(bytes, "APETAGEX", 8) == 0 && bytes[8] == 0xD0)
                return EndAfterApeTag(reader, at, p);
        }
        if (!advanced)
            return p;
    }
}

uint64_t FileMP3Analyser::EndAfterApeTag(RawFileBuffer& reader, uint64_t tag, uint64_t fallback) {
    const uint64_t sectorSize = reader.GetSectorSize();
    for (uint64_t sector = tag - tag % sectorSize; sector < tag + kMostApeTailBytes;
         sector += sectorSize) {
        const uint8_t* bytes = reader.GetRawFileBuffer(sector);
        if (bytes == nullptr)
            return fallback;
        const uint8_t* end = bytes + sectorSize;
        if (!std::all_of(end - 4, end, [](uint8_t b) { return b == 0; }))
            continue;
        if (std::all_of(end - 12, end, [](uint8_t b) { return b == 0; }))
            return sector + sectorSize;
        for (uint64_t at = 1; at + 3 <= sectorSize; ++at) {
            if (bytes[at - 1] == 0 && std::memcmp(bytes + at, "TAG", 3) == 0)
                return sector + at + 128;
        }
    }
    return fallback;
}
