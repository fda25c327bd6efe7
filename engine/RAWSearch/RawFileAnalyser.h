#pragma once

#include <cstdint>
#include <string>

#include "RawFileTypes.h"

class IRawFileAnalyser;
class IStorageDevice;
class ISpecialRawFileAnalyser;

// One file being carved: where it starts, how long it is, its type, the
// analyser that found it, and what its content says about it.
class CRawFileInfo {
public:
    // What the raw search knows about the sector it hands to a streaming record.
    struct SearchContext {
        int64_t windowStart = 0;
        int64_t windowEnd = 0;
        uint32_t leadingZeroBytes = 0;
        uint32_t trailingZeroBytes = 0;
        CRawFileInfo* otherNewRecord = nullptr;
    };

    CRawFileInfo() = default;
    CRawFileInfo(const CRawFileInfo&) = default;
    CRawFileInfo& operator=(const CRawFileInfo&) = default;
    virtual ~CRawFileInfo() = default;

    // Back to a new record's state, cheaply: the strings keep their memory.
    void Clear() {
        startSector = 0;
        size = 0;
        fileType = 0;
        analyserType = 0xFFFF;
        timeText.clear();
        analyser = nullptr;
        name_.clear();
        tag_ = RAW_FILE_TAG_NONE;
        tagValue_.clear();
    }

    // True when the record measures its file while the scan streams past it.
    virtual bool WhetherImplementGuess() { return false; }
    // The record leaves the streaming set (null bytes and -1 at the end of the scan).
    virtual void WillBeRemove(unsigned char* /*sector*/, long long /*sectorNumber*/) {}
    // 1 when the end was found (size set), 2 when more sectors are needed.
    virtual int CalcRawSize(unsigned char* /*sector*/, int /*sectorSize*/,
                            long long /*sectorNumber*/, SearchContext& /*context*/) {
        return 2;
    }

    void SetRawFileName(const std::string& name) { name_ = ApiStrFilterBadFileName(name); }
    std::string GetRawFileName() {
        name_ = ApiStrFilterBadFileName(name_);
        return name_;
    }
    void SetRawFileTagAndValue(RAW_FILE_TAG tag, const std::string& value) {
        tag_ = tag;
        tagValue_ = ApiStrFilterBadFileName(value);
    }
    void GetRawFileTagAndValue(RAW_FILE_TAG& tag, std::string& value) const {
        tag = tag_;
        value = ApiStrFilterBadFileName(tagValue_);
    }

    int64_t startSector = 0;
    int64_t size = 0;
    RAW_FILE_TYPE fileType = 0;
    uint32_t analyserType = 0xFFFF;
    std::string timeText;
    IRawFileAnalyser* analyser = nullptr;  // not owned

private:
    std::string name_;
    RAW_FILE_TAG tag_ = RAW_FILE_TAG_NONE;
    std::string tagValue_;
};

// Decides from a sector's first bytes whether a file of its type starts there,
// and measures such a file. Analysers are owned by the analyser registry.
class IRawFileAnalyser {
public:
    virtual ~IRawFileAnalyser() = default;
    // Nonzero when the walk is done; the size goes into the record (0 = not found).
    virtual uint32_t GetRawFileSize(CRawFileInfo& /*info*/, IStorageDevice* /*device*/) {
        return 1;
    }
    // 1 when a file of this analyser's kind starts in the sector; it then writes
    // the file's type (and the size when the header gives it) into `info`.
    virtual uint32_t AnalyseBuffer(unsigned char* /*sector*/, CRawFileInfo& /*info*/) { return 0; }
    virtual std::string GetRawFileName() { return std::string(); }
    virtual std::string GetRawFileTime() { return std::string(); }
    virtual CRawFileInfo* CreateRawFileInfo() { return new CRawFileInfo(); }
    virtual ISpecialRawFileAnalyser* GetSpecialRawFile() { return nullptr; }

    // The type this analyser reports, or 0xFFFFFFFF when it chooses per match.
    uint32_t analyserType = 0xFFFFFFFF;
};

// Analysers that need the sector's position to decide a match.
class ISpecialRawFileAnalyser {
public:
    virtual ~ISpecialRawFileAnalyser() = default;
    virtual int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& info, long long sectorSize,
                                long long sectorNumber, long long windowStart,
                                long long windowEnd) = 0;
};
