#include "FileJPGAnalyser.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ExifReader.h"
#include "JpegAnalyzer.h"
#include "JpegWalk.h"
#include "RawFileBuffer.h"

namespace {

bool EndsInZeros(const uint8_t* sector, uint32_t sectorSize, uint32_t count) {
    for (uint32_t i = sectorSize - count; i < sectorSize; ++i) {
        if (sector[i] != 0)
            return false;
    }
    return true;
}

// The end of a picture whose structure was lost at `from`: the first
// sector ending in FF D9, or the FF D9 before a sector's zero tail.
uint64_t EndSearch(RawFileBuffer& reader, uint64_t from, uint64_t limit) {
    const uint32_t sectorSize = reader.GetSectorSize();
    uint64_t offset = from;
    while (offset < limit) {
        const uint64_t sectorStart = offset / sectorSize * sectorSize;
        const uint8_t* sector = reader.GetRawFileBuffer(sectorStart);
        if (sector == nullptr)
            return offset;
        if (sector[sectorSize - 2] == 0xFF && sector[sectorSize - 1] == 0xD9)
            return sectorStart + sectorSize;
        if (EndsInZeros(sector, sectorSize, 6)) {
            for (uint64_t i = offset - sectorStart; i + 3 <= sectorSize; ++i) {
                if (sector[i] == 0xFF && sector[i + 1] == 0xD9)
                    return sectorStart + i + 2;
            }
            // The FF was the previous sector's last byte.
            if (offset == sectorStart && std::memcmp(sector, "\xD9\0\0\0", 4) == 0)
                return offset + 1;
        }
        offset = sectorStart + sectorSize;
    }
    return limit;
}

}  // namespace

uint32_t FileJPGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* header = reader.GetRawFileBuffer(0);
    if (header == nullptr || header[0] != 0xFF || header[1] != 0xD8 || header[2] != 0xFF)
        return 0;
    const bool jfif = std::memcmp(header + 6, "JFIF", 4) == 0;
    if (!jfif && BruteForce::HasJpegIdentifier(header) && std::memcmp(header + 6, "Exif", 4) != 0)
        return 0;  // an identifier in the wrong case
    const bool identified = BruteForce::HasJpegIdentifier(header);
    const uint64_t limit = jfif ? kJfifLimit : kLimit;

    JpegWalk walk;
    const auto read = [&reader](uint64_t offset) {
        const uint8_t* bytes = reader.GetRawFileBuffer(offset);
        return bytes == nullptr ? RawSpan{} : RawSpan{bytes, reader.BytesReadableAt(offset)};
    };
    JpegWalk::Step step = walk.Advance(read, limit);
    if (walk.exifAt != 0) {
        const RawSpan block = read(walk.exifAt);
        tag_ExifInfo exif;
        CExifReader exifReader;
        exifReader.SetExitInfo(&exif);
        if (block.bytes != nullptr &&
            exifReader.EXIF_process_EXIF(block.bytes, 0, block.bytes, walk.exifLength,
                                         block.count) == 1) {
            const bool oddModel = std::strchr(exif.cameraModel, '<') != nullptr;
            info.SetRawFileName(oddModel ? exif.cameraMake : exif.cameraModel);
            info.timeText = exif.dateTime;
        }
    }
    // A frame the picture cannot have: 8-bit samples, and colour without an
    // identifier.
    if (walk.sofSeen && (walk.precision != 8 || (!identified && walk.sofComponents != 3)))
        return 0;

    uint64_t size = 0;
    switch (step) {
        case JpegWalk::Step::kEnd:
            size = walk.end;
            break;
        case JpegWalk::Step::kLost:
            // Structure lost inside the data: look for the end marker as a
            // picture's zero-padded last sector shows it.
            if (!walk.sofSeen && !walk.sosBeforeSof)
                return 0;
            size = EndSearch(reader, walk.offset, limit);
            break;
        case JpegWalk::Step::kMore:
            // The limit reached, or the device ended or failed inside the data.
            if (walk.offset < limit && !walk.inScan)
                return 0;
            size = std::min(walk.offset, limit);
            break;
    }
    if (size == 0)
        return 0;
    info.size = static_cast<int64_t>(std::min(size, reader.GetBytesToDeviceEnd()));
    info.fileType = BruteForce::JpegAnalyzer::kType;
    return 1;
}
