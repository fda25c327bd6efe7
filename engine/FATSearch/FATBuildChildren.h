#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FATBuildDataRun.h"
#include "FATVolumeLayout.h"

class CFATFileNode;
class CFATFileProperties;
class CFATSearchedPartitionInfo;
class CTempFATDirEntry;
class IDataRunList;
class IDirecotryTreeBuilder;
class IFATTable;
class IProgress;
class IRawFileAnalyser;

// Folders made and waiting to be listed, in the order they were found.
using FATFolderQueue = std::list<CFATFileNode*>;

// Turns the bytes of one folder into child nodes (existing and deleted entries
// alike), revises the first cluster of deleted FAT32 entries and gives files
// their extents. One object serves one tree build.
class CFATBuildChildren {
public:
    static constexpr uint32_t kNotAFolder = 0xFFFFFFFF;

    CFATBuildChildren(const FATVolumeLayout& layout, IDirecotryTreeBuilder* builder,
                      IProgress* progress, CFATSearchedPartitionInfo* partition, IFATTable* table,
                      std::set<uint32_t>& readClusters,
                      std::map<uint32_t, CFATFileNode*>& folderMap);

    // Lists the root folder; 0 when it cannot be read or rootIsValid is 0.
    int BuildRoot(FATFolderQueue& folders, int n, int rootIsValid);
    // Lists a folder's cluster chain; 0 when it is no folder, loops back or
    // nothing of it can be read.
    int BuildChildren(CFATFileNode* folder, uint32_t firstCluster, FATFolderQueue& folders,
                      int isRoot, int n);
    // Lists the entries of a buffer under `parent` (null: the root). Answers the
    // offset of a long-name run still open at the end, else the offset reached;
    // kNotAFolder when the bytes are no folder.
    uint32_t BuildChildrenFromBuffer(uint8_t* buffer, uint32_t length, CFATFileNode* parent,
                                     FATFolderQueue& folders, int stopAtInvalid, int n);
    IDataRunList* BuildDataRunList(uint32_t firstCluster, int64_t size, int deleted);

    // Set on the complete path: candidate first clusters of deleted files are
    // then tested against the files the raw search met (SetFileSectorMap)
    // instead of by reading their first sector.
    void SetQuickScan(bool completePath) { completePath_ = completePath; }
    // First sector of each file the raw search recognised -> its RAW_FILE_TYPE.
    void SetFileSectorMap(const std::map<long long, unsigned int>* map) { fileSectorMap_ = map; }

    // Whether deleted FAT32 entries get their first cluster revised.
    bool IsRevising() const { return revise_; }

    // The revision's process-wide pre-read threshold starts again at 0.
    static void ResetPreReadFileClusterNumber();

private:
    // Deleted-entry revision of FAT32 first clusters.
    void ReverseDelFileFirstNum(CTempFATDirEntry& entry, uint64_t parentCluster, uint64_t& hint,
                                CFATFileProperties* properties, bool parentIsMadeUp);
    uint64_t TryGetRealFirstNum(uint64_t cluster, bool& found, int tries, bool isFolder);
    bool bReviseFAT32FileFirstClu(int64_t cluster);
    bool bEffectiveDIRFDT(uint64_t cluster);
    void bInDelFileOrDIRMap(uint64_t& cluster, CTempFATDirEntry& entry,
                            CFATFileProperties* properties, bool& found, uint64_t preRead,
                            int isFolder);
    void IniRawDllValue();
    bool bInAnalyzeMap(uint32_t key) const;
    bool bInAnalyzeMultimap(uint16_t key, uint8_t* sector) const;
    bool bInAnalyzeList(uint8_t* sector) const;
    static bool bWindowsPEFiles(const uint8_t* sector, uint32_t length);
    // Reads a candidate's first sector into the scratch buffer; false when it
    // lies outside the device or cannot be read.
    bool ReadCandidateSector(uint64_t cluster);

    FATVolumeLayout layout_;
    IDirecotryTreeBuilder* builder_;
    IProgress* progress_;
    CFATSearchedPartitionInfo* partition_;
    IFATTable* table_;
    std::set<uint32_t>& readClusters_;
    std::map<uint32_t, CFATFileNode*>& folderMap_;
    CFATBuildDataRun dataRuns_;

    bool revise_ = false;
    bool completePath_ = false;
    const std::map<long long, unsigned int>* fileSectorMap_ = nullptr;
    std::vector<uint8_t> candidateSector_;
    std::string extension_;
    bool analysersTaken_ = false;
    std::list<IRawFileAnalyser*> analyserList_;
    std::map<unsigned int, IRawFileAnalyser*> analyserMap_;
    std::multimap<unsigned short, IRawFileAnalyser*> analyserMultimap_;
    std::map<uint64_t, std::string> claimedFileClusters_;
    std::map<uint64_t, std::string> claimedFolderClusters_;
};
