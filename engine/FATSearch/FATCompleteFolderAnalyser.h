#pragma once

#include <cstdint>

// Recognises sectors that hold FAT folder entries, and among them the first
// sector of a sub-folder (its "." and ".." entries).
class CFATFolderAnalyser {
public:
    enum Kind : uint32_t {
        kNotFolder = 0,
        kFolderSector = 1,
        kSubFolderFirstSector = 2,
    };

    explicit CFATFolderAnalyser(uint32_t bytesPerSector) : bytes_(bytesPerSector) {}

    // Fills the record from `sector` (bytesPerSector bytes); true for kinds 1 and 2.
    bool AnalyseSector(const uint8_t* sector);

    Kind GetKind() const { return kind_; }
    uint32_t GetEntryCount() const { return count_; }
    // First clusters of the "." and ".." entries (kind 2 only, else 0).
    uint32_t GetDotCluster() const { return dotCluster_; }
    uint32_t GetDotDotCluster() const { return dotDotCluster_; }
    uint32_t GetHighestCluster() const { return highestCluster_; }

    // All 32 bytes zero.
    static bool IsBlankFATDirEntry(const uint8_t* entry);

private:
    void Clear();

    Kind kind_ = kNotFolder;
    uint32_t count_ = 0;
    uint32_t dotCluster_ = 0;
    uint32_t dotDotCluster_ = 0;
    uint32_t highestCluster_ = 0;
    uint32_t bytes_;
};
