#pragma once

#include <cstdint>

class IDataRunList;
class IFATTable;

// The extents of a FAT file, as cluster indexes of the data area (cluster - 2).
class CFATBuildDataRun {
public:
    CFATBuildDataRun(IFATTable* table, uint32_t sectorSize, uint32_t sectorsPerCluster,
                     int64_t totalSectors);

    // Existing files follow their FAT chain; deleted ones are guessed (see the
    // .cpp). Null when nothing can be given (no table, empty, past the volume).
    IDataRunList* BuildDataRunList(uint32_t firstCluster, int64_t size, int deleted);

    // Deleted files: one run per cluster, following the FAT while it still holds
    // entries and the clusters after that on the disk.
    static void BuildDeleteFileDataRunList(IDataRunList* list, uint32_t firstCluster, int64_t size,
                                           IFATTable* table, uint32_t sectorsPerCluster,
                                           int64_t totalSectors, uint32_t sectorSize);

private:
    IDataRunList* BuildExistingFileDataRunList(uint32_t firstCluster, int64_t size);

    IFATTable* table_;
    uint32_t sectorSize_;
    uint32_t sectorsPerCluster_;
    int64_t totalSectors_;
};
