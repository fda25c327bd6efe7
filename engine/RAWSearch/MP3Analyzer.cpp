#include "MP3Analyzer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "ByteOrder.h"
#include "MPAHeader.h"
#include "RawUtility.h"
#include "StreamReach.h"
#include "TagText.h"

namespace BruteForce {

namespace {

constexpr uint32_t kMostTagBytes = 1073741824;
constexpr int64_t kMostId3Bytes = 524288000;
constexpr int kMostFramesPerCall = 1024;
constexpr uint64_t kLeastWalkedBytes = 10240;
// The longest frame a stream of real files has (Layer II, 160 kbit/s, 8 kHz).
constexpr long long kMostFrameBytesBack = 2880;

bool IsFrameSync(const uint8_t* bytes) {
    return bytes[0] == 0xFF && bytes[1] >= 0xE0 && bytes[2] < 0xF0;
}

}  // namespace

MP3Analyzer::MP3Analyzer() {
    analyserType = kType;
}

uint32_t MP3Analyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr)
        return 0;
    if (IsId3v2Header(sector)) {
        info.fileType = kType;
        return 1;
    }
    uint32_t length = 0;
    return IsMpegAudioFrame(sector, length) ? 1 : 0;
}

int MP3Analyzer::AnalyseBufferEx(unsigned char* sector, CRawFileInfo& info, long long sectorSize,
                                 long long sectorNumber, long long windowStart,
                                 long long windowEnd) {
    if (sector == nullptr || sectorSize <= 0)
        return 0;
    if (IsId3v2Header(sector)) {
        info.fileType = kType;
        return 1;
    }
    CMPAHeader header;
    if (!header.Init(sector) || m_lastStartSector != 0)
        return 0;
    const uint32_t first = header.CalcFrameSize();
    if (first < 1 || first > kMaxMpegFrameBytes)
        return 0;
    // A frame of a file already passed may end where this sector starts.
    const long long before = std::max(0LL, sectorNumber - windowStart) * sectorSize;
    if (FollowsAFrame(sector, before, kMostFrameBytesBack, [](const uint8_t* at, uint32_t& length) {
            return IsMpegAudioFrame(at, length);
        })) {
        return 0;
    }
    // Headers are only followed while they lie in the bytes in memory.
    const long long bufferedEnd = windowEnd * sectorSize;
    const long long base = (sectorNumber + 1) * sectorSize;
    if (base + first + 4 > bufferedEnd)
        return 1;
    uint32_t second = 0;
    if (!IsMpegAudioFrame(sector + first, second))
        return 0;
    if (base + first + second + 4 > bufferedEnd)
        return 1;
    uint32_t third = 0;
    if (!IsMpegAudioFrame(sector + first + second, third))
        return 0;
    m_lastStartSector = sectorNumber;
    return 1;
}

CRawFileInfo* MP3Analyzer::CreateRawFileInfo() {
    return new (std::nothrow) MP3RawFileInfo(this);
}

void MP3Analyzer::MP3RawFileInfo::WillBeRemove(unsigned char*, long long) {
    // A record that leaves the stream no longer holds off new candidates.
    if (owner_ != nullptr) {
        owner_->m_lastStartSector = 0;
        analyser = &owner_->fileAnalyser_;
    }
}

int MP3Analyzer::MP3RawFileInfo::Finish() {
    if (owner_ != nullptr)
        owner_->m_lastStartSector = 0;
    return 1;
}

