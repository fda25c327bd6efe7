// Revision of the first cluster of deleted FAT32 entries. The high word of a
// deleted entry's first cluster is often found cleared, so the entry points
// into the first 65536 clusters while its data may lie in any later block of
// 65536 clusters. The missing high word is guessed from the entries before it,
// the parent folder, and the content of candidate clusters.

#include <strings.h>

#include <cstring>

#include "FATBuildChildren.h"
#include "FATDirEntry.h"
#include "FATFileProperties.h"
#include "LittleEndian.h"
#include "RawFileAnalyserList.h"
#include "StorageDevice.h"

namespace {

constexpr uint64_t kBlock = 0x10000;
constexpr uint64_t kLowMask = 0xFFFF;

uint64_t HighPart(uint64_t cluster) {
    return cluster & ~kLowMask;
}

// Shared by the tree builds of one scan; one FAT tree build runs at a time.
uint64_t g_u64PreReadFileCluNum = 0;

}  // namespace

void CFATBuildChildren::ResetPreReadFileClusterNumber() {
    g_u64PreReadFileCluNum = 0;
}

void CFATBuildChildren::ReverseDelFileFirstNum(CTempFATDirEntry& entry, uint64_t parentCluster,
                                               uint64_t& hint, CFATFileProperties* properties,
                                               bool parentIsMadeUp) {
    uint64_t cluster = entry.GetFirstClusterNO();
    if (layout_.type != FILE_SYSTEM_FAT32 || !revise_) {
        properties->SetFirstClusterNum(static_cast<int64_t>(cluster));
        return;
    }
    const uint64_t clusterBytes = layout_.ClusterBytes();
    const uint64_t clusters =
        clusterBytes
            ? (static_cast<uint64_t>(properties->GetFileSize()) + clusterBytes - 1) / clusterBytes
            : 0;
    const bool isFolder = entry.IsDirectory();
    const bool erased = entry.IsErased();
    bool found = false;

    if (erased && !isFolder && cluster < kBlock) {
        const char* name = properties->GetFileName();
        const char* dot = name ? std::strrchr(name, '.') : nullptr;
        extension_ = dot ? dot + 1 : "";
        if (parentCluster == 0 || (hint >> 16) != (parentCluster >> 16) || parentIsMadeUp) {
            const uint64_t first = HighPart(hint) + cluster;
            uint64_t result = TryGetRealFirstNum(first, found, 10, false);
            if (!found && result == first) {
                result = TryGetRealFirstNum(cluster, found, 35, false);
                if (!found)
                    result = cluster;
            }
            if (hint >= kBlock + 1 && result < kBlock && !found) {
                cluster = result + HighPart(hint);
            } else if (parentCluster > kBlock && result < kBlock && !parentIsMadeUp && !found) {
                cluster = result + HighPart(parentCluster);
            } else {
                cluster = result;
            }
        } else {
            cluster += HighPart(parentCluster);
            if (cluster < kBlock) {
                uint64_t result = TryGetRealFirstNum(cluster, found, 35, false);
                if (found && (result >> 16) != (parentCluster >> 16)) {
                    bInDelFileOrDIRMap(result, entry, properties, found, g_u64PreReadFileCluNum, 0);
                    cluster = result;
                }
            }
        }
        entry.SetFirstClusterNO(cluster);
    } else if (!erased && isFolder) {
        claimedFolderClusters_[cluster] =
            properties->GetFileName() ? properties->GetFileName() : "";
    } else if (erased && isFolder) {
        if (bEffectiveDIRFDT(cluster)) {
            bInDelFileOrDIRMap(cluster, entry, properties, found, g_u64PreReadFileCluNum, 1);
        } else {
            const uint64_t result = TryGetRealFirstNum(cluster, found, 50, true);
            if (found) {
                cluster = result;
                bInDelFileOrDIRMap(cluster, entry, properties, found, g_u64PreReadFileCluNum, 1);
            } else if (g_u64PreReadFileCluNum > 0x310000) {
                const uint64_t later =
                    TryGetRealFirstNum(cluster + HighPart(g_u64PreReadFileCluNum), found, 50, true);
                if (found) {
                    cluster = later;
                    entry.SetFirstClusterNO(cluster);
                    g_u64PreReadFileCluNum = cluster;
                }
            }
        }
    }

    hint = cluster + clusters;
    if (!isFolder && (found || cluster > kBlock)) {
        g_u64PreReadFileCluNum = hint;
    }
    if (hint < parentCluster) {
        hint = parentCluster;
    }
    properties->SetFirstClusterNum(static_cast<int64_t>(cluster));
}

uint64_t CFATBuildChildren::TryGetRealFirstNum(uint64_t cluster, bool& found, int tries,
                                               bool isFolder) {
    found = false;
    for (int k = 0; k + 1 < tries; ++k) {
        const uint64_t candidate = cluster + static_cast<uint64_t>(k) * kBlock;
        const bool passes = isFolder ? bEffectiveDIRFDT(candidate)
                                     : !bReviseFAT32FileFirstClu(static_cast<int64_t>(candidate));
        if (passes) {
            found = true;
            return candidate;
        }
    }
    return cluster;
}

