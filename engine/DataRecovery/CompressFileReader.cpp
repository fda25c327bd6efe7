#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "ByteOrder.h"
#include "DataRunList.h"
#include "EngineLog.h"
#include "FileNode.h"
#include "FileReader.h"
#include "Progress.h"
#include "StorageDevice.h"

#define LOG_FAILURE(function) CatchExeception::WriteLog("%s %d\r\n", function, __LINE__)

namespace {

constexpr uint32_t kChunkBytes = 0x1000;

// Walks an extent list as 16-cluster compression units, one at a time, so
// that no allocation depends on the extent counts stored on disk.
class UnitWalker {
public:
    explicit UnitWalker(IDataRunList* runs) : runs_(runs) {
        run_ = runs_ != nullptr ? runs_->GetFirst() : nullptr;
    }

    // The next unit's pieces, typed; false when the extents are used up.
    bool Next(std::vector<tagCompressDataRun>& unit) {
        unit.clear();
        uint32_t filled = 0;
        while (filled < CCompressFileReader::kUnitClusters && run_ != nullptr) {
            if (taken_ >= run_->clusterCount) {
                run_ = runs_->GetNext();
                taken_ = 0;
                continue;
            }
            if (run_->firstCluster >= 0 &&
                taken_ > static_cast<uint64_t>(INT64_MAX - run_->firstCluster)) {
                run_ = nullptr;  // a damaged count: no cluster lies beyond the last number
                break;
            }
            const uint64_t take = std::min<uint64_t>(run_->clusterCount - taken_,
                                                     CCompressFileReader::kUnitClusters - filled);
            tagCompressDataRun piece;
            piece.s64LCN = run_->firstCluster < 0 ? -1 : run_->firstCluster + int64_t(taken_);
            piece.u32ClusterCount = static_cast<uint32_t>(take);
            unit.push_back(piece);
            filled += piece.u32ClusterCount;
            taken_ += take;
        }
        if (unit.empty())
            return false;
        const tagCompressDataRun& last = unit.back();
        uint32_t type = NONECOMPRESSED_UNIT;
        if (filled == CCompressFileReader::kUnitClusters && last.s64LCN < 0) {
            type = unit.size() == 1 ? SPARSE_UNIT : COMPRESSED_UNIT;
        }
        for (tagCompressDataRun& piece : unit) {
            piece.eType = type;
            // In an unfinished last unit the sparse pieces count as compressed.
            if (filled < CCompressFileReader::kUnitClusters && piece.s64LCN < 0) {
                piece.eType = COMPRESSED_UNIT;
            }
        }
        return true;
    }

private:
    IDataRunList* runs_;
    DataRun* run_ = nullptr;
    uint64_t taken_ = 0;
};

// One compressed chunk into at most 4 KiB; answers the bytes produced.
uint32_t DecodeChunk(const unsigned char* in, uint32_t inLength, unsigned char* out,
                     uint32_t capacity) {
    const uint32_t limit = std::min(capacity, kChunkBytes);
    uint32_t produced = 0;
    uint32_t p = 0;
    while (p < inLength && produced < limit) {
        const uint8_t flags = in[p++];
        for (int bit = 0; bit < 8 && p < inLength && produced < limit; ++bit) {
            if ((flags & (1 << bit)) == 0) {
                out[produced++] = in[p++];
                continue;
            }
            if (p + 2 > inLength)
                return produced;
            const uint16_t token = ReadLE16(in + p);
            p += 2;
            // The split between offset and length bits moves with the output position.
            uint32_t lengthMask = 0xFFF;
            uint32_t offsetShift = 12;
            for (uint32_t i = produced == 0 ? 0 : produced - 1; i >= 0x10; i >>= 1) {
                lengthMask >>= 1;
                --offsetShift;
            }
            const uint32_t offset = (token >> offsetShift) + 1u;
            const uint32_t length = (token & lengthMask) + 3u;
            // A reference reaching before the chunk's start yields zeros.
            const bool inside = offset <= produced;
            for (uint32_t k = 0; k < length && produced < limit; ++k, ++produced) {
                out[produced] = inside ? out[produced - offset] : 0;
            }
        }
    }
    return produced;
}

}  // namespace

uint32_t CCompressFileReader::DecodeLznt1Unit(const unsigned char* input, uint32_t inputLength,
                                              unsigned char* output, uint32_t capacity) {
    uint32_t produced = 0;
    uint32_t p = 0;
    while (produced < capacity && p + 2 <= inputLength) {
        const uint16_t header = ReadLE16(input + p);
        if (header == 0)
            break;
        const uint32_t chunkLength = (header & 0xFFF) + 3u;  // header included
        const uint32_t available = std::min(chunkLength, inputLength - p) - 2;
        const unsigned char* data = input + p + 2;
        if ((header & 0x8000) != 0) {
            produced += DecodeChunk(data, available, output + produced, capacity - produced);
        } else {
            const uint32_t stored =
                std::min({(header & 0xFFFu) + 1u, available, capacity - produced});
            std::memcpy(output + produced, data, stored);
            produced += stored;
        }
        p += chunkLength;
    }
    return produced;
}