int MP3Analyzer::MP3RawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0 || sectorNumber < startSector)
        return 2;
    if (!started_) {
        started_ = true;
        CMPAHeader header;
        if (IsFrameSync(sector) && header.Init(sector))
            frameMode = 1;
        const int64_t buffered =
            std::max<int64_t>(context.windowEnd - sectorNumber, 1) * sectorSize;
        GatherTagInfo(sector, buffered);
        // The frames of a tagged file mostly follow its tag at once: walked
        // from there they give the file's end exactly, wherever it lies.
        uint32_t tagSize = 0;
        uint32_t length = 0;
        if (IsId3v2Header(sector) && classMp3Search::GetSynchsafeInteger(sector + 6, tagSize) &&
            int64_t{tagSize} + 14 <= buffered && IsMpegAudioFrame(sector + tagSize + 10, length)) {
            frameMode = 1;
            walkedBytes = uint64_t{tagSize} + 10;
        }
        if (GetRawFileName().empty() &&
            !AdjustMp3Health(sector, sectorSize, sectorNumber, context)) {
            return Finish();
        }
    }
    if (frameMode != 0)
        return CalcRawSizeEx(sector, sectorSize, sectorNumber, context);

    const int64_t offset = (sectorNumber - startSector) * sectorSize;
    if (offset + sectorSize > kMostId3Bytes)
        return Finish();
    if (context.trailingZeroBytes < 32 || offset <= minimumSize) {
        lastSector = sectorNumber;
        return 2;
    }
    // The tag may begin in the sector before, while that one is in memory.
    const bool twoSectors =
        sectorNumber < context.windowEnd - 3 && sectorNumber - 1 >= context.windowStart;
    const uint8_t* window = twoSectors ? sector - sectorSize : sector;
    const int windowLength = twoSectors ? 2 * sectorSize : sectorSize;
    int64_t tagEnd = -1;
    bool end =
        FindTagInEndSector(window, windowLength, context.trailingZeroBytes, sectorNumber, tagEnd);
    if (!end) {
        const bool earlier = sector[0] != 0 && sector[0] == sector[1] && sector[0] == sector[2] &&
                             sector[0] == sector[3] && lastSector > context.windowStart &&
                             sectorNumber - 1 >= context.windowStart;
        end = earlier
                  ? FindDuplicateByteCount(sector - 64, sectorSize + 64, context.trailingZeroBytes)
                  : FindDuplicateByteCount(sector, sectorSize, context.trailingZeroBytes);
    }
    lastSector = sectorNumber;
    if (!end)
        return 2;
    // The file ends with its last nonzero byte: what follows is the zeros
    // after it, not part of it.
    size = offset + RawUtility::Binary_Compare(sector, sectorSize);
    if (tagEnd > 0)
        size = offset - (twoSectors ? sectorSize : 0) + tagEnd;
    std::string tagValue;
    RAW_FILE_TAG tag = RAW_FILE_TAG_NONE;
    GetRawFileTagAndValue(tag, tagValue);
    const std::string name = GetRawFileName();
    char text[1024] = {};
    if (name.empty()) {
        std::snprintf(text, sizeof(text), "%lld-%lld_", static_cast<long long>(startSector),
                      sectorNumber);
        SetRawFileName(text);
    } else if (!tagValue.empty() && name.find(tagValue) == std::string::npos) {
        std::snprintf(text, sizeof(text), "%s_%s", tagValue.c_str(), name.c_str());
        SetRawFileName(text);
    }
    return Finish();
}

int MP3Analyzer::MP3RawFileInfo::CalcRawSizeEx(unsigned char* sector, int sectorSize,
                                               long long sectorNumber, SearchContext& context) {
    const int64_t sectorOffset = (sectorNumber - startSector) * sectorSize;
    walkLimit = static_cast<uint64_t>(sectorOffset + sectorSize);
    // A header may begin in the sector before this one (it crossed the end of
    // what was in memory then); that sector is still in memory now.
    const int64_t earliest = sectorNumber - 1 >= context.windowStart ? -4 : 0;
    const bool nextInMemory = sectorNumber + 1 < context.windowEnd;
    int frames = 0;
    while (walkedBytes < walkLimit && frames < kMostFramesPerCall) {
        const int64_t at = static_cast<int64_t>(walkedBytes) - sectorOffset;
        if (at < earliest)
            return Finish();  // the walk fell behind the stream
        if (!nextInMemory && at + 4 > sectorSize)
            return 2;  // read the header once the next sector is here
        uint32_t length = 0;
        if (!IsMpegAudioFrame(sector + at, length))
            break;
        walkedBytes += length;
        ++frames;
    }
    if (walkedBytes >= walkLimit)
        return 2;
    const int64_t at = static_cast<int64_t>(walkedBytes) - sectorOffset;
    // Trailers are looked for in what is in memory: this sector, the next
    // one when it is there, and zeros after the block.
    const Mp3Trailer trailer = FindMp3Trailer(sector + at, 129);
    walkedBytes += trailer.bytes;
    if (trailer.id3v1) {
        const Id3v1Texts texts = ReadId3v1(sector + at, false);
        // A file named by its ID3v2 tag keeps that name.
        if (GetRawFileName().empty()) {
            if (!texts.artist.empty())
                SetRawFileTagAndValue(RAW_FILE_TAG_ARTIST, texts.artist);
            SetRawFileName(texts.artist + "_" + texts.title);
        }
    }
    if (walkedBytes < kLeastWalkedBytes)
        walkedBytes = 0;
    if (walkedBytes != 0) {
        size = static_cast<int64_t>(walkedBytes);
        if (static_cast<uint64_t>(sectorOffset) >= 10 * maximumSize)
            size = static_cast<int64_t>(maximumSize);
        if (GetRawFileName().empty()) {
            char text[1024] = {};
            std::snprintf(text, sizeof(text), "%lld-%lld_", static_cast<long long>(startSector),
                          sectorNumber);
            SetRawFileName(text);
        }
        fileType = kType;
    }
    return Finish();
}