bool CFATBuildChildren::ReadCandidateSector(uint64_t cluster) {
    if (!layout_.device) {
        return false;
    }
    const int64_t sector = layout_.ClusterToSector(cluster);
    if (sector == 0 || sector > layout_.device->GetTotalSectors() - 10) {
        return false;
    }
    if (candidateSector_.empty()) {
        candidateSector_.resize(size_t{layout_.sectorSize} + 1);
    }
    std::fill(candidateSector_.begin(), candidateSector_.end(), 0);
    return layout_.device->ReadSector(candidateSector_.data(), sector, 1);
}

bool CFATBuildChildren::bReviseFAT32FileFirstClu(int64_t cluster) {
    if (completePath_) {
        // The raw search met a file at the candidate whose type names the
        // entry's extension.
        if (!fileSectorMap_ || cluster < 2 || extension_.empty()) {
            return true;
        }
        const auto found =
            fileSectorMap_->find(layout_.ClusterToSector(static_cast<uint64_t>(cluster)));
        return found == fileSectorMap_->end() || found->second >= kRawFileExtensionSlots ||
               strcasecmp(extension_.c_str(), g_s_strFileExtName[found->second]) != 0;
    }
    IniRawDllValue();
    if (cluster < 2 || !ReadCandidateSector(static_cast<uint64_t>(cluster))) {
        return true;
    }
    uint8_t* sector = candidateSector_.data();
    if (bInAnalyzeMap(ReadLE32(sector)) || bInAnalyzeMultimap(ReadLE16(sector), sector) ||
        bInAnalyzeList(sector) || bWindowsPEFiles(sector, layout_.sectorSize)) {
        return false;
    }
    return true;
}

bool CFATBuildChildren::bEffectiveDIRFDT(uint64_t cluster) {
    if (!ReadCandidateSector(cluster)) {
        return false;
    }
    return CTempFATDirEntry::StartsWithDotEntries(candidateSector_.data());
}

void CFATBuildChildren::bInDelFileOrDIRMap(uint64_t& cluster, CTempFATDirEntry& entry,
                                           CFATFileProperties* properties, bool& found,
                                           uint64_t preRead, int isFolder) {
    auto& claimed = isFolder ? claimedFolderClusters_ : claimedFileClusters_;
    const std::string name = properties->GetFileName() ? properties->GetFileName() : "";
    uint64_t candidate = cluster;
    bool ok = true;
    for (int pass = 0; pass < 10; ++pass) {
        const auto owner = claimed.find(candidate);
        if (owner == claimed.end()) {
            if (ok)
                claimed[candidate] = name;
            break;
        }
        ok = false;
        if (owner->second == name) {
            break;
        }
        bool moved = false;
        candidate =
            TryGetRealFirstNum(candidate + kBlock, moved, isFolder ? 50 : 40, isFolder != 0);
        ok = moved;
        if (!moved && candidate < preRead) {
            candidate = HighPart(preRead) + (candidate & kLowMask);
            continue;
        }
        if (!moved) {
            break;
        }
    }
    if (ok) {
        cluster = candidate;
        found = true;
        entry.SetFirstClusterNO(candidate);
    }
}

void CFATBuildChildren::IniRawDllValue() {
    if (analysersTaken_) {
        return;
    }
    analysersTaken_ = true;
    auto* registry = CRawFileAnalyserListSingle::CreateInstance();
    analyserList_ = registry->GetAnalyserList(1);
    analyserMap_ = registry->GetAnalyserMap(1);
    analyserMultimap_ = registry->GetAnalyserMultimap(1);
}

bool CFATBuildChildren::bInAnalyzeMap(uint32_t key) const {
    return analyserMap_.count(key) != 0;
}

bool CFATBuildChildren::bInAnalyzeMultimap(uint16_t key, uint8_t* sector) const {
    const auto [first, last] = analyserMultimap_.equal_range(key);
    for (auto it = first; it != last; ++it) {
        CRawFileInfo scratch;
        if (it->second->AnalyseBuffer(sector, scratch)) {
            return true;
        }
    }
    return false;
}

bool CFATBuildChildren::bInAnalyzeList(uint8_t* sector) const {
    for (IRawFileAnalyser* analyser : analyserList_) {
        CRawFileInfo scratch;
        if (analyser->AnalyseBuffer(sector, scratch)) {
            return true;
        }
    }
    return false;
}

bool CFATBuildChildren::bWindowsPEFiles(const uint8_t* sector, uint32_t length) {
    if (length < 64 || sector[0] != 'M' || sector[1] != 'Z') {
        return false;
    }
    const uint32_t header = ReadLE32(sector + 60);
    return uint64_t{header} + 3 < length && ReadLE16(sector + header) == 0x4550;
}
