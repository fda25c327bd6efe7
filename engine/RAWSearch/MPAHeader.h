#pragma once

#include <cstdint>
#include <string>

// One MPEG audio frame header (MPEG 1, 2 and 2.5, Layers I to III).
class CMPAHeader {
public:
    // Decodes the four header bytes (the sync byte is not looked at); false
    // for reserved or free-format fields.
    bool Init(const uint8_t* header);
    // Length of the frame in bytes, header included.
    uint32_t CalcFrameSize() const;

    bool lsf = false;           // MPEG 2 or 2.5
    uint32_t versionIndex = 0;  // 0 MPEG 2.5, 2 MPEG 2, 3 MPEG 1
    uint32_t layerIndex = 0;    // 0 Layer I, 1 Layer II, 2 Layer III
    uint32_t emphasis = 0;
    uint32_t channelMode = 0;
    uint32_t samplingRate = 0;  // Hz
    uint32_t samplesPerFrame = 0;
    uint32_t bitrate = 0;  // bit/s
    uint32_t padding = 0;
    uint16_t intensityStereoBound = 0;
    uint8_t crcProtected = 0;
    uint8_t modeExtension = 0;

    static const uint32_t m_dwSamplingRates[4][3];
    static const uint32_t m_dwBitrates[2][3][15];
    static const uint32_t m_dwSamplesPerFrames[2][3];
    static const uint32_t m_dwCoefficients[2][3];
    static const uint32_t m_dwSlotSizes[3];
    static const bool m_bAllowedModes[15][2];
};

// The longest frame length accepted as MPEG audio.
constexpr uint32_t kMaxMpegFrameBytes = 352800;

// An ID3v2 tag of version 3 or 4 starts at `bytes`.
inline bool IsId3v2Header(const uint8_t* bytes) {
    return bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3' &&
           (bytes[3] == 3 || bytes[3] == 4);
}

// The frame at `header` decodes and is 1 to `kMaxMpegFrameBytes` long; its length
// goes to `length`. Byte 0 must be FF, byte 1 at least E0, byte 2 below F0.
bool IsMpegAudioFrame(const uint8_t* header, uint32_t& length);

namespace classMp3Search {
// b0<<21 | b1<<14 | b2<<7 | b3, or false when a byte has its top bit set.
bool GetSynchsafeInteger(const uint8_t* bytes, uint32_t& value);
}  // namespace classMp3Search

// What may follow the last frame of an MP3: an ID3v1 tag ("TAG", 128 bytes),
// an APE tag of version 2000 (260 bytes) or an ID3v1 tag a little further on.
struct Mp3Trailer {
    uint64_t bytes = 0;  // bytes the trailer adds to the file
    bool id3v1 = false;  // "TAG" right after the last frame
};
// `bytes` is where the frames stopped; `lookahead` (at least 3) bytes may be
// searched for a later "TAG", and 260 bytes must be readable.
Mp3Trailer FindMp3Trailer(const uint8_t* bytes, uint32_t lookahead);

// Title, artist and year of the ID3v1 tag at `tag` ("TAG"), converted from
// the character set detected for the title. When none is detected the texts
// stay as they are, or are emptied when `emptyWhenUndetected`.
struct Id3v1Texts {
    std::string title;
    std::string artist;
    std::string year;
};
Id3v1Texts ReadId3v1(const uint8_t* tag, bool emptyWhenUndetected);
