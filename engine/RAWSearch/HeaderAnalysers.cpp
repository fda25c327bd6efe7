#include "HeaderAnalysers.h"

#include <cstring>

#include "ByteOrder.h"

namespace {

bool Is(const unsigned char* at, const char* text) {
    return std::memcmp(at, text, std::strlen(text)) == 0;
}

bool IsBytes(const unsigned char* at, std::initializer_list<uint8_t> bytes) {
    return std::memcmp(at, bytes.begin(), bytes.size()) == 0;
}

// Matches with the given type and size.
uint32_t Match(CRawFileInfo& info, RAW_FILE_TYPE type, int64_t size) {
    info.fileType = type;
    info.size = size;
    return 1;
}

}  // namespace

uint32_t FileAUAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    const uint32_t dataOffset = ReadBE32(b + 4);
    const uint32_t dataLength = ReadBE32(b + 8);
    const uint32_t encoding = ReadBE32(b + 12);
    const uint32_t channels = ReadBE32(b + 20);
    if (dataOffset < 24 || dataLength == 0xFFFFFFFF || encoding < 1 || encoding > 27 ||
        channels < 1 || channels > 255)
        return 0;
    return Match(info, 9, int64_t{dataOffset} + dataLength);
}

uint32_t FileBMPAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || ReadLE16(b + 6) != 0 || ReadLE16(b + 8) != 0)
        return 0;
    const uint32_t infoHeader = ReadLE32(b + 14);
    if (infoHeader != 40 && infoHeader != 124)
        return 0;
    return Match(info, 11, ReadLE32(b + 2));
}

uint32_t FileCABAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || ReadLE32(b + 4) != 0 || ReadLE32(b + 12) != 0 || ReadLE32(b + 20) != 0 ||
        ReadLE16(b + 24) != 0x0103 || ReadLE32(b + 8) == 0) {
        return 0;
    }
    return Match(info, 12, ReadLE32(b + 8));
}

uint32_t FileCHMAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr uint8_t kGuid[16] = {0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                                          0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};
    if (b == nullptr || ReadLE32(b + 8) != 96 || std::memcmp(b + 24, kGuid, 16) != 0 ||
        b[40] != 0x11 || std::memcmp(b + 41, kGuid + 1, 15) != 0 || ReadLE32(b + 96) != 510 ||
        ReadLE32(b + 112) != 0 || ReadLE32(b + 116) != 0) {
        return 0;
    }
    return Match(info, 14, static_cast<int64_t>(ReadLE64(b + 104)));
}

uint32_t FileEMFAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || !IsBytes(b + 40, {0x20, 0x45, 0x4D, 0x46}) || ReadLE16(b + 58) != 0 ||
        ReadLE32(b + 48) == 0) {
        return 0;
    }
    // The header record fits in the file, which holds it and an end record
    // and is made of whole 32-bit units.
    const uint32_t size = ReadLE32(b + 48);
    const uint32_t headerBytes = ReadLE32(b + 4);
    if (headerBytes < 88 || headerBytes > size || size % 4 != 0 || ReadLE32(b + 52) < 2)
        return 0;
    return Match(info, 26, size);
}

uint32_t FileHLPAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    const uint32_t size = ReadLE32(b + 12);
    if (size < 512 || size < ReadLE32(b + 4))
        return 0;
    return Match(info, 32, size);
}

uint32_t FileICOAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr uint32_t kMostImageBytes = 0xA00000;
    static constexpr int64_t kMostSize = 0x100000;
    if (b == nullptr)
        return 0;
    const uint16_t kind = ReadLE16(b + 2);
    const uint16_t count = ReadLE16(b + 4);
    if ((kind != 1 && kind != 2) || count < 1 || count > 16)
        return 0;
    int64_t size = 6;
    for (uint16_t i = 0; i < count; ++i) {
        const unsigned char* entry = b + 6 + 16 * i;
        if (entry[3] != 0 || ReadLE16(entry + 6) > 256 || ReadLE32(entry + 8) > kMostImageBytes ||
            ReadLE32(entry + 12) > kMostImageBytes) {
            return 0;
        }
        size += int64_t{ReadLE32(entry + 8)} + 16;
    }
    if (size > kMostSize)
        return 0;
    return Match(info, kind == 1 ? 34 : 20, size);
}

uint32_t FileLowDocAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    const int64_t length = int64_t{ReadLE32(b + 292)} + ReadLE16(b + 296);
    return Match(info, 23, (length + 511) / 512 * 512);
}

uint32_t FileMNYAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || !Is(b + 4, "MSISAM Database"))
        return 0;
    return Match(info, 40, 0x100000);
}

