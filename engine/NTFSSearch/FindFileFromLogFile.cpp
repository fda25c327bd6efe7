#include "FindFileFromLogFile.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "NTFSAttribute.h"
#include "NTFSExtentLists.h"
#include "NTFSFileProperties.h"
#include "NTFSFileRecord.h"
#include "NTFSIndexRecord.h"
#include "NTFSRunList.h"
#include "NTFSUpdateSequence.h"
#include "StorageDevice.h"

namespace {

// Offsets in a log record.
constexpr size_t kClientLength = 24;
constexpr size_t kUndoOffset = 56;
constexpr size_t kUndoLength = 58;
constexpr size_t kRecordOffset = 64;
constexpr size_t kAttributeOffset = 66;
constexpr size_t kClusterBlockOffset = 68;
constexpr size_t kTargetVcn = 72;
// Where a logged FILE-record image starts (40 bytes into the client data).
constexpr size_t kImageOffset = 88;
// Page header fields.
constexpr size_t kLastLsn = 8;
constexpr size_t kLastEndLsn = 32;
// The most unnamed data attributes a repaired record is rebuilt from.
constexpr int kMaxDataAttributes = 5;
// Room for a deleted record and the extension records read with it.
constexpr size_t kWorkBytes = 8192;

size_t Align8(size_t value) {
    return (value + 7) & ~size_t{7};
}

// An image with its update sequence applied, so that the record checks take it
// whatever form the log kept it in.
std::vector<uint8_t> DiskForm(const uint8_t* bytes, size_t length, uint32_t recordBytes) {
    std::vector<uint8_t> record(recordBytes, 0);
    std::memcpy(record.data(), bytes, std::min<size_t>(length, recordBytes));
    NTFSUpdateSequence::Redo(record.data(), static_cast<int>(recordBytes));
    return record;
}

}  // namespace

CFindFileFromLogFile::CFindFileFromLogFile() = default;
CFindFileFromLogFile::~CFindFileFromLogFile() = default;

int64_t CFindFileFromLogFile::GetFileRecordIndex(int64_t targetVcn,
                                                 uint16_t clusterBlockOffset) const {
    if (geometry_.recordBytes == 0 || targetVcn < 0 ||
        targetVcn > INT64_MAX / std::max<uint32_t>(geometry_.clusterBytes, 1) / 2) {
        return -1;
    }
    return (targetVcn * geometry_.clusterBytes + int64_t{clusterBlockOffset} * 512) /
           geometry_.recordBytes;
}

bool CFindFileFromLogFile::Init(IStorageDevice* device, const CNTFSDataRunList* mftRuns,
                                const NTFSGeometry& geometry) {
    images_.clear();
    undo_.clear();
    logFile_.reset();
    analysed_ = false;
    if (device == nullptr || mftRuns == nullptr || geometry.recordBytes == 0) {
        return false;
    }
    device_ = device;
    geometry_ = geometry;
    const NTFSMFTLocation location{device, geometry, mftRuns};
    const int64_t sector = location.GetFileRecordStartSectorfromMFTNumber(2);
    std::vector<uint8_t> record(geometry.RecordReadBytes());
    if (sector < 0 || !device->ReadSector(record.data(), sector, geometry.sectorsPerRecord)) {
        return false;
    }
    CNTFSMultiFileRecord view(record.data(), static_cast<int>(geometry.recordBytes), sector, device,
                              {});
    std::unique_ptr<CNTFSFileProperties> properties(CNTFSFilePropertiesBuilder::BuildFileProperties(
        sector, view, geometry.clusterBytes, nullptr));
    if (properties && std::string(properties->GetFileName()) == "$LogFile") {
        logFile_ = std::move(properties);
    }
    return true;
}

