#include "GifAnalyser.h"

#include <cstring>
#include <new>

#include "StreamWindow.h"

namespace BruteForce {

namespace {

constexpr uint64_t kScreenDescriptorEnd = 13;
constexpr uint64_t kImageDescriptorBytes = 10;

// Bytes of a colour table announced by a packed-fields byte.
uint64_t ColourTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3ULL << ((packed & 7) + 1) : 0;
}

}  // namespace

uint32_t CGifAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr || std::memcmp(sector, "GIF8", 4) != 0 ||
        !((sector[4] == '7' || sector[4] == '9') && sector[5] == 'a')) {
        return 0;
    }
    info.fileType = kType;
    return 1;
}

CRawFileInfo* CGifAnalyser::CreateRawFileInfo() {
    return new (std::nothrow) CGifFileInfo();
}

int CGifAnalyser::CGifFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                            long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0 || sectorNumber < startSector)
        return 2;
    const StreamWindow window(sector, sectorSize, sectorNumber, startSector, context);
    const uint64_t sectorEnd = static_cast<uint64_t>(window.Position() + sectorSize);
    if (firstCall) {
        firstCall = false;
        offset = kScreenDescriptorEnd + ColourTableBytes(sector[10]);
    }
    // Blocks and sub-blocks by their lengths; a length byte is never taken
    // for a block introducer.
    while (offset < sectorEnd) {
        if (offset > static_cast<uint64_t>(kMaxSize)) {
            size = kMaxSize;
            return 1;
        }
        const RawSpan span = window.At(offset);
        if (span.bytes == nullptr)
            return 2;
        const uint8_t byte = span.bytes[0];
        if (inSubBlocks) {
            offset += byte + 1;
            inSubBlocks = byte != 0;
            continue;
        }
        switch (byte) {
            case '!':  // extension: introducer, label, sub-blocks
                offset += 2;
                inSubBlocks = true;
                break;
            case ',':  // image: descriptor, local colour table, code size, sub-blocks
                if (span.count < kImageDescriptorBytes)
                    return 2;
                offset += kImageDescriptorBytes + ColourTableBytes(span.bytes[9]) + 1;
                inSubBlocks = true;
                break;
            case ';':
                size = static_cast<int64_t>(offset + 1);
                return 1;
            default:
                // Not a GIF block: the picture ends where its structure ends.
                size = static_cast<int64_t>(offset);
                return 1;
        }
    }
    return 2;
}

}  // namespace BruteForce
