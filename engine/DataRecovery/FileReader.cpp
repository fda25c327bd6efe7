#include "FileReader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "DataRunList.h"
#include "EngineLog.h"
#include "FileNode.h"
#include "NTFSResidentStream.h"
#include "SearchedPartitionInfo.h"
#include "StorageDevice.h"

#define LOG_FAILURE(function) CatchExeception::WriteLog("%s %d\r\n", function, __LINE__)

namespace {
// Data kept inside a FILE record never exceed the record.
constexpr uint64_t kMaxResidentBytes = 64 * 1024;
}  // namespace

bool CFileReader::Open(IStorageDevice* device, CFileNode* node, CSearchedPartitionInfo* partition) {
    if (device == nullptr || node == nullptr || partition == nullptr) {
        LOG_FAILURE("Open");
        return false;
    }
    const uint64_t clusterSize = uint64_t{partition->sectorsPerCluster} * partition->sectorSize;
    if (clusterSize == 0 || clusterSize > UINT32_MAX || node->GetFileSize() <= 0 ||
        node->GetDataRunList() == nullptr) {
        LOG_FAILURE("Open");
        return false;
    }
    m_pDevice = device;
    m_pFileNode = node;
    m_pDataRunList = node->GetDataRunList();
    m_u32SectorsPerCluster = partition->sectorsPerCluster;
    m_u32ClusterSize = static_cast<uint32_t>(clusterSize);
    m_s64FileSize = node->GetFileSize();
    m_s64FirstDataSector = static_cast<int64_t>(partition->firstDataSector);
    return true;
}

void CFileReader::Close() {
    m_pDevice = nullptr;
    m_pFileNode = nullptr;
}

uint32_t CFileReader::ReadData(int64_t offset, char* buffer, uint32_t length, int* error) {
    int delivered = 0;
    const int capped = static_cast<int>(std::min<uint32_t>(length, INT32_MAX));
    if (!Read(offset, reinterpret_cast<unsigned char*>(buffer), capped, delivered, error))
        return 0;
    return static_cast<uint32_t>(delivered);
}

IFileReader* CFileReader::Clone() {
    return new (std::nothrow) CFileReader(*this);
}

int64_t CFileReader::GetDataSize() const {
    return m_pFileNode == nullptr ? 0 : m_pFileNode->GetFileSize();
}

uint32_t CFileReader::IsCompressFile() {
    return m_pFileNode == nullptr ? 0 : m_pFileNode->IsCompressed();
}

void CFileReader::Release() {
    delete this;
}

bool CFileReader::Read(int64_t offset, unsigned char* buffer, int length, int& delivered,
                       int* error) {
    delivered = 0;
    if (offset < 0 || offset >= m_s64FileSize || buffer == nullptr || length <= 0) {
        LOG_FAILURE("Read");
        return false;
    }
    int64_t remaining = std::min<int64_t>(length, m_s64FileSize - offset);
    if (m_pDataRunList == nullptr || m_pDevice == nullptr) {
        LOG_FAILURE("Read");
        return false;
    }
    if (m_pDataRunList->IsResident())
        return ReadResidentData(offset, buffer, remaining, delivered);

    // Walk the extents, skipping whole extents until the one holding `offset`.
    int64_t skip = offset;
    for (DataRun* run = m_pDataRunList->GetFirst(); run != nullptr && remaining > 0;
         run = m_pDataRunList->GetNext()) {
        if (run->clusterCount > uint64_t(INT64_MAX) / m_u32ClusterSize) {
            LOG_FAILURE("Read");
            return true;  // no sane extent follows a corrupt one
        }
        const int64_t runBytes = static_cast<int64_t>(run->clusterCount) * m_u32ClusterSize;
        if (skip >= runBytes) {
            skip -= runBytes;
            continue;
        }
        const int64_t piece = std::min(runBytes - skip, remaining);
        if (run->firstCluster == kUnknownDataRun) {
            // Zeros here would be a guess: what was read before it is all.
            if (delivered > 0)
                return true;
            if (error != nullptr)
                *error = -1;
            return false;
        }
        if (run->firstCluster < 0) {
            // A hole: the file system keeps no data for it, it reads as zeros.
            std::memset(buffer, 0, static_cast<size_t>(piece));
        } else {
            int64_t firstSector = 0;
            if (__builtin_mul_overflow(run->firstCluster, int64_t{m_u32SectorsPerCluster},
                                       &firstSector) ||
                __builtin_add_overflow(firstSector, m_s64FirstDataSector, &firstSector) ||
                !ReadBytesAt(firstSector, skip, buffer, piece)) {
                LOG_FAILURE("Read");
                if (error != nullptr)
                    *error = -1;
                return false;
            }
        }
        delivered += static_cast<int>(piece);
        buffer += piece;
        remaining -= piece;
        skip = 0;
    }
    return true;
}

bool CFileReader::ReadBytesAt(int64_t sector, int64_t byteOffset, unsigned char* buffer,
                              int64_t length) {
    uint32_t sectorSize = m_pDevice->GetSectorSize();
    if (sectorSize == 0)
        sectorSize = 512;
    sector += byteOffset / sectorSize;
    int64_t head = byteOffset % sectorSize;
    std::vector<unsigned char> scratch;

    // A partial first sector goes through a scratch sector.
    if (head != 0) {
        scratch.resize(sectorSize);
        if (!m_pDevice->ReadSector(scratch.data(), sector, 1))
            return false;
        const int64_t part = std::min<int64_t>(sectorSize - head, length);
        std::memcpy(buffer, scratch.data() + head, static_cast<size_t>(part));
        buffer += part;
        length -= part;
        ++sector;
    }
    const int64_t whole = length / sectorSize;
    if (whole > 0) {
        if (!m_pDevice->ReadSector(buffer, sector, whole))
            return false;
        buffer += whole * sectorSize;
        length -= whole * sectorSize;
        sector += whole;
    }
    if (length > 0) {
        scratch.resize(sectorSize);
        if (!m_pDevice->ReadSector(scratch.data(), sector, 1))
            return false;
        std::memcpy(buffer, scratch.data(), static_cast<size_t>(length));
    }
    return true;
}

bool CFileReader::ReadResidentData(int64_t offset, unsigned char* buffer, int length,
                                   int& delivered) {
    delivered = 0;
    // The one extent of resident data names the FILE record that holds it.
    DataRun* record = m_pDataRunList->GetFirst();
    if (record == nullptr || record->firstCluster < 0) {
        LOG_FAILURE("ReadResidentData");
        return false;
    }
    const uint32_t capacity = static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{m_u32ClusterSize} * 8, kMaxResidentBytes));
    std::vector<unsigned char> stream(capacity);
    int64_t streamLength = 0;
    if (!GetResidentDataRunsStream(static_cast<uint64_t>(record->firstCluster), *m_pDevice,
                                   &streamLength, stream.data(), capacity) ||
        streamLength <= offset) {
        LOG_FAILURE("ReadResidentData");
        return false;
    }
    const int64_t count = std::min<int64_t>(streamLength - offset, length);
    std::memcpy(buffer, stream.data() + offset, static_cast<size_t>(count));
    delivered = static_cast<int>(count);
    return true;
}
