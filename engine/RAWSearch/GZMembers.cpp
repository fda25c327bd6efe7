#include "GZMembers.h"

#include <zlib.h>

#include <algorithm>
#include <cassert>
#include <string>

#include "ByteOrder.h"
#include "RawFileBuffer.h"
#include "RawUtility.h"

namespace {

constexpr size_t kScratchBytes = 16384;
constexpr int kGzipWindowBits = 16 + MAX_WBITS;  // gzip header and trailer checked too

bool ZeroTail(const unsigned char* sector, uint32_t sectorSize) {
    return std::all_of(sector + sectorSize - 8, sector + sectorSize,
                       [](unsigned char b) { return b == 0; });
}

}  // namespace

GzipStreamEnd::GzipStreamEnd() : stream_(std::make_unique<z_stream_s>()) {
    *stream_ = z_stream_s{};
}

GzipStreamEnd::~GzipStreamEnd() {
    if (ready_)
        inflateEnd(stream_.get());
}

GzipStreamEnd::Result GzipStreamEnd::Feed(const unsigned char* bytes, int64_t length,
                                          int64_t& used) {
    used = 0;
    if (broken_)
        return Result::Broken;
    if (!ready_) {
        scratch_.resize(kScratchBytes);
        if (inflateInit2(stream_.get(), kGzipWindowBits) != Z_OK) {
            broken_ = true;
            return Result::Broken;
        }
        ready_ = true;
    }
    z_stream_s& z = *stream_;
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = static_cast<uInt>(length);
    for (;;) {
        z.next_out = scratch_.data();
        z.avail_out = static_cast<uInt>(scratch_.size());
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            used = length - z.avail_in;
            return Result::End;
        }
        if (status == Z_BUF_ERROR || (status == Z_OK && z.avail_in == 0 && z.avail_out != 0))
            return Result::More;
        if (status != Z_OK) {
            broken_ = true;
            return Result::Broken;
        }
    }
}

bool IsValidGzHeader(const unsigned char* header) {
    return header[0] == 0x1F && header[1] == 0x8B && header[2] == 0x08 && header[3] < 32;
}

namespace ZizEdoza {

GZAnalyzer::GZAnalyzer() : StreamingAnalyser(kType, new FileGZAnalyser()) {}

uint32_t GZAnalyzer::AnalyseBuffer(unsigned char* b, CRawFileInfo& info) {
    if (b == nullptr || !IsValidGzHeader(b))
        return 0;
    return Match(info);
}

int GZAnalyzer::GZRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                           long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 2;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset > kMaxSize)
        return Finish(offset, sectorNumber);
    // A skipped sector leaves a gap the stream cannot cross.
    if (nextSector_ >= 0 && sectorNumber != nextSector_)
        inflating_ = false;
    nextSector_ = sectorNumber + 1;
    if (inflating_) {
        int64_t used = 0;
        switch (stream_.Feed(sector, sectorSize, used)) {
            case GzipStreamEnd::Result::End:
                return Finish(offset + used, sectorNumber);
            case GzipStreamEnd::Result::More:
                return 2;
            case GzipStreamEnd::Result::Broken:
                inflating_ = false;
                break;
        }
    }
    // A damaged stream ends, as text does, in the first sector ending in
    // zeros; one byte more for the trailer's high byte.
    if (context.trailingZeroBytes < 8)
        return 2;
    return Finish(offset + BruteForce::RawUtility::Binary_Compare(sector, sectorSize) + 1,
                  sectorNumber);
}

}  // namespace ZizEdoza

uint32_t FileGZAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint32_t sectorSize = reader.GetSectorSize();
    const uint8_t* header = reader.GetRawFileBuffer(0);
    if (header == nullptr || !IsValidGzHeader(header))
        return 0;
    // The optional fields: extra data, the stored name, a comment, a CRC.
    const uint8_t flags = header[3];
    uint64_t position = 10;
    if (flags & 4) {
        const uint8_t* extra = reader.GetRawFileBuffer(position);
        if (extra == nullptr)
            return 0;
        position += 2 + uint64_t{ReadLE16(extra)};
    }
    if (flags & 8) {
        std::string name;
        for (const uint8_t* c; name.size() < 1024; ++position) {
            if ((c = reader.GetRawFileBuffer(position)) == nullptr || *c == 0)
                break;
            name.push_back(static_cast<char>(*c));
        }
        info.SetRawFileName(name);
    }

    GzipStreamEnd stream;
    for (uint64_t offset = 0; offset <= kCap; offset += sectorSize) {
        const uint8_t* sector = reader.GetRawFileBuffer(offset);
        if (sector == nullptr)
            break;
        int64_t used = 0;
        const auto result = stream.Feed(sector, sectorSize, used);
        if (result == GzipStreamEnd::Result::End) {
            info.size = static_cast<int64_t>(offset) + used;
            return 1;
        }
        if (result == GzipStreamEnd::Result::Broken)
            break;
    }

    // A damaged member: from the sector after the header, it ends with the
    // first sector whose last bytes are zero.
    uint64_t offset = (position + sectorSize) / sectorSize * sectorSize;
    for (; offset <= kCap; offset += sectorSize) {
        const uint8_t* sector = reader.GetRawFileBuffer(offset);
        if (sector == nullptr)
            break;
        if (ZeroTail(sector, sectorSize)) {
            offset += sectorSize;
            break;
        }
    }
    info.size =
        static_cast<int64_t>(std::min({offset, uint64_t{kCap}, reader.GetBytesToDeviceEnd()}));
    return info.size > 0 ? 1 : 0;
}