std::vector<tagCompressDataRun> CCompressFileReader::ReGroupCompressDataRunList(
    IDataRunList* runs) {
    std::vector<tagCompressDataRun> pieces;
    std::vector<tagCompressDataRun> unit;
    UnitWalker walker(runs);
    while (walker.Next(unit))
        pieces.insert(pieces.end(), unit.begin(), unit.end());
    return pieces;
}

CCompressFileReader::~CCompressFileReader() {
    if (m_pOutput != nullptr)
        fclose(m_pOutput);
}

IFileReader* CCompressFileReader::Clone() {
    auto* copy = new (std::nothrow) CCompressFileReader();
    if (copy == nullptr)
        return nullptr;
    static_cast<CFileReader&>(*copy) = *this;
    copy->m_pProgress = m_pProgress;
    copy->m_pMemory = m_pMemory;
    copy->m_u32MemoryCapacity = m_u32MemoryCapacity;
    copy->m_u32MemoryWritten = m_u32MemoryWritten;
    copy->m_u32MemoryMode = m_u32MemoryMode;
    return copy;
}

bool CCompressFileReader::Recovery(const char* path, IProgress* progress, bool& resident) {
    if (path == nullptr || m_pDataRunList == nullptr) {
        LOG_FAILURE("Recovery");
        return false;
    }
    if (m_pDataRunList->IsResident()) {
        resident = true;
        return true;
    }
    resident = false;
    m_iOutputError = 0;
    m_pOutput = fopen(path, "wbe");
    if (m_pOutput == nullptr) {
        m_iOutputError = errno;
        LOG_FAILURE("Recovery");
        return false;
    }
    struct stat status {};
    const bool regular = fstat(fileno(m_pOutput), &status) == 0 && S_ISREG(status.st_mode);
    m_pProgress = progress;
    m_u32MemoryMode = 0;
    bool ok = DeCompressFile(m_pDataRunList, m_s64FileSize);
    // What the stream still buffers is written here: a full destination may show only now.
    if (fclose(m_pOutput) != 0) {
        if (m_iOutputError == 0)
            m_iOutputError = errno;
        ok = false;
    }
    m_pOutput = nullptr;
    // A file cut short must not pass for the decoded file; a device given as
    // the destination is left alone.
    if (!ok && regular)
        unlink(path);
    return ok;
}

bool CCompressFileReader::Recovery(char* buffer, int capacity, IProgress* progress) {
    if (buffer == nullptr || capacity <= 0 || m_pDataRunList == nullptr)
        return false;
    m_pMemory = buffer;
    m_u32MemoryCapacity = static_cast<uint32_t>(capacity);
    m_u32MemoryWritten = 0;
    m_u32MemoryMode = 1;
    m_pProgress = progress;
    const bool ok = DeCompressFile(m_pDataRunList, std::min<int64_t>(m_s64FileSize, capacity));
    m_u32MemoryMode = 0;
    return ok;
}

bool CCompressFileReader::DeCompressFile(IDataRunList* runs, int64_t size) {
    if (runs == nullptr || size < 0)
        return false;
    IDataRunList* own = m_pDataRunList;
    m_pDataRunList = runs;
    const bool ok = RecoverCompressFile(0, size);
    m_pDataRunList = own;
    return ok;
}

uint32_t CCompressFileReader::ReadData(int64_t offset, char* buffer, uint32_t length) {
    if (buffer == nullptr || offset < 0 || offset >= m_s64FileSize)
        return 0;
    const int64_t count = std::min<int64_t>(length, m_s64FileSize - offset);
    m_pMemory = buffer;
    m_u32MemoryCapacity = static_cast<uint32_t>(count);
    m_u32MemoryWritten = 0;
    m_u32MemoryMode = 1;
    const bool ok = RecoverCompressFile(offset, count);
    m_u32MemoryMode = 0;
    if (ok)
        return m_u32MemoryWritten;
    int delivered = 0;
    if (!Read(offset, reinterpret_cast<unsigned char*>(buffer), static_cast<int>(count), delivered,
              nullptr)) {
        return 0;
    }
    return static_cast<uint32_t>(delivered);
}

