#include "SearchSignFileAnalyser.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "RawFileBuffer.h"

int64_t Apimemstr(const uint8_t* bytes, int64_t length, const uint8_t* pattern,
                  int64_t patternLength) {
    if (bytes == nullptr || pattern == nullptr || length < 1 || patternLength < 1 ||
        length < patternLength) {
        return -1;
    }
    const uint8_t* end = bytes + length;
    const auto* found = std::search(bytes, end, pattern, pattern + patternLength);
    return found == end ? -1 : found - bytes;
}

namespace {

void ChangeCase(char* text, uint32_t length, bool upper) {
    for (uint32_t i = 0; i < length; ++i) {
        char& c = text[i];
        if (upper && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (!upper && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
}

// Looks for the signature across the seam with the previous sector: in the
// 2 x length bytes from `length` before `position`.
bool FoundAtSeam(RawFileBuffer& reader, uint64_t position, const SearchSignCodeInfo& request) {
    const uint64_t from = position >= request.length ? position - request.length : position;
    const uint8_t* bytes = reader.GetRawFileBuffer(from);
    if (bytes == nullptr)
        return false;
    return Apimemstr(bytes, int64_t{request.length} * 2,
                     reinterpret_cast<const uint8_t*>(request.signature), request.length) >= 0;
}

}  // namespace

int SearchSignFileAnalyser::SearchEndSignCode(CRawFileInfo& info, IStorageDevice* device,
                                              SearchSignCodeInfo& request, int exactCase) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 1;
    request.length = std::min<uint32_t>(request.length, sizeof(request.signature) - 1);
    const auto* signature = reinterpret_cast<const uint8_t*>(request.signature);
    const uint64_t limit =
        request.maxSearchLength != 0 ? request.maxSearchLength : SearchSignCodeInfo::kDefaultLimit;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint32_t sectorSize = reader.GetSectorSize();
    std::vector<uint8_t> sector(sectorSize);

    uint64_t position = 0;
    while (position <= limit) {
        const uint8_t* bytes = reader.GetRawFileBuffer(position);
        if (bytes == nullptr)
            break;
        // The seam test may load another window: keep the sector's own copy.
        std::memcpy(sector.data(), bytes, sectorSize);
        if (sector[sectorSize - 1] != 0 || sector[sectorSize - 2] != 0) {
            position += sectorSize;
            continue;
        }
        if (exactCase != 0) {
            const int64_t at = Apimemstr(sector.data(), sectorSize, signature, request.length);
            if (at >= 0) {
                info.size = static_cast<int64_t>(position) + at + request.length;
                return 1;
            }
            const bool tailZero =
                std::all_of(sector.end() - 8, sector.end(), [](uint8_t b) { return b == 0; });
            const bool seam = FoundAtSeam(reader, position, request);
            if (seam || tailZero) {
                info.size = static_cast<int64_t>(position + (seam ? request.length : 0));
                return 1;
            }
        } else {
            for (bool upper : {false, true}) {
                ChangeCase(request.signature, request.length, upper);
                const int64_t at = Apimemstr(sector.data(), sectorSize, signature, request.length);
                if (at >= 0) {
                    info.size = static_cast<int64_t>(position) + at + request.length;
                    return 1;
                }
            }
            // Across the seam both spellings are tried too, the upper one last.
            for (bool upper : {false, true}) {
                ChangeCase(request.signature, request.length, upper);
                if (FoundAtSeam(reader, position, request)) {
                    info.size = static_cast<int64_t>(position + request.length);
                    return 1;
                }
            }
        }
        position += sectorSize;
    }
    info.size = static_cast<int64_t>(std::min(position, reader.GetBytesToDeviceEnd()));
    return 1;
}
