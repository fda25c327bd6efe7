#include "NTFSExtentLists.h"

#include <cassert>
#include <cstddef>

#include "NTFSRunList.h"

void CResidentNTFSDataRunList::InitList(int64_t recordSector, int64_t count, uint32_t offset) {
    runs_.clear();
    runs_.emplace_back(recordSector, static_cast<uint64_t>(count));
    cursor_ = runs_.end();
    offset_ = offset;
}

IDataRunList* CResidentNTFSDataRunList::Clone() {
    auto* copy = new CResidentNTFSDataRunList();
    copy->runs_ = runs_;
    copy->cursor_ = copy->runs_.end();
    copy->offset_ = offset_;
    return copy;
}

bool CNoneResidentNTFSDataRunList::InitFromBuffer(const uint8_t* runs, int length) {
    if (runs == nullptr || length < 1) {
        return true;
    }
    int64_t lcn = 0;
    for (int position = 0; position < length && runs[position] != 0;) {
        const int countBytes = runs[position] & 0x0F;
        const int deltaBytes = runs[position] >> 4;
        if (countBytes > 8 || deltaBytes > 8 || position + 1 + countBytes + deltaBytes > length) {
            break;
        }
        const uint8_t* p = runs + position + 1;
        uint64_t count = 0;
        for (int i = 0; i < countBytes; ++i) {
            count |= uint64_t{p[i]} << (8 * i);
        }
        uint64_t delta = 0;
        for (int i = 0; i < deltaBytes; ++i) {
            delta |= uint64_t{p[countBytes + i]} << (8 * i);
        }
        if (deltaBytes > 0 && deltaBytes < 8 && (p[countBytes + deltaBytes - 1] & 0x80)) {
            delta |= ~uint64_t{0} << (8 * deltaBytes);
        }
        DataRun run(-1, count);
        if (deltaBytes > 0) {
            lcn = static_cast<int64_t>(static_cast<uint64_t>(lcn) + delta);
            run.firstCluster = lcn;
        }
        AddDataRun(&run);
        position += 1 + countBytes + deltaBytes;
    }
    return true;
}

IDataRunList* CNoneResidentNTFSDataRunList::Clone() {
    auto* copy = new CNoneResidentNTFSDataRunList();
    for (const DataRun& run : runs_) {
        copy->AddDataRun(&run);
    }
    return copy;
}

IDataRunList* BuildNonResidentDataRunListfromNTFSDataRunList(const CNTFSDataRunList& runs,
                                                             int64_t* totalClusters) {
    if (totalClusters) {
        *totalClusters = runs.GetTotalClusters();
    }
    if (runs.IsEmpty()) {
        return nullptr;
    }
    auto* list = new CNoneResidentNTFSDataRunList();
    for (const CDataRun& run : runs.Runs()) {
        const DataRun extent(run.lcn < 0 ? -1 : run.lcn, static_cast<uint64_t>(run.count));
        list->AddDataRun(&extent);
    }
    return list;
}

int GetNeedBytes(int64_t value) {
    for (int n = 1; n < 8; ++n) {
        const int64_t limit = int64_t{1} << (8 * n - 1);
        if (value >= -limit && value < limit) {
            return n;
        }
    }
    return 8;
}

void CompressOneDataRun(uint8_t deltaBytes, uint8_t countBytes, int64_t delta, int64_t count,
                        std::vector<uint8_t>& out) {
    out.push_back(static_cast<uint8_t>(deltaBytes << 4 | countBytes));
    for (int i = 0; i < countBytes; ++i) {
        out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(count) >> (8 * i)));
    }
    for (int i = 0; i < deltaBytes; ++i) {
        out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(delta) >> (8 * i)));
    }
}

namespace {

// Walks the extents as mapping pairs: `pair` (delta bytes, count bytes, delta, count).
template <typename Pair>
void ForEachPair(IDataRunList* list, Pair pair) {
    int64_t previous = 0;
    for (DataRun* run = list->GetFirst(); run != nullptr; run = list->GetNext()) {
        const int64_t count = static_cast<int64_t>(run->clusterCount);
        if (run->firstCluster < 0) {
            pair(0, GetNeedBytes(count), 0, count);
            continue;
        }
        const int64_t delta = static_cast<int64_t>(static_cast<uint64_t>(run->firstCluster) -
                                                   static_cast<uint64_t>(previous));
        pair(GetNeedBytes(delta), GetNeedBytes(count), delta, count);
        previous = run->firstCluster;
    }
}

}  // namespace

std::vector<uint8_t> CreateCompressedDataRun(IDataRunList* list) {
    // Sized first, so that every found file costs one exact allocation.
    size_t size = 0;
    ForEachPair(list, [&](int deltaBytes, int countBytes, int64_t, int64_t) {
        size += 1 + static_cast<size_t>(deltaBytes + countBytes);
    });
    std::vector<uint8_t> bytes;
    if (size == 0) {
        return bytes;
    }
    bytes.reserve(size + 1);
    ForEachPair(list, [&](int deltaBytes, int countBytes, int64_t delta, int64_t count) {
        CompressOneDataRun(static_cast<uint8_t>(deltaBytes), static_cast<uint8_t>(countBytes),
                           delta, count, bytes);
    });
    bytes.push_back(0);
    return bytes;
}

CCompressedDataRunList* CCompressedDataRunList::Compress(IDataRunList* list) {
    assert(list != nullptr && "pDataRunList != NULL");
    uint16_t dataOffset = 0;
    if (list->GetDataRunListType() == CResidentNTFSDataRunList::kType) {
        assert(list->GetOffset() != 0 && "pCompressedDataRunList->m_u16DataOffset != 0");
        dataOffset = static_cast<uint16_t>(list->GetOffset());
    } else {
        assert(list->GetOffset() == 0 && "pDataRunList->GetOffset() == 0");
    }
    std::vector<uint8_t> bytes = CreateCompressedDataRun(list);
    if (bytes.empty()) {
        return nullptr;
    }
    auto* packed = new CCompressedDataRunList();
    packed->dataOffset_ = dataOffset;
    packed->bytes_ = std::move(bytes);
    return packed;
}

uint32_t CCompressedDataRunList::GetCompressedDataRunSize() const {
    assert(!bytes_.empty() && "FALSE");
    return static_cast<uint32_t>(bytes_.size());
}

IDataRunList* CCompressedDataRunList::Decompress() const {
    assert(!bytes_.empty() && "FALSE");
    if (dataOffset_ != 0) {
        auto* list = new CResidentNTFSDataRunList();
        CNoneResidentNTFSDataRunList first;
        first.InitFromBuffer(bytes_.data(), static_cast<int>(bytes_.size()));
        const DataRun* run = first.GetFirst();
        list->InitList(run ? run->firstCluster : 0,
                       run ? static_cast<int64_t>(run->clusterCount) : 1, dataOffset_);
        return list;
    }
    auto* list = new CNoneResidentNTFSDataRunList();
    list->InitFromBuffer(bytes_.data(), static_cast<int>(bytes_.size()));
    return list;
}
