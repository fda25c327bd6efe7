#include "PNGAnalyser.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "FilePNGAnalyser.h"

namespace ZizEdoza {

namespace {

// Length and type of a chunk header.
constexpr int64_t kChunkHeaderBytes = 8;

}  // namespace

PNGAnalyser::PNGAnalyser() : headerAnalyser_(new FilePNGAnalyser()) {
    analyserType = kType;
}

PNGAnalyser::~PNGAnalyser() {
    delete headerAnalyser_;
    headerAnalyser_ = nullptr;
}

uint32_t PNGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr)
        return 0;
    static constexpr unsigned char kSignatureTail[4] = {0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(sector + 4, kSignatureTail, 4) != 0)
        return 0;
    info.fileType = kType;
    return 1;
}

CRawFileInfo* PNGAnalyser::CreateRawFileInfo() {
    auto* record = new (std::nothrow) PNGRawFileInfo(headerAnalyser_);
    if (record != nullptr)
        record->fileType = kType;
    return record;
}

void PNGAnalyser::PNGRawFileInfo::WillBeRemove(unsigned char*, long long) {
    analyser = headerAnalyser_;
}

int PNGAnalyser::PNGRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const int64_t offset = (sectorNumber - startSector) * sectorSize;
    if (offset > maxSize)
        return 1;
    if (nextChunkOffset <= offset && !deferred_)
        return 2;
    deferred_ = false;
    // Bytes past this sector are only there while the next sector is in memory.
    const bool lastInMemory = sectorNumber + 1 >= context.windowEnd;
    for (;;) {
        if (nextChunkOffset > offset + sectorSize)
            return 2;
        if (headerPending) {
            nextChunkOffset += ReadBE32(sector + 8);
            headerPending = false;
            if (nextChunkOffset > offset)
                continue;
            return 2;
        }
        const int64_t at = nextChunkOffset - offset;
        if (lastInMemory && at + kChunkHeaderBytes > sectorSize) {
            deferred_ = true;
            return 2;
        }
        const unsigned char* chunk = sector + at;
        if (context.windowEnd > sectorNumber && std::memcmp(chunk + 4, "IEND", 4) == 0) {
            nextChunkOffset += int64_t{ReadBE32(chunk)} + 12;
            size = nextChunkOffset;
            char name[1024] = {};
            std::snprintf(name, sizeof(name), "%lld-%lld_", static_cast<long long>(startSector),
                          sectorNumber);
            SetRawFileName(name);
            return 1;
        }
        nextChunkOffset += int64_t{ReadBE32(chunk)} + 12;
        if (nextChunkOffset <= offset)
            return 2;
    }
}

}  // namespace ZizEdoza