uint32_t FileMKVAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    // The EBML header's length: a big-endian number whose first byte's
    // leading zero bits say how many bytes follow.
    const uint8_t first = b[4];
    if (first == 0)
        return 0;
    int extra = 0;
    while ((first & (0x80 >> extra)) == 0)
        ++extra;
    uint64_t value = first & (0x7F >> extra);
    for (int i = 0; i < extra; ++i)
        value = value << 8 | b[5 + i];
    const uint64_t segment = 4 + uint64_t(extra) + 1 + value;
    if (segment > 512 || !IsBytes(b + segment, {0x18, 0x53, 0x80, 0x67}))
        return 0;
    // The segment's length is an 8-byte number whose low half ends 12 bytes in.
    return Match(info, 96, static_cast<int64_t>(segment) + 12 + ReadBE32(b + segment + 8));
}

uint32_t FileMRWAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    // The picture-description block comes first and gives the pixel size.
    if (b == nullptr || !IsBytes(b + 8, {0x00, 'P', 'R', 'D'}) || (b[32] != 12 && b[32] != 16))
        return 0;
    const uint32_t pixels = uint32_t{b[32]} * ReadBE16(b + 24) * ReadBE16(b + 26);
    return Match(info, 102, uint32_t(ReadBE32(b + 4) + pixels / 8 + 8));
}

uint32_t FileITLAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    // The header's own length lies within the file's.
    if (b == nullptr || ReadBE32(b + 8) == 0 || ReadBE32(b + 4) < 16 ||
        ReadBE32(b + 4) > ReadBE32(b + 8))
        return 0;
    return Match(info, 117, ReadBE32(b + 8));
}

uint32_t FileICNSAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    const uint32_t size = ReadBE32(b + 4);
    if (size < 1 || size > 0xA66666)
        return 0;
    return Match(info, 122, size);
}

uint32_t FilePSTAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    // The low half of the stored end of file, where the version puts it.
    int64_t size = 0x100000;
    if (b[10] == 23)
        size = ReadLE32(b + 184);
    else if (b[10] == 14)
        size = ReadLE32(b + 168);
    return Match(info, 56, size);
}

uint32_t FileSWFAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    const bool plain = Is(b, "FWS");
    if ((!plain && !Is(b, "CWS")) || b[3] > 32 || (!plain && b[3] < 6))
        return 0;
    return Match(info, 62, int64_t{ReadLE32(b + 4)} + (plain ? 0 : 8));
}

uint32_t FileTTFAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    static constexpr const char* kTags[] = {"DSIG", "cmap", "glyf", "head", "hhea", "hmtx", "loca",
                                            "maxp", "name", "post", "OS/2", "cvt ", "EBDT", "EBLC",
                                            "EBSC", "fpgm", "gasp", "hdmx", "kern", "LTSH", "prep",
                                            "PCLT", "VDMX", "vhea", "vmtx"};
    if (b == nullptr)
        return 0;
    const uint16_t tables = ReadBE16(b + 4);
    if (tables < 1 || tables > 31)
        return 0;
    int known = 0;
    int64_t size = 12 + 16 * int64_t{tables};
    for (uint16_t i = 0; i < tables; ++i) {
        const unsigned char* record = b + 12 + 16 * i;
        for (const char* tag : kTags) {
            if (std::memcmp(record, tag, 4) == 0) {
                ++known;
                break;
            }
        }
        size += (int64_t{ReadBE32(record + 12)} + 3) / 4 * 4;
    }
    if (2 * known < tables)
        return 0;
    return Match(info, 65, size);
}

uint32_t FileWMFAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr)
        return 0;
    if (ReadLE32(b) == 0x00090001)
        return ReadLE16(b + 16) == 0 ? Match(info, 70, 2 * int64_t{ReadLE32(b + 6)}) : 0;
    if (!IsBytes(b, {0xD7, 0xCD, 0xC6, 0x9A, 0x00, 0x00}))
        return 0;
    uint16_t checksum = 0;
    for (int at = 0; at < 20; at += 2)
        checksum ^= ReadLE16(b + at);
    if (checksum != ReadLE16(b + 20) || ReadLE32(b + 16) != 0 || ReadLE32(b + 22) != 0x00090001 ||
        ReadLE16(b + 38) != 0) {
        return 0;
    }
    return Match(info, 70, 2 * int64_t{ReadLE32(b + 28)} + 22);
}

uint32_t FileWPDAnalyser::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    struct Form {
        uint8_t at8[4];
        uint8_t at14[4];
        RAW_FILE_TYPE type;
    };
    static constexpr Form kForms[] = {
        {{0x01, 0x0A, 0x02, 0x01}, {0x00, 0x02, 0x05, 0x00}, 68},
        {{0x01, 0x16, 0x02, 0x00}, {0x00, 0x00, 0x03, 0x00}, 69},
        {{0x0F, 0x0F, 0x01, 0x00}, {0x00, 0x00, 0x03, 0x00}, 61},
    };
    if (b == nullptr)
        return 0;
    for (const Form& form : kForms) {
        if (std::memcmp(b + 8, form.at8, 4) == 0 && std::memcmp(b + 14, form.at14, 4) == 0)
            return Match(info, form.type, ReadLE32(b + 20));
    }
    return 0;
}