void MP3Analyzer::MP3RawFileInfo::GatherTagInfo(const uint8_t* bytes, int64_t buffered) {
    uint32_t tagSize = 0;
    if (buffered < 10 || !IsId3v2Header(bytes) ||
        !classMp3Search::GetSynchsafeInteger(bytes + 6, tagSize) || tagSize == 0 ||
        tagSize > kMostTagBytes) {
        return;
    }
    std::string artist;
    std::string title;
    for (int64_t at = 10; at < tagSize && at + 10 <= buffered;) {
        const uint8_t* frame = bytes + at;
        const uint32_t frameSize = ReadBE32(frame + 4);
        if (frameSize == 0 || frameSize > kMostTagBytes)
            break;
        // Only the body bytes in memory are read.
        const uint32_t body =
            static_cast<uint32_t>(std::min<int64_t>(frameSize, buffered - at - 10));
        if (std::memcmp(frame, "TPE1", 4) == 0) {
            artist = GetTagValue(frame + 10, body, false);
        } else if (std::memcmp(frame, "TIT2", 4) == 0) {
            title = GetTagValue(frame + 10, body, true);
        } else if (std::memcmp(frame, "TYER", 4) == 0) {
            const std::string year = GetTagValue(frame + 10, body, false);
            if (year.size() > 7)
                timeText = year;
        } else if (std::memcmp(frame, "APIC", 4) == 0) {
            static constexpr uint8_t kJpeg[3] = {0xFF, 0xD8, 0xFF};
            const auto* found = std::search(bytes, bytes + buffered, kJpeg, kJpeg + 3);
            pictureOffset = found != bytes + buffered ? found - bytes : at + 63;
            pictureSize = frameSize;
            minimumSize += static_cast<int32_t>(
                std::min<int64_t>(pictureOffset + pictureSize, INT32_MAX - int64_t{minimumSize}));
        } else if (std::memcmp(frame, "USLT", 4) == 0 && body > 6) {
            const uint8_t* text = frame + 10 + 6;
            const size_t textLength = std::find(text, frame + 10 + body, uint8_t{0}) - text;
            const std::string lyrics(reinterpret_cast<const char*>(text), textLength);
            const size_t open = lyrics.find("[ar:");
            if (open != std::string::npos) {
                const size_t close = lyrics.find(']', open + 4);
                if (close != std::string::npos && close - open <= 1023) {
                    artist = lyrics.substr(open + 4, close - open - 4);
                    if (!artist.empty())
                        SetRawFileTagAndValue(RAW_FILE_TAG_ARTIST, artist);
                }
            }
        }
        at += 10 + int64_t{frameSize};
    }
    minimumSize +=
        static_cast<int32_t>(std::min<int64_t>(tagSize, INT32_MAX - int64_t{minimumSize}));
    if (!artist.empty() || !title.empty()) {
        char text[1024] = {};
        std::snprintf(text, sizeof(text), "%s_%s %lld_", artist.c_str(), title.c_str(),
                      static_cast<long long>(startSector));
        SetRawFileName(text);
        SetRawFileTagAndValue(RAW_FILE_TAG_ARTIST, artist.empty() ? title : artist);
    }
}

