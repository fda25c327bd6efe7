#pragma once

// Writes $LogFile record pages ("RCRD") holding log records, for tests.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "NTFSRecordBuilder.h"
#include "NTFSUpdateSequence.h"

namespace harbex::test {

// One log record: the 48-byte header, then the client data whose fixed part
// (40 bytes) names the target, followed by redo and undo data.
inline std::vector<uint8_t> LogRecord(uint64_t lsn, uint16_t recordOffset, uint16_t attributeOffset,
                                      int64_t targetVcn, uint16_t clusterBlockOffset,
                                      const std::vector<uint8_t>& redo,
                                      const std::vector<uint8_t>& undo) {
    const size_t redoLength = (redo.size() + 7) / 8 * 8;
    const size_t client = 40 + redoLength + undo.size();
    std::vector<uint8_t> record(48 + client, 0);
    PutLE(record, 0, lsn, 8);
    PutLE(record, 24, client, 4);
    PutLE(record, 32, 1, 4);
    PutLE(record, 52, 40, 2);
    PutLE(record, 54, redo.size(), 2);
    PutLE(record, 56, 40 + redoLength, 2);
    PutLE(record, 58, undo.size(), 2);
    PutLE(record, 62, 1, 2);
    PutLE(record, 64, recordOffset, 2);
    PutLE(record, 66, attributeOffset, 2);
    PutLE(record, 68, clusterBlockOffset, 2);
    PutLE(record, 72, static_cast<uint64_t>(targetVcn), 8);
    std::copy(redo.begin(), redo.end(), record.begin() + 88);
    std::copy(undo.begin(), undo.end(), record.begin() + 88 + static_cast<long>(redoLength));
    return record;
}

// A log of `pages` pages; records are laid out from page 4 on, each starting
// 8-aligned, running on into the next page's data area where they do not fit.
class LogPages {
public:
    explicit LogPages(size_t pages) : log_(pages * 4096, 0) {}

    // Places `record` at byte `at` of page `page`'s area (from 64); answers where it ends.
    void Place(size_t page, size_t at, const std::vector<uint8_t>& record) {
        size_t done = 0;
        uint64_t lsn = 0;
        std::memcpy(&lsn, record.data(), 8);
        while (done < record.size()) {
            const size_t room = 4096 - at;
            const size_t piece = std::min(room, record.size() - done);
            std::memcpy(log_.data() + page * 4096 + at, record.data() + done, piece);
            Touch(page);
            if (done == 0)
                PutLE(log_, page * 4096 + 8, lsn, 8);  // the last record starting here
            done += piece;
            const size_t endLsnAt = page * 4096 + 32;
            PutLE(log_, endLsnAt, done == record.size() ? lsn : 0, 8);
            page = page + 1 == log_.size() / 4096 ? 4 : page + 1;
            at = 64;
        }
    }

    // The pages with their update sequence applied, as on disk.
    std::vector<uint8_t> Finish() const {
        std::vector<uint8_t> log = log_;
        for (size_t page = 4; page < log.size() / 4096; ++page) {
            uint8_t* p = log.data() + page * 4096;
            if (std::memcmp(p, "RCRD", 4) == 0)
                NTFSUpdateSequence::Redo(p, 4096);
        }
        return log;
    }

private:
    void Touch(size_t page) {
        uint8_t* p = log_.data() + page * 4096;
        if (std::memcmp(p, "RCRD", 4) == 0)
            return;
        std::memcpy(p, "RCRD", 4);
        PutLE(log_, page * 4096 + 4, 40, 2);
        PutLE(log_, page * 4096 + 6, 9, 2);
        PutLE(log_, page * 4096 + 40, 0x0707, 2);
    }

    std::vector<uint8_t> log_;
};

}  // namespace harbex::test
