#include "FATBuildWorker.h"

#include <vector>

#include "EmptyFileVirtualClusterNum.h"
#include "FATBootSector.h"
#include "FATBuildChildren.h"
#include "FATFileNode.h"
#include "FATTableAnalyser.h"
#include "Progress.h"
#include "StorageDevice.h"

CEmptyFileVirtualClusterNum* GetEmptyFileVirtualClusterNumObject() {
    static CEmptyFileVirtualClusterNum numbering;
    return &numbering;
}

CFATBuildWorker::CFATBuildWorker(IDirecotryTreeBuilder* builder, IProgress* progress,
                                 CFATSearchedPartitionInfo* partition,
                                 const FATVolumeLayout& layout, uint32_t validBootSector,
                                 IFATTable* table)
    : builder_(builder),
      progress_(progress),
      partition_(partition),
      layout_(layout),
      validBootSector_(validBootSector),
      table_(table) {}

void CFATBuildWorker::SendProgress(uint64_t done) {
    _PROGRESS_INFO info{};
    info.state = PROGRESS_STATE_RUNNING;
    info.total = 100;
    info.done = done;
    progress_->UpdateProgress(&info);
}

RESULT_CODE CFATBuildWorker::QuickBuildDirectoryTree(int n) {
    GetEmptyFileVirtualClusterNumObject()->ResetVirtualClusterNum();
    CFATBuildChildren children(layout_, builder_, progress_, partition_, table_, readClusters_,
                               folderMap_);
    FATFolderQueue folders;
    RESULT_CODE code = kResultSuccess;
    if (!children.BuildRoot(folders, n, static_cast<int>(validBootSector_))) {
        code = ENGINE_FAILURE(kModuleFAT, kResultFailed);
    } else {
        uint64_t done = 0;
        uint64_t lastPercent = 0;
        while (!folders.empty()) {
            if (progress_) {
                if (!progress_->Continued()) {
                    code = ENGINE_FAILURE(kModuleFAT, kResultStopped);
                    break;
                }
                ++done;
                const uint64_t percent = done * 100 / (done + folders.size());
                if (percent > lastPercent) {
                    lastPercent = percent;
                    SendProgress(percent);
                }
            }
            CFATFileNode* folder = folders.front();
            folders.pop_front();
            if (folder->GetFirstChild()) {
                continue;
            }
            CFATFileProperties* properties = folder->GetFileProperties();
            children.BuildChildren(folder, static_cast<uint32_t>(properties->GetFirstClusterNum()),
                                   folders, 0, n);
        }
    }
    if (progress_) {
        SendProgress(100);
    }
    return code;
}

bool CFATBuildWorker::IsFullValidDBR(const uint8_t* sector, int64_t volumeStart,
                                     IStorageDevice* device) {
    if (!device || !sector) {
        return false;
    }
    const uint32_t sectorSize = device->GetSectorSize();
    if (sectorSize < 512) {
        return false;
    }
    CTempFATDBR dbr(sector, sectorSize);
    if (!dbr.IsValidDBR()) {
        return false;
    }
    const int64_t fat1 = volumeStart + dbr.GetReservedSector();
    const int64_t fat2 = fat1 + dbr.GetSectorsPerFat();
    if (uint64_t{dbr.GetSectorsPerFat()} * dbr.GetNumberOfFat() > dbr.GetTotalSectors()) {
        return false;
    }
    // Sized from the device: sectors may be larger than 4096 bytes.
    std::vector<uint8_t> buffer(sectorSize);
    enumFILE_SYSTEM_TYPE type = FILE_SYSTEM_UNKNOWN;
    for (const int64_t fat : {fat1, fat2}) {
        std::fill(buffer.begin(), buffer.end(), 0);
        if (device->ReadSector(buffer.data(), fat, 1) &&
            CFATTableAnalyser::IsValidFATTableFirstSector(buffer.data(),
                                                          static_cast<int>(sectorSize), type)) {
            return true;
        }
    }
    return false;
}
