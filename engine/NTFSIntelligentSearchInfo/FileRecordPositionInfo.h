#pragma once

#include <cstdint>

#include "NTFSArchiveFields.h"

// A run of FILE records lying one after another: the sector of the first and
// how many there are, `stride` sectors apart.
class CCommonFileRecordPositionInfo {
public:
    CCommonFileRecordPositionInfo() = default;
    explicit CCommonFileRecordPositionInfo(int64_t sector, uint32_t stride = 2)
        : first_(sector), count_(1), stride_(stride) {}

    // Takes the record at `sector` when it is the next one of the run.
    bool Merge(int64_t sector, uint32_t stride = 2) {
        if (stride != stride_ || sector != first_ + int64_t{stride_} * count_) {
            return false;
        }
        ++count_;
        return true;
    }
    int64_t GetFileRecordStartSector() const { return first_; }
    void SetFileRecordStartSector(int64_t sector) { first_ = sector; }
    int64_t GetFileRecordCount() const { return count_; }
    uint32_t GetStride() const { return stride_; }
    // First sector, then count.
    bool Save(IRSData& archive) const {
        return NTFSArchiveFields::Write(archive, first_) &&
               NTFSArchiveFields::Write(archive, count_);
    }
    bool Restore(IRSData& archive) {
        return NTFSArchiveFields::Read(archive, first_) &&
               NTFSArchiveFields::Read(archive, count_) && count_ >= 0;
    }
    // The sector of the run's record `index`.
    int64_t GetRecordSector(int64_t index) const { return first_ + int64_t{stride_} * index; }

private:
    int64_t first_ = -1;
    int64_t count_ = 0;
    uint32_t stride_ = 2;
};