bool CCompressFileReader::ReadClusters(int64_t firstCluster, uint32_t clusters,
                                       unsigned char* buffer) {
    if (m_pDevice == nullptr)
        return false;
    const int64_t bytes = int64_t{clusters} * m_u32ClusterSize;
    if (firstCluster <= 0) {
        // Cannot happen on a sound volume; such a piece reads as zeros.
        std::memset(buffer, 0, static_cast<size_t>(bytes));
        return true;
    }
    int64_t sector = 0;
    if (__builtin_mul_overflow(firstCluster, int64_t{m_u32SectorsPerCluster}, &sector) ||
        __builtin_add_overflow(sector, m_s64FirstDataSector, &sector)) {
        return false;
    }
    return ReadBytesAt(sector, 0, buffer, bytes);
}

bool CCompressFileReader::Emit(const unsigned char* data, uint32_t length) {
    if (m_u32MemoryMode != 0) {
        if (m_u32MemoryWritten >= m_u32MemoryCapacity)
            return true;
        const uint32_t room = std::min(length, m_u32MemoryCapacity - m_u32MemoryWritten);
        std::memcpy(m_pMemory + m_u32MemoryWritten, data, room);
        m_u32MemoryWritten += room;
        return true;
    }
    if (m_pOutput == nullptr)
        return false;
    if (fwrite(data, 1, length, m_pOutput) != length) {
        m_iOutputError = errno;
        return false;
    }
    return true;
}

bool CCompressFileReader::RecoverCompressFile(int64_t from, int64_t count) {
    const uint64_t unitBytes = uint64_t{kUnitClusters} * m_u32ClusterSize;
    if (unitBytes == 0 || unitBytes > kUnitBytesMax || m_pDataRunList == nullptr) {
        LOG_FAILURE("RecoverCompressFile");
        return false;
    }
    std::vector<unsigned char> raw(kUnitBytesMax);
    std::vector<unsigned char> decoded(kUnitBytesMax);
    std::vector<tagCompressDataRun> unit;
    UnitWalker walker(m_pDataRunList);
    const int64_t end = from + count;
    m_bIncomplete = false;
    int64_t handedOn = from;  // the end of what was handed on
    _PROGRESS_INFO info{};
    info.state = PROGRESS_STATE_RUNNING;
    info.total = static_cast<uint64_t>(m_s64FileSize);

    // Units are produced whole (a short one is padded with zeros) so that
    // unit k always covers bytes k * unitBytes onwards; units before `from`
    // are skipped without reading.
    for (int64_t unitStart = 0; unitStart < end && walker.Next(unit);
         unitStart += int64_t(unitBytes)) {
        if (unitStart + int64_t(unitBytes) <= from)
            continue;
        std::fill(decoded.begin(), decoded.end(), 0);
        uint32_t produced = 0;
        if (unit.front().eType == COMPRESSED_UNIT && unit.back().s64LCN < 0 &&
            unit.front().s64LCN >= 0) {
            std::fill(raw.begin(), raw.end(), 0);
            uint32_t read = 0;
            for (const tagCompressDataRun& piece : unit) {
                if (piece.s64LCN < 0)
                    break;
                if (!ReadClusters(piece.s64LCN, piece.u32ClusterCount, raw.data() + read)) {
                    LOG_FAILURE("RecoverCompressFile");
                    m_bIncomplete = true;
                }
                read += piece.u32ClusterCount * m_u32ClusterSize;
            }
            if (ReadLE16(raw.data()) == 0) {
                std::copy(raw.begin(), raw.begin() + read, decoded.begin());
            } else {
                DecodeLznt1Unit(raw.data(), read, decoded.data(), uint32_t(unitBytes));
            }
            produced = uint32_t(unitBytes);
        } else {
            for (const tagCompressDataRun& piece : unit) {
                const uint32_t bytes = piece.u32ClusterCount * m_u32ClusterSize;
                if (piece.s64LCN >= 0 &&
                    !ReadClusters(piece.s64LCN, piece.u32ClusterCount, decoded.data() + produced)) {
                    LOG_FAILURE("RecoverCompressFile");
                    m_bIncomplete = true;
                }
                produced += bytes;
            }
        }
        // Hand on only the part of the unit inside [from, end).
        const int64_t first = std::max(from, unitStart);
        const int64_t last = std::min(end, unitStart + int64_t(produced));
        if (last > first &&
            !Emit(decoded.data() + (first - unitStart), static_cast<uint32_t>(last - first))) {
            LOG_FAILURE("RecoverCompressFile");
            return false;
        }
        handedOn = std::max(handedOn, last);
        if (m_pProgress != nullptr) {
            info.done = static_cast<uint64_t>(std::max<int64_t>(last, 0));
            m_pProgress->UpdateProgress(&info);
        }
    }
    // Extents that end before the file does leave it short.
    if (handedOn < end)
        m_bIncomplete = true;
    return true;
}