std::string MP3Analyzer::MP3RawFileInfo::GetTagValue(const uint8_t* body, uint32_t frameSize,
                                                     bool detect) {
    if (frameSize < 1)
        return std::string();
    const uint8_t encoding = body[0];
    const uint8_t* text = body + 1;
    const size_t length = std::min<size_t>(frameSize - 1, 255);
    switch (encoding) {
        case 3:
            return TagText::replaceChar(reinterpret_cast<const char*>(text), length);
        case 1:
            if (frameSize < 4 || text[0] != 0xFF || text[1] != 0xFE)
                return std::string();
            return TagText::UTF16BE2UTF8(text + 2, length - 2, 1024);
        case 0: {
            const size_t end = std::find(text, text + length, uint8_t{0}) - text;
            const std::string raw(reinterpret_cast<const char*>(text), end);
            if (detect)
                detectedCharset = TagText::decoding(raw);
            const std::string charset =
                !detectedCharset.empty() ? detectedCharset : TagText::decoding(raw);
            std::string out;
            if (!TagText::localdecoding(charset, text, end, out, 1024))
                return TagText::KeepAscii(out);
            return out;
        }
        default:
            return std::string();
    }
}

bool MP3Analyzer::MP3RawFileInfo::AdjustMp3Health(const uint8_t* sector, int sectorSize,
                                                  long long sectorNumber,
                                                  const SearchContext& context) const {
    if (IsId3v2Header(sector))
        return true;
    if (!IsFrameSync(sector))
        return false;
    int64_t next = 0;
    CMPAHeader header;
    if (header.Init(sector) && header.versionIndex != 0) {
        const int64_t length = header.CalcFrameSize();
        const int64_t buffered = int64_t{sectorSize} * (context.windowEnd - sectorNumber);
        if (length < 1 || length > 352799 || length + 4 > buffered)
            return false;
        next = length;
    }
    const uint8_t* second = sector + next;
    CMPAHeader following;
    return second[1] >= 0xE0 && second[2] < 0xF0 && following.Init(second) &&
           following.versionIndex != 0;
}

bool MP3Analyzer::MP3RawFileInfo::FindTagInEndSector(const uint8_t* window, int length,
                                                     uint32_t zeros, long long sectorNumber,
                                                     int64_t& tagEnd) {
    static constexpr unsigned char kTag[] = {'T', 'A', 'G'};
    const int64_t p =
        RawUtility::FindMagicInBuffer(window, length, static_cast<int>(zeros), kTag, 3);
    if (p == 0)
        return false;
    const int64_t found = p - 3;
    // The tag's end is the file's end when the whole tag lies in the window.
    if (found + 128 <= length)
        tagEnd = found + 128;
    if (p > 511)
        return true;
    // Blanks are read as ends of texts; the block buffer feeds other
    // records, so this works on a copy.
    std::vector<uint8_t> copy(window + p, window + length);
    copy.push_back(0);
    for (size_t i = 0; i + 1 + 3 < copy.size(); ++i) {
        if (copy[i] == ' ' && copy[i + 1] == ' ')
            copy[i] = copy[i + 1] = 0;
    }
    const auto* text = reinterpret_cast<const char*>(copy.data());
    const size_t titleLength = std::min<size_t>(std::strlen(text), 1023);
    if (titleLength < 2)
        return true;
    size_t at = titleLength;
    while (at < copy.size() && copy[at] == 0)
        ++at;
    if (at >= copy.size())
        return true;
    const std::string title(text, titleLength);
    const std::string artist(text + at, std::min<size_t>(std::strlen(text + at), 1023));
    if (artist.size() < 4 || !GetRawFileName().empty())
        return true;
    char name[2048] = {};
    std::snprintf(name, sizeof(name), "%s_%s %lld-%lld_", artist.c_str(), title.c_str(),
                  static_cast<long long>(startSector), sectorNumber);
    SetRawFileName(name);
    const std::string cleaned = TagText::replaceChar(artist.c_str(), artist.size());
    if (!cleaned.empty())
        SetRawFileTagAndValue(RAW_FILE_TAG_ARTIST, cleaned);
    return true;
}

bool MP3Analyzer::MP3RawFileInfo::FindDuplicateByteCount(const uint8_t* bytes, int length,
                                                         uint32_t zeros) {
    if (!byteCounts_)
        byteCounts_.reset(new (std::nothrow) uint32_t[256]);
    if (!byteCounts_)
        return false;
    std::fill(byteCounts_.get(), byteCounts_.get() + 256, 0u);
    for (int64_t at = int64_t{length} - zeros; at >= 1; --at) {
        const uint8_t value = bytes[at];
        if (value == 0)
            continue;
        if (byteCounts_[value] >= 64)
            return true;
        ++byteCounts_[value];
    }
    return false;
}

}  // namespace BruteForce