bool CFindFileFromLogFile::Analyzer() {
    analysed_ = true;
    if (!logFile_ || device_ == nullptr) {
        return true;
    }
    IDataRunList* extents = logFile_->GetDataRunList();
    if (extents == nullptr || extents->IsResident()) {
        if (extents) {
            extents->Release();
        }
        return true;
    }
    uint64_t bytes = 0;
    for (DataRun* run = extents->GetFirst(); run != nullptr; run = extents->GetNext()) {
        if (run->clusterCount > kMaxLogBytes / geometry_.clusterBytes) {
            bytes = kMaxLogBytes + 1;
            break;
        }
        bytes += run->clusterCount * geometry_.clusterBytes;
    }
    std::vector<uint8_t> log;
    if (bytes <= kMaxLogBytes) {
        log.assign(bytes / kPageSize * kPageSize, 0);
        uint64_t at = 0;
        for (DataRun* run = extents->GetFirst(); run != nullptr && at < log.size();
             run = extents->GetNext()) {
            const uint64_t runBytes =
                std::min<uint64_t>(run->clusterCount * geometry_.clusterBytes, log.size() - at);
            const uint64_t sectors = runBytes / geometry_.deviceSectorSize;
            // A page that cannot be read stays zero and is skipped as damaged.
            const int64_t first = geometry_.ClusterSector(run->firstCluster);
            if (first >= 0 && sectors > 0) {
                device_->ReadSector(log.data() + at, first, static_cast<int64_t>(sectors));
            }
            at += runBytes;
        }
    }
    extents->Release();
    AnalyzeLog(std::move(log), geometry_);
    return true;
}

void CFindFileFromLogFile::AnalyzeLog(std::vector<uint8_t> log, const NTFSGeometry& geometry) {
    analysed_ = true;
    geometry_ = geometry;
    log.resize(log.size() / kPageSize * kPageSize);
    if (log.size() / kPageSize >= 5) {
        WalkPages(log);
    }
}

void CFindFileFromLogFile::WalkPages(const std::vector<uint8_t>& log) {
    const size_t pages = log.size() / kPageSize;
    constexpr size_t kData = kPageSize - kPageHeader;
    std::vector<uint8_t> carry;  // the start of a record that runs on into later pages
    size_t carryTotal = 0;       // its whole length
    std::vector<uint8_t> page(kPageSize);

    // Records of one page; `start` is where the first one begins.
    auto walkPage = [&](size_t start, bool keepCarry, bool take) {
        const uint64_t lastLsn = ReadLE64(page.data() + kLastLsn);
        const bool crosses = lastLsn != ReadLE64(page.data() + kLastEndLsn);
        for (size_t at = start; at + kRecordHeader <= kPageSize;) {
            const uint8_t* record = page.data() + at;
            const uint64_t lsn = ReadLE64(record);
            const uint64_t length = kRecordHeader + uint64_t{ReadLE32(record + kClientLength)};
            if (lsn == 0 || length > kMaxRecordBytes) {
                return;
            }
            if (at + length > kPageSize) {
                if (keepCarry && crosses && lsn == lastLsn) {
                    carry.assign(record, static_cast<const uint8_t*>(page.data() + kPageSize));
                    carryTotal = static_cast<size_t>(length);
                }
                return;
            }
            if (take) {
                TakeRecord(record, static_cast<size_t>(length));
            }
            if (lsn == lastLsn) {
                return;
            }
            at += Align8(static_cast<size_t>(length));
        }
    };

    // The record that runs from the end of the last page on into page 4.
    std::memcpy(page.data(), log.data() + (pages - 1) * kPageSize, kPageSize);
    if (CRCRDRecord::IsValid(page.data(), kPageSize)) {
        NTFSUpdateSequence::Undo(page.data(), kPageSize);
        // Only the carry matters here; the page's records are taken in order below.
        walkPage(kPageHeader, true, false);
    }

    for (size_t index = 4; index < pages; ++index) {
        std::memcpy(page.data(), log.data() + index * kPageSize, kPageSize);
        if (!CRCRDRecord::IsValid(page.data(), kPageSize)) {
            carry.clear();
            continue;
        }
        NTFSUpdateSequence::Undo(page.data(), kPageSize);
        size_t start = kPageHeader;
        if (!carry.empty()) {
            const size_t need = carryTotal - carry.size();
            const size_t take = std::min(need, kData);
            carry.insert(carry.end(), page.begin() + kPageHeader,
                         page.begin() + kPageHeader + take);
            if (take < need) {
                continue;
            }
            TakeRecord(carry.data(), carry.size());
            carry.clear();
            start = Align8(kPageHeader + take);
        }
        // The last page's own crossing record was taken at the start.
        walkPage(start, index + 1 < pages, true);
    }
}

