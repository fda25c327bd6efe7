#include "NTFSRunList.h"

#include <cassert>
#include <cstdint>

#include "NTFSArchiveFields.h"

namespace NTFSRunBytes {

bool IsValid(const uint8_t* runs, int length) {
    if (runs == nullptr || length < 1) {
        return false;
    }
    int position = 0;
    while (runs[position] != 0) {
        const int countBytes = runs[position] & 0x0F;
        const int deltaBytes = runs[position] >> 4;
        if (countBytes > 8 || deltaBytes > 8 || countBytes == 0) {
            return false;
        }
        position += 1 + countBytes + deltaBytes;
        if (position >= length) {
            return false;
        }
    }
    return true;
}

bool Decode(const uint8_t* runs, int length, int64_t startVCN, std::vector<CDataRun>& out) {
    if (!IsValid(runs, length)) {
        return false;
    }
    int64_t lcn = 0;
    int64_t vcn = startVCN;
    for (int position = 0; runs[position] != 0;) {
        const int countBytes = runs[position] & 0x0F;
        const int deltaBytes = runs[position] >> 4;
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
        CDataRun run;
        run.vcn = vcn;
        run.count = static_cast<int64_t>(count & 0x7FFFFFFFFFFFFFFFull);
        if (deltaBytes > 0) {
            lcn = static_cast<int64_t>(static_cast<uint64_t>(lcn) + delta);
            run.lcn = lcn;
        }
        vcn = static_cast<int64_t>(static_cast<uint64_t>(vcn) + static_cast<uint64_t>(run.count));
        out.push_back(run);
        position += 1 + countBytes + deltaBytes;
    }
    return true;
}

}  // namespace NTFSRunBytes

bool CNTFSDataRunList::InitFromBuffer(const uint8_t* runs, int length) {
    runs_.clear();
    return AddDataRunsfromBuffer(runs, length, 0);
}

bool CNTFSDataRunList::AddDataRunsfromBuffer(const uint8_t* runs, int length, int64_t startVCN) {
    std::vector<CDataRun> decoded;
    if (!NTFSRunBytes::Decode(runs, length, startVCN, decoded)) {
        return false;
    }
    runs_.insert(runs_.end(), decoded.begin(), decoded.end());
    return true;
}

int64_t CNTFSDataRunList::GetTotalClusters() const {
    // Damaged runs may claim any count: the sum stops at the largest value.
    int64_t total = 0;
    for (const CDataRun& run : runs_) {
        if (__builtin_add_overflow(total, run.count, &total)) {
            return INT64_MAX;
        }
    }
    return total;
}

int64_t CNTFSDataRunList::GetLCN(int64_t vcn) const {
    for (const CDataRun& run : runs_) {
        if (run.vcn <= vcn && vcn - run.vcn < run.count) {
            return run.lcn < 0 ? -1
                               : static_cast<int64_t>(static_cast<uint64_t>(run.lcn) +
                                                      static_cast<uint64_t>(vcn - run.vcn));
        }
    }
    return -1;
}

int64_t CNTFSDataRunList::GetVCN(int64_t lcn) const {
    for (const CDataRun& run : runs_) {
        if (run.lcn >= 0 && run.lcn <= lcn && lcn - run.lcn < run.count) {
            return static_cast<int64_t>(static_cast<uint64_t>(run.vcn) +
                                        static_cast<uint64_t>(lcn - run.lcn));
        }
    }
    return -1;
}

bool CNTFSDataRunList::IsLCNContained(int64_t lcn) const {
    return GetVCN(lcn) != -1;
}

bool CNTFSDataRunList::IsEqual(const CNTFSDataRunList& other) const {
    if (runs_.size() != other.runs_.size()) {
        return false;
    }
    auto it = other.runs_.begin();
    for (const CDataRun& run : runs_) {
        if (run.vcn != it->vcn || run.lcn != it->lcn || run.count != it->count) {
            return false;
        }
        ++it;
    }
    return true;
}

void CNTFSDataRunList::Sort() {
    runs_.sort([](const CDataRun& a, const CDataRun& b) { return a.vcn < b.vcn; });
}

bool CNTFSDataRunList::Save(IRSData& archive) const {
    using NTFSArchiveFields::Write;
    bool written = Write(archive, static_cast<uint64_t>(runs_.size()));
    for (const CDataRun& run : runs_) {
        written = Write(archive, run.lcn) && Write(archive, run.count) && Write(archive, run.vcn) &&
                  written;
    }
    return written;
}

bool CNTFSDataRunList::Restore(IRSData& archive) {
    using NTFSArchiveFields::Read;
    runs_.clear();
    uint64_t count = 0;
    if (!Read(archive, count) || count > kMostSavedRuns) {
        return false;
    }
    for (uint64_t i = 0; i < count; ++i) {
        CDataRun run;
        if (!Read(archive, run.lcn) || !Read(archive, run.count) || !Read(archive, run.vcn)) {
            runs_.clear();
            return false;
        }
        runs_.push_back(run);
    }
    return true;
}
