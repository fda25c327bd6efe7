#include "MPAHeader.h"

#include <cstring>

#include "RawFileTypes.h"
#include "TagText.h"

const uint32_t CMPAHeader::m_dwSamplingRates[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

const uint32_t CMPAHeader::m_dwBitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};

const uint32_t CMPAHeader::m_dwSamplesPerFrames[2][3] = {{384, 1152, 1152}, {384, 1152, 576}};
const uint32_t CMPAHeader::m_dwCoefficients[2][3] = {{12, 144, 144}, {12, 144, 72}};
const uint32_t CMPAHeader::m_dwSlotSizes[3] = {4, 1, 1};

// Layer II of MPEG 1: [bitrate index][0 stereo modes, 1 mono].
const bool CMPAHeader::m_bAllowedModes[15][2] = {
    {true, true},  {false, true}, {false, true}, {false, true}, {true, true},
    {false, true}, {true, true},  {true, true},  {true, true},  {true, true},
    {true, true},  {true, false}, {true, false}, {true, false}, {true, false}};

bool CMPAHeader::Init(const uint8_t* header) {
    versionIndex = (header[1] >> 3) & 3;
    if (versionIndex == 1)
        return false;
    lsf = versionIndex != 3;
    const uint32_t layerBits = (header[1] >> 1) & 3;
    if (layerBits == 0)
        return false;
    layerIndex = layerBits ^ 3;
    crcProtected = (header[1] & 1) == 0;
    const uint32_t bitrateIndex = header[2] >> 4;
    if (bitrateIndex == 15)
        return false;
    bitrate = m_dwBitrates[lsf][layerIndex][bitrateIndex] * 1000;
    if (bitrate == 0)
        return false;
    const uint32_t samplingIndex = (header[2] >> 2) & 3;
    if (samplingIndex == 3)
        return false;
    samplingRate = m_dwSamplingRates[versionIndex][samplingIndex];
    padding = (header[2] >> 1) & 1;
    channelMode = header[3] >> 6;
    modeExtension = (header[3] >> 4) & 3;
    emphasis = header[3] & 3;
    if (emphasis == 2)
        return false;
    if (!lsf && layerIndex == 1 && !m_bAllowedModes[bitrateIndex][channelMode == 3 ? 1 : 0])
        return false;
    samplesPerFrame = m_dwSamplesPerFrames[lsf][layerIndex];
    intensityStereoBound = channelMode == 1 ? static_cast<uint16_t>(modeExtension * 4 + 4) : 0;
    return true;
}

uint32_t CMPAHeader::CalcFrameSize() const {
    if (samplingRate == 0)
        return 0;
    const uint32_t coefficient = m_dwCoefficients[lsf][layerIndex];
    return (coefficient * bitrate / samplingRate + padding) * m_dwSlotSizes[layerIndex];
}

bool IsMpegAudioFrame(const uint8_t* header, uint32_t& length) {
    if (header[0] != 0xFF || header[1] < 0xE0 || header[2] >= 0xF0)
        return false;
    CMPAHeader decoded;
    if (!decoded.Init(header))
        return false;
    length = decoded.CalcFrameSize();
    return length >= 1 && length <= kMaxMpegFrameBytes;
}

namespace classMp3Search {
bool GetSynchsafeInteger(const uint8_t* bytes, uint32_t& value) {
    if (bytes == nullptr || ((bytes[0] | bytes[1] | bytes[2] | bytes[3]) & 0x80) != 0)
        return false;
    value =
        uint32_t{bytes[0]} << 21 | uint32_t{bytes[1]} << 14 | uint32_t{bytes[2]} << 7 | bytes[3];
    return true;
}
}  // namespace classMp3Search

Mp3Trailer FindMp3Trailer(const uint8_t* bytes, uint32_t lookahead) {
    Mp3Trailer trailer;
    if (std::memcmp(bytes, "TAG", 3) == 0) {
        trailer.bytes = 128;
        trailer.id3v1 = true;
    } else if (std::memcmp(bytes, "APETAGEX", 8) == 0 && bytes[8] == 0xD0) {
        trailer.bytes = 260;
    } else {
        for (uint32_t k = 1; k + 3 <= lookahead; ++k) {
            if (std::memcmp(bytes + k, "TAG", 3) == 0) {
                trailer.bytes = 128 + k;
                break;
            }
        }
    }
    return trailer;
}

namespace {
// One ID3v1 field: its bytes up to a zero byte.
std::string Field(const uint8_t* bytes, size_t length) {
    size_t end = 0;
    while (end < length && bytes[end] != 0)
        ++end;
    return std::string(reinterpret_cast<const char*>(bytes), end);
}
}  // namespace

Id3v1Texts ReadId3v1(const uint8_t* tag, bool emptyWhenUndetected) {
    Id3v1Texts texts;
    const std::string title = Field(tag + 3, 30);
    const std::string artist = Field(tag + 33, 30);
    texts.year = Field(tag + 93, 4);
    const std::string charset = TagText::decoding(title);
    auto convert = [&](const std::string& field) {
        if (charset.empty())
            return emptyWhenUndetected ? std::string() : field;
        std::string out;
        const auto* in = reinterpret_cast<const uint8_t*>(field.data());
        if (!TagText::localdecoding(charset, in, field.size(), out, 40))
            return TagText::KeepAscii(out);
        return out;
    };
    texts.title = convert(title);
    texts.artist = convert(artist);
    texts.title =
        ApiStrFilterBadFileName(TagText::replaceChar(texts.title.c_str(), texts.title.size()));
    texts.artist =
        ApiStrFilterBadFileName(TagText::replaceChar(texts.artist.c_str(), texts.artist.size()));
    return texts;
}