void CFindFileFromLogFile::TakeRecord(const uint8_t* record, size_t length) {
    TakeImage(record, length);
    // A record shorter than its fixed client fields has none to read.
    if (length < kTargetVcn + 8) {
        return;
    }
    const uint16_t undoOffset = ReadLE16(record + kUndoOffset);
    const uint16_t undoLength = ReadLE16(record + kUndoLength);
    if (undoLength == 0 || kRecordHeader + size_t{undoOffset} + undoLength > length) {
        return;
    }
    const int64_t number = GetFileRecordIndex(static_cast<int64_t>(ReadLE64(record + kTargetVcn)),
                                              ReadLE16(record + kClusterBlockOffset));
    if (number < 0) {
        return;
    }
    Undo undo;
    undo.recordNumber = number;
    undo.recordOffset = ReadLE16(record + kRecordOffset);
    undo.attributeOffset = ReadLE16(record + kAttributeOffset);
    const uint8_t* data = record + kRecordHeader + undoOffset;
    undo.data.assign(data, data + undoLength);
    undo_.push_back(std::move(undo));
}

void CFindFileFromLogFile::TakeImage(const uint8_t* record, size_t length) {
    const uint32_t client = ReadLE32(record + kClientLength);
    if (client < 113 || length < kImageOffset + 5 ||
        std::memcmp(record + kImageOffset, "FILE0", 5) != 0 || geometry_.recordBytes == 0) {
        return;
    }
    std::vector<uint8_t> image =
        DiskForm(record + kImageOffset, std::min<size_t>(client - 40, length - kImageOffset),
                 geometry_.recordBytes);
    const int size = static_cast<int>(geometry_.recordBytes);
    if (!CNTFSFileRecord::IsValid(image.data(), size) ||
        CNTFSFileRecord::IsExtendFileRecord(image.data())) {
        return;
    }
    CNTFSMultiFileRecord view(image.data(), size, -1, nullptr, {});
    int64_t parent = -1;
    std::unique_ptr<CNTFSFileProperties> properties(
        CNTFSFilePropertiesBuilder::BuildFileProperties(-1, view, geometry_.clusterBytes, &parent));
    if (!properties || (properties->GetAttribute() & kNTFSAttributeDirectory) ||
        properties->GetFileSize() == 0) {
        return;
    }
    images_.push_back({std::move(properties), parent});
}

