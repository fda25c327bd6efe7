#pragma once

// Streaming records of formats made of a chain of structures, each giving
// the offset of the next: the record steps through the structures that
// begin in each sector as it passes, and the header analyser runs the same
// walk over the device.

#include "StreamingRecord.h"

// One walk over a format's structures, fed bytes in file order through a
// window: `at` points at the bytes of file offset `position`, and `room` of
// them can be read there.
class ChainWalk {
public:
    enum class Step { More, Wait, End };
    virtual ~ChainWalk() = default;
    // Offset of the next structure; the file's end once the walk is over.
    int64_t position = 0;
    // Sets `position` to the file's end and answers End, or steps over the
    // structure at `position` and answers More, or answers Wait when the
    // structure's bytes run past `room`.
    virtual Step StepAt(const unsigned char* at, int64_t room) = 0;
    // True when the walk found an end worth a size.
    bool sized = true;
};

// A record that drives a ChainWalk sector by sector.
class ChainRecord : public StreamingRecord {
public:
    // Past `limit` bytes the stream gives the file up to the device walk;
    // `endType` (unless 0) is the type the record takes when its walk ends.
    ChainRecord(IRawFileAnalyser* headerAnalyser, int64_t limit, RAW_FILE_TYPE endType)
        : StreamingRecord(headerAnalyser), limit_(limit), endType_(endType) {}

    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                    SearchContext& context) override;

protected:
    virtual ChainWalk& Walk() = 0;
    // The name's last character after "<start>-<sector>".
    const char* nameSuffix = "_";
    // Called once with the header sector before the walk starts; false ends
    // the walk unsized.
    virtual bool Begin(const unsigned char*, int) { return true; }

private:
    int64_t limit_;
    RAW_FILE_TYPE endType_;
    bool begun_ = false;
    bool deferred_ = false;  // the next structure starts in the sector before
};

// Measures a file on the device with a ChainWalk up to `cap` bytes: true
// with the size set when the walk ended.
bool WalkOnDevice(ChainWalk& walk, CRawFileInfo& info, IStorageDevice* device, int64_t cap,
                  int64_t maxSteps);
