#pragma once

// What the analysers that measure a file while the scan streams past it have
// in common: the analyser owns a header analyser of its format, and each
// record hands itself to that analyser when the stream cannot finish it.

#include <cstdint>
#include <memory>

#include "RawFileAnalyser.h"

// A record measured sector by sector; when it leaves the stream unsized it
// is measured on the device by the header analyser (if there is one).
class StreamingRecord : public CRawFileInfo {
public:
    explicit StreamingRecord(IRawFileAnalyser* headerAnalyser) : headerAnalyser_(headerAnalyser) {}

    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char*, long long) override { analyser = headerAnalyser_; }

protected:
    // Byte offset of `sectorNumber` from the file's first byte.
    int64_t OffsetOf(long long sectorNumber, int sectorSize) const {
        return (sectorNumber - startSector) * int64_t{sectorSize};
    }
    // Ends the walk: the size and the name "<start>-<sector><suffix>".
    int Finish(int64_t fileSize, long long sectorNumber, const char* suffix = "_");

private:
    IRawFileAnalyser* headerAnalyser_;  // not owned
};

// Base of the streaming analysers: the type, the owned header analyser, and
// no size walk of its own.
class StreamingAnalyser : public IRawFileAnalyser {
public:
    StreamingAnalyser(RAW_FILE_TYPE type, IRawFileAnalyser* headerAnalyser)
        : headerAnalyser_(headerAnalyser) {
        analyserType = type;
    }
    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }

protected:
    IRawFileAnalyser* HeaderAnalyser() const { return headerAnalyser_.get(); }
    // Matches with the analyser's type.
    uint32_t Match(CRawFileInfo& info) const {
        info.fileType = analyserType;
        return 1;
    }
    // A new record of the analyser's type.
    template <class Record, class... Args>
    CRawFileInfo* NewRecord(Args&&... args) const {
        auto* record = new Record(HeaderAnalyser(), std::forward<Args>(args)...);
        record->fileType = analyserType;
        return record;
    }

private:
    std::unique_ptr<IRawFileAnalyser> headerAnalyser_;
};

// Position of `pattern` in the `length` bytes at `bytes` (wholly inside), or -1.
int64_t FindBytes(const unsigned char* bytes, int64_t length, const void* pattern,
                  int64_t patternLength);

// The `length` bytes at `at` equal `text`, the case of A-Z ignored.
bool SameTextIgnoringCase(const unsigned char* at, const char* text, size_t length);