bool CFindFileFromLogFile::RebuildDataAttribute(uint8_t* buffer, int size, int64_t number,
                                                uint32_t offset, bool compressed) const {
    std::vector<const Undo*> chosen;
    const size_t minimum = compressed ? 24 : 10;
    // A short run list (one run fits in 8 bytes) is taken by its place.
    const uint16_t runsOffset = ReadLE16(buffer + offset + 32);
    for (const Undo& undo : undo_) {
        if (undo.recordNumber == number && undo.recordOffset == offset &&
            undo.attributeOffset != 0 &&
            (undo.data.size() > minimum || undo.attributeOffset == runsOffset)) {
            chosen.push_back(&undo);
        }
    }
    if (chosen.empty()) {
        return false;
    }
    std::stable_sort(chosen.begin(), chosen.end(), [](const Undo* a, const Undo* b) {
        return a->attributeOffset < b->attributeOffset;
    });
    size_t end = 0;
    for (const Undo* undo : chosen) {
        const size_t at = size_t{offset} + undo->attributeOffset;
        // Undo data that would not fit the record is not trusted.
        if (at + undo->data.size() + 8 > static_cast<size_t>(size)) {
            continue;
        }
        std::memcpy(buffer + at, undo->data.data(), undo->data.size());
        end = std::max(end, at + undo->data.size());
    }
    if (end == 0) {
        return false;
    }
    const uint32_t length = static_cast<uint32_t>(Align8(end - offset));
    const uint32_t before = ReadLE32(buffer + offset + 4);
    for (int i = 0; i < 4; ++i) {
        buffer[offset + 4 + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    // An attribute that grew over what followed it is now the last one.
    const size_t tail = offset + length;
    if (length > before && tail + 4 <= static_cast<size_t>(size)) {
        std::memset(buffer + tail, 0xFF, 4);
    }
    return true;
}

void CFindFileFromLogFile::RebuildFileRecord(uint8_t* buffer, int size, bool compressed) const {
    const int64_t number = CNTFSFileRecord::GetXPNumberOfthisMFTRecord(buffer);
    for (uint32_t index = 0;; ++index) {
        const uint32_t offset = CNTFSFileRecord::GetAttributeOffset(buffer, size, kNTFSData, index);
        if (offset == CNTFSFileRecord::kNoAttribute) {
            return;
        }
        RebuildDataAttribute(buffer, size, number, offset, compressed);
    }
}

const CFindFileFromLogFile::Image* CFindFileFromLogFile::FindImage(const uint8_t* record,
                                                                   CNTFSFileProperties& properties,
                                                                   int64_t parent) const {
    const std::string name = properties.GetFileName();
    for (const Image& image : images_) {
        if (image.parent == parent && name == image.properties->GetFileName()) {
            return &image;
        }
    }
    if (parent == -1) {
        for (const Image& image : images_) {
            if (name == image.properties->GetFileName() &&
                CNTFSFileRecord::GetXPNumberOfthisMFTRecord(record) ==
                    properties.GetFileRecordIndex()) {
                return &image;
            }
        }
    }
    for (const Image& image : images_) {
        if (name == image.properties->GetFileName()) {
            return &image;
        }
    }
    return nullptr;
}

bool CFindFileFromLogFile::ReplaceFileRecordInfo(const uint8_t* record,
                                                 CNTFSFileProperties& properties, int64_t parent,
                                                 const ExtendFileRecordInfoList& extensions) {
    if (record == nullptr || geometry_.recordBytes == 0 || geometry_.recordBytes > kWorkBytes) {
        return false;
    }
    const Image* image = FindImage(record, properties, parent);
    if (image == nullptr && (properties.GetAttribute() == kNTFSAttributeDirectory ||
                             !(properties.GetState() & kNTFSStateDeleted))) {
        return false;
    }
    const bool compressed = (properties.GetAttribute() & kNTFSAttributeCompressed) != 0;
    const int size = static_cast<int>(geometry_.recordBytes);
    std::vector<uint8_t> work(kWorkBytes, 0);
    CNTFSDataRunList runs;
    int collected = 0;
    auto collect = [&](uint8_t* buffer, bool fromDisk) {
        if (fromDisk) {
            if (!CNTFSFileRecord::IsValid(buffer, size)) {
                return;
            }
            CNTFSFileRecord::UnfixupFileRecord(buffer, size);
        }
        RebuildFileRecord(buffer, size, compressed);
        using A = CNTFSFileRecordAttribute;
        for (uint32_t index = 0; collected < kMaxDataAttributes; ++index) {
            const uint32_t offset =
                CNTFSFileRecord::GetAttributeOffset(buffer, size, kNTFSData, index);
            if (offset == CNTFSFileRecord::kNoAttribute) {
                return;
            }
            const uint8_t* data = buffer + offset;
            if (!A::IsValid(data, size - static_cast<int>(offset)) || A::IsNamed(data) ||
                A::IsResident(data)) {
                continue;
            }
            ++collected;
            const uint32_t runsOffset = A::GetDataRunsOffset(data);
            runs.AddDataRunsfromBuffer(data + runsOffset,
                                       static_cast<int>(A::GetLength(data) - runsOffset),
                                       A::GetStartVCN(data));
        }
    };
    std::memcpy(work.data(), record, static_cast<size_t>(size));
    collect(work.data(), true);
    size_t slot = static_cast<size_t>(size);
    for (const CAttributeListExtendFileRecordInfo& extension : extensions) {
        if (slot + geometry_.RecordReadBytes() > work.size() || extension.startSector < 0 ||
            device_ == nullptr) {
            break;
        }
        if (device_->ReadSector(work.data() + slot, extension.startSector,
                                geometry_.sectorsPerRecord)) {
            collect(work.data() + slot, true);
        }
        slot += geometry_.RecordReadBytes();
    }
    runs.Sort();
    int64_t clusters = 0;
    IDataRunList* rebuilt = BuildNonResidentDataRunListfromNTFSDataRunList(runs, &clusters);
    if (image == nullptr) {
        if (rebuilt != nullptr && clusters <= INT64_MAX / geometry_.clusterBytes) {
            properties.SetDataRunList(rebuilt);
            properties.SetFileSize(clusters * geometry_.clusterBytes);
        }
    } else {
        if (rebuilt != nullptr) {
            properties.SetDataRunList(rebuilt);
        } else if (IDataRunList* logged = image->properties->GetDataRunList()) {
            properties.SetDataRunList(logged);
            logged->Release();
        }
        properties.SetFileSize(image->properties->GetFileSize());
    }
    if (rebuilt != nullptr) {
        rebuilt->Release();
    }
    return true;
}
