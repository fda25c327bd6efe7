#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

class TiXmlElement;

// Installer packages: xar archives (a header, a zlib-compressed XML table of
// contents and a heap the table places its members in) and packages with a
// 7F "PKG" header that gives their size. Measured on the device.
class FilePKGAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kPkg = 119;
    static constexpr uint64_t kSizeLimit = 0x280000000;
    // The largest table of contents read, compressed or inflated.
    static constexpr uint64_t kLargestToc = 0x300000;

    FilePKGAnalyser() { analyserType = kPkg; }

    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;

    // The size a 7F "PKG" header gives; false (size 0) when it is no such
    // header or the size is 0 or past the limit.
    static bool PkgSignFileSize(const uint8_t* header, uint64_t& size);
    // Where the heap's last member ends, relative to the heap: the largest
    // offset plus length over everything the table of contents places there.
    // False when the text is no xar table of contents.
    static bool HeapEnd(const char* tocText, uint64_t& heapEnd);
};
