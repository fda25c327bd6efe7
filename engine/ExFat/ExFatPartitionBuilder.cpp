#include "ExFatPartitionBuilder.h"

#include <algorithm>
#include <bit>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "ExFatBootSector.h"
#include "ExFatEntries.h"
#include "ExFatFileNode.h"

namespace {

constexpr int64_t kBackupBootDistance = 12;
constexpr size_t kPendingLimit = 2176;
constexpr int64_t kPendingDistance = 0x2000000;
constexpr size_t kMostCandidates = 1024;
constexpr size_t kCandidatesAfterSpill = 512;
constexpr size_t kBelongCandidates = 16;
constexpr int64_t kScanWindowBefore = 32;
constexpr int64_t kScanWindowAfter = 128;
constexpr int64_t kFinalWindow = 8;
// Root clusters tried after the bitmap and up-case table: they follow them closely.
constexpr uint32_t kRootClustersTried = 256;
constexpr uint64_t kLargestFolderBytes = 0x10000000;

bool Stronger(const CExFatPartitionEx* a, const CExFatPartitionEx* b) {
    if (a->flags != b->flags)
        return a->flags > b->flags;
    return a->matched.size() > b->matched.size();
}

}  // namespace

bool CExFatPartitionEx::Holds(const CFileSet& set) const {
    return set.firstSector >= dataStartSector + 2 * int64_t{sectorsPerCluster} &&
           set.LastSector() < dataStartSector + totalSectors;
}

CPartitionBuilder::CPartitionBuilder() = default;
CPartitionBuilder::~CPartitionBuilder() = default;

void CPartitionBuilder::PrepareBuild(uint32_t sectorSize, uint64_t totalSectors) {
    Clear();
    sectorSize_ = sectorSize;
    totalSectors_ = totalSectors;
    madeUpFolders_ = 0;
}

void CPartitionBuilder::Clear() {
    pending_.clear();
    all_.clear();
    claimed_.clear();
    owned_.clear();
    nextIndex_ = 0;
    endMark_ = 0;
    index_.clear();
    dropped_.clear();
    candidates_.clear();
    kept_.clear();
    store_.clear();
    upcaseSectors_.clear();
}

CExFatPartitionEx* CPartitionBuilder::FindPartition(int64_t dataStart, uint32_t spc) const {
    const auto found = index_.find({dataStart, spc});
    return found == index_.end() ? nullptr : found->second;
}

CExFatPartitionEx* CPartitionBuilder::NewCandidate(int64_t dataStart, uint32_t spc) {
    auto candidate = std::make_unique<CExFatPartitionEx>();
    candidate->bytesPerSector = sectorSize_;
    candidate->sectorsPerCluster = spc;
    candidate->bytesPerCluster = sectorSize_ * spc;
    candidate->dataStartSector = dataStart;
    candidate->startSector = dataStart;
    candidate->totalSectors = DeviceEnd() - dataStart;
    candidate->clusterBound =
        static_cast<uint32_t>(std::min<int64_t>(candidate->totalSectors / spc + 2, 0xFFFFFFF6));
    store_.push_back(std::move(candidate));
    return store_.back().get();
}

void CPartitionBuilder::Enlist(CExFatPartitionEx* candidate) {
    const Geometry key{candidate->dataStartSector, candidate->sectorsPerCluster};
    if (index_.emplace(key, candidate).second)
        candidates_.push_back(candidate);
}

void CPartitionBuilder::Destroy(CExFatPartitionEx* candidate) {
    const auto found = index_.find({candidate->dataStartSector, candidate->sectorsPerCluster});
    if (found != index_.end() && found->second == candidate)
        index_.erase(found);
    std::erase(candidates_, candidate);
    std::erase(kept_, candidate);
    std::erase_if(store_, [candidate](const auto& owned) { return owned.get() == candidate; });
}

void CPartitionBuilder::SortCandidates() {
    std::stable_sort(candidates_.begin(), candidates_.end(), Stronger);
}

CFileSet* CPartitionBuilder::SetAt(int64_t sector) const {
    const auto found = std::lower_bound(
        all_.begin(), all_.end(), sector,
        [](const CFileSet* set, int64_t value) { return set->firstSector < value; });
    return found != all_.end() && (*found)->firstSector == sector ? *found : nullptr;
}

void CPartitionBuilder::Build(int64_t sector, const CExFatDBR& boot) {
    const int64_t heap = boot.GetClusterHeapOffset();
    const uint32_t spc = boot.GetSectorsPerCluster();
    // The backup of a main boot sector seen 12 sectors earlier.
    if (CExFatPartitionEx* main = FindPartition(sector - kBackupBootDistance + heap, spc);
        main && sector >= kBackupBootDistance && (main->flags & CExFatPartitionEx::kMainBoot)) {
        main->flags |= CExFatPartitionEx::kBackupBoot;
        CExFatPartitionEx* guess = FindPartition(sector - 2 * kBackupBootDistance + heap, spc);
        if (guess && guess->flags == CExFatPartitionEx::kBackupBoot)
            Destroy(guess);
        SortCandidates();
        return;
    }
    auto fromBoot = [&](int64_t start, uint32_t flag) {
        CExFatPartitionEx* candidate = FindPartition(start + heap, spc);
        if (!candidate)
            candidate = NewCandidate(start + heap, spc);
        candidate->startSector = start;
        candidate->totalSectors = static_cast<int64_t>(boot.GetVolumeLength());
        candidate->fatLength = boot.GetFatLength();
        candidate->fatOffset = boot.GetFatOffset();
        candidate->numberOfFats = boot.GetNumberOfFats();
        candidate->rootCluster = boot.GetRootCluster();
        const uint64_t fatEntries = uint64_t{boot.GetFatLength()} * sectorSize_ / 4;
        candidate->clusterBound = static_cast<uint32_t>(
            std::min<uint64_t>(std::max<uint64_t>(boot.GetClusterCount(), fatEntries), 0xFFFFFFFF));
        candidate->flags |= flag;
        Enlist(candidate);
    };
    fromBoot(sector, CExFatPartitionEx::kMainBoot);
    if (sector >= kBackupBootDistance)
        fromBoot(sector - kBackupBootDistance, CExFatPartitionEx::kBackupBoot);
    SortCandidates();
}

void CPartitionBuilder::RecordFAT(int64_t sector) {
    for (CExFatPartitionEx* candidate : candidates_) {
        if (!candidate->HasBootSector())
            continue;
        const int64_t fat = candidate->startSector + candidate->fatOffset;
        if (fat == sector) {
            candidate->flags |= CExFatPartitionEx::kFirstFat;
            return;
        }
        if (candidate->numberOfFats == 2 && fat + candidate->fatLength == sector) {
            candidate->flags |= CExFatPartitionEx::kSecondFat;
            return;
        }
    }
}

void CPartitionBuilder::RecordUpCaseTable(int64_t sector) {
    upcaseSectors_.push_back(sector);
}

void CPartitionBuilder::PushFileSet(std::unique_ptr<CFileSet> set, int64_t previous,
                                    int64_t following) {
    CFileSet* added = set.get();
    owned_.push_back(std::move(set));
    pending_.push_back(added);
    all_.push_back(added);
    endMark_ = added->firstSector + added->highestCluster;
    if (previous >= 0) {
        if (CFileSet* before = SetAt(previous); before && before != added && !before->next)
            before->SetNext(added);
    }
    if (following >= 0) {
        if (CFileSet* after = SetAt(following); after && after != added && !after->last)
            added->SetNext(after);
    }
}

void CPartitionBuilder::Build(int64_t sector) {
    if (nextIndex_ >= pending_.size())
        return;
    if (pending_.size() - nextIndex_ > kPendingLimit || sector > endMark_ + kPendingDistance)
        BuildFromTree();
}

void CPartitionBuilder::BuildFromTree() {
    const size_t index = nextIndex_++;
    CFileSet* set = pending_[index];
    if (set->IsRoot()) {
        BuildFromUpcaseTable(set);
        BuildFromRoot(set);
        return;
    }
    if (set->folders.empty() || IsBelongExistedPartition(set))
        return;
    const int64_t from = std::max<int64_t>(0, int64_t(index) - kScanWindowBefore);
    const int64_t to =
        std::min<int64_t>(int64_t(pending_.size()), int64_t(index) + kScanWindowAfter);
    for (int64_t j = from; j < to; ++j) {
        CFileSet* other = pending_[size_t(j)];
        if (other != set && !other->IsRoot() && !other->folders.empty() && !other->IsAbridged())
            BuildFromTree(set, other, 7);
    }
}

bool CPartitionBuilder::IsBelongExistedPartition(CFileSet* set) {
    size_t examined = 0;
    for (CExFatPartitionEx* candidate : candidates_) {
        if (examined >= kBelongCandidates)
            break;
        if (!candidate->Holds(*set))
            continue;
        ++examined;
        const uint32_t spc = candidate->sectorsPerCluster;
        if (set->IsClusterSizeConflict(spc) ||
            (set->firstSector - candidate->dataStartSector) % spc != 0) {
            continue;
        }
        if (candidate->matched.count(set))
            return true;
        if (set->folders.empty())
            continue;
        std::vector<CFileSet*> visited;
        const uint32_t threshold = candidate->flags > CExFatPartitionEx::kFromTree ? 1 : 7;
        if (CheckTree(set, candidate->dataStartSector, spc, visited, threshold,
                      &candidate->matched) != 0) {
            candidate->matched.insert(visited.begin(), visited.end());
            return true;
        }
    }
    return false;
}

// Breadth first from `set`: each folder's first cluster must hold a file set
// that fits the geometry; the score grows with the depth of what is found.
uint32_t CPartitionBuilder::CheckTree(CFileSet* set, int64_t dataStart, uint32_t spc,
                                      std::vector<CFileSet*>& visited, uint32_t threshold,
                                      const std::set<CFileSet*>* matched) const {
    visited.clear();
    visited.push_back(set);
    std::deque<std::pair<CFileSet*, uint32_t>> queue{{set, 1}};
    std::unordered_set<uint32_t> seenClusters;
    std::unordered_set<CFileSet*> seenSets{set};
    uint64_t score = 0;
    while (!queue.empty()) {
        const auto [current, depth] = queue.front();
        queue.pop_front();
        uint64_t found = 0;
        std::unordered_set<CFileSet*> parts;
        for (CFileSet* part = current; part && parts.insert(part).second; part = part->next) {
            for (uint32_t cluster : part->folders) {
                if (!seenClusters.insert(cluster).second)
                    continue;
                const int64_t sector = int64_t(cluster - 2) * spc + dataStart;
                if (sector < 0 || sector >= DeviceEnd())
                    continue;
                CFileSet* child = SetAt(sector);
                if (!child)
                    continue;
                const int64_t reach = int64_t(child->highestCluster) * spc + dataStart;
                if ((matched && matched->count(child)) || child->IsAbridged() ||
                    (child->highestCluster >= 2 && reach >= DeviceEnd()) ||
                    child->IsClusterSizeConflict(spc)) {
                    return 0;
                }
                if (!seenSets.insert(child).second)
                    continue;
                visited.push_back(child);
                ++found;
                if (!child->folders.empty())
                    queue.emplace_back(child, depth + 1);
            }
        }
        score += found * depth;
    }
    if (score < threshold)
        return 0;
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    for (CFileSet* v : visited)
        v->CollectClusters(sectorSize_ * spc, ranges);
    if (HasSharedCluster(ranges))
        return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(score, 0xFFFFFFFF));
}

bool CPartitionBuilder::SimpleCheck(const CFileSet& set, uint32_t spc) const {
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    set.CollectClusters(sectorSize_ * spc, ranges);
    return !HasSharedCluster(ranges);
}

void CPartitionBuilder::BuildFromTree(CFileSet* a, CFileSet* b, uint32_t threshold) {
    Candidates accepted;
    Candidates made;
    uint32_t best = 0;
    std::vector<uint32_t> folders;
    std::unordered_set<CFileSet*> parts;
    for (CFileSet* part = a; part && parts.insert(part).second; part = part->next)
        folders.insert(folders.end(), part->folders.begin(), part->folders.end());
    for (uint64_t c = a->minClusterSize; c >= 1 && c <= a->maxClusterSize; c *= 2) {
        const auto spc = static_cast<uint32_t>(c);
        if (b->IsClusterSizeConflict(spc) || a->sectorCount > spc)
            continue;
        if ((b->firstSector - a->firstSector) % int64_t(spc) != 0)
            break;
        for (auto k = folders.rbegin(); k != folders.rend(); ++k) {
            if (*k > b->highestCluster)
                continue;
            const int64_t dataStart = b->firstSector - int64_t(*k - 2) * spc;
            if (dataStart < 0 || a->firstSector < dataStart + 3 * int64_t(spc))
                break;
            if (dropped_.count({dataStart, spc}))
                continue;
            if ((a->firstSector - dataStart) / spc + 2 > a->highestCluster)
                continue;
            CExFatPartitionEx* existing = FindPartition(dataStart, spc);
            std::vector<CFileSet*> visited;
            const uint32_t score = CheckTree(a, dataStart, spc, visited, threshold,
                                             existing ? &existing->matched : nullptr);
            if (score < 5 || score < best)
                continue;
            if (score > best)
                accepted.clear();
            best = score;
            CExFatPartitionEx* candidate = existing;
            if (!candidate) {
                candidate = NewCandidate(dataStart, spc);
                made.push_back(candidate);
            }
            candidate->flags |= CExFatPartitionEx::kFromTree;
            candidate->matched.insert(visited.begin(), visited.end());
            if (std::find(accepted.begin(), accepted.end(), candidate) == accepted.end())
                accepted.push_back(candidate);
        }
    }
    UpdatePartitionList(accepted, nullptr);
    // Candidates a better score pushed out before they were listed are not kept.
    for (CExFatPartitionEx* candidate : made) {
        if (FindPartition(candidate->dataStartSector, candidate->sectorsPerCluster) != candidate)
            Destroy(candidate);
    }
}

void CPartitionBuilder::BuildFromUpcaseTable(CFileSet* root) {
    if (upcaseSectors_.empty() || root->upcaseLength < 1 || root->upcaseCluster < 2)
        return;
    const uint64_t tableSectors = (root->upcaseLength + sectorSize_ - 1) / sectorSize_;
    const uint32_t u = root->upcaseCluster;
    Candidates list;
    for (int64_t upcase : upcaseSectors_) {
        const uint64_t distance = static_cast<uint64_t>(std::abs(root->firstSector - upcase));
        if (distance < tableSectors || distance == 0)
            continue;
        const uint64_t largest = std::min<uint64_t>(root->maxClusterSize, distance & -distance);
        for (uint64_t c = root->minClusterSize; c >= 1 && c <= largest; c *= 2) {
            const int64_t dataStart = upcase - int64_t(c) * (u - 2);
            if (dataStart < 0 || root->firstSector < dataStart)
                continue;
            const uint64_t rootCluster = uint64_t(root->firstSector - dataStart) / c + 2;
            if (rootCluster < root->lowestCluster)
                BuildPartionByRoot(dataStart, uint32_t(c), *root, uint32_t(rootCluster), list);
        }
    }
    UpdatePartitionList(list, root);
}

void CPartitionBuilder::BuildFromRoot(CFileSet* root) {
    if (root->lowestCluster < 2 || root->lowestCluster > kExFatLastCluster)
        return;
    Candidates list;
    const uint32_t lastRoot =
        std::min(root->lowestCluster, root->clusterBound + kRootClustersTried);
    for (uint32_t r = root->clusterBound; r < lastRoot; ++r) {
        for (uint64_t c = root->minClusterSize; c >= 1 && c <= root->maxClusterSize; c *= 2) {
            const int64_t dataStart = root->firstSector - int64_t(c) * (r - 2);
            if (dataStart >= 0)
                BuildPartionByRoot(dataStart, uint32_t(c), *root, r, list);
        }
    }
    UpdatePartitionList(list, root);
}

// The bitmap of the root tells how many clusters the partition has.
void CPartitionBuilder::BuildPartionByRoot(int64_t dataStart, uint32_t spc, const CFileSet& root,
                                           uint32_t rootCluster, Candidates& list) {
    CExFatPartitionEx* candidate = FindPartition(dataStart, spc);
    if (!candidate) {
        candidate = NewCandidate(dataStart, spc);
        if (root.bitmapBits > 0) {
            candidate->totalSectors = std::min<int64_t>(
                candidate->totalSectors, int64_t{spc} * (int64_t{root.bitmapBits} + 2));
            candidate->clusterBound = root.bitmapBits + 2;
        }
        candidate->flags |= CExFatPartitionEx::kFromRoot;
        candidate->rootCluster = rootCluster;
        list.push_back(candidate);
        return;
    }
    if (candidate->rootCluster != rootCluster && candidate->rootCluster != 0xFFFFFFFF)
        return;
    candidate->rootCluster = rootCluster;
    candidate->flags |= CExFatPartitionEx::kFromRoot;
    list.assign(1, candidate);
}

void CPartitionBuilder::UpdatePartitionList(Candidates& list, CFileSet* set) {
    SpillPartition();
    for (CExFatPartitionEx* candidate : list) {
        if (set && !candidate->matched.count(set)) {
            std::vector<CFileSet*> visited;
            const uint32_t score =
                CheckTree(set, candidate->dataStartSector, candidate->sectorsPerCluster, visited, 1,
                          &candidate->matched);
            candidate->matched.insert(set);
            if (score != 0)
                candidate->matched.insert(visited.begin(), visited.end());
        }
        Enlist(candidate);
    }
    SortCandidates();
}

void CPartitionBuilder::SpillPartition() {
    if (candidates_.size() <= kMostCandidates)
        return;
    SortCandidates();
    while (candidates_.size() > kCandidatesAfterSpill)
        Destroy(candidates_.back());
}

void CPartitionBuilder::FinishBuid(std::vector<std::unique_ptr<CExFatPartitionEx>>& found) {
    while (nextIndex_ < pending_.size())
        BuildFromTree();
    Candidates first = candidates_;
    Winnow(first);

    SimpleBuild();
    Candidates later;
    for (CExFatPartitionEx* candidate : candidates_) {
        if (std::find(kept_.begin(), kept_.end(), candidate) == kept_.end())
            later.push_back(candidate);
    }
    Winnow(later);
    RemovePartionBeCoveredByOther(found);
}

// Matches every candidate again from scratch; each file set then belongs to
// the candidate with the strongest evidence for it: a boot sector or FAT
// first, then a deeper tree over a set that merely fits, then the stronger
// candidate. Candidates left
// without file sets are dropped and their geometries not tried again.
void CPartitionBuilder::Winnow(Candidates& list) {
    std::stable_sort(list.begin(), list.end(), Stronger);
    Candidates live;
    for (CExFatPartitionEx* candidate : list) {
        if (candidate->matched.size() <= all_.size()) {
            Rematch(*candidate);
            if (!candidate->clusterStartSectors.empty() && !candidate->matched.empty()) {
                live.push_back(candidate);
                continue;
            }
        }
        dropped_.insert({candidate->dataStartSector, candidate->sectorsPerCluster});
        Destroy(candidate);
    }
    // A partition whose boot sector or FAT was seen keeps the file sets its
    // geometry explains: those its folders lead to, and those holding deleted
    // files only (what is left of its deleted folders, which nothing points
    // at). A geometry made up from folder distances may score higher there by
    // coincidence, never by right. A set with files in use that none of its
    // folders lead to belongs to another file system, an older one say.
    struct Claim {
        bool explained;
        uint32_t weight;
        size_t rank;
    };
    std::unordered_map<CFileSet*, Claim> owner;
    for (size_t rank = 0; rank < live.size(); ++rank) {
        const bool onDisk = live[rank]->HasOnDiskEvidence();
        for (const auto& [sector, weight] : live[rank]->evidence) {
            CFileSet* set = SetAt(sector);
            const bool explained = onDisk && (weight > 1 || set->inUse.empty());
            const auto known = owner.find(set);
            if (known == owner.end() || (explained && !known->second.explained) ||
                (explained == known->second.explained && weight > known->second.weight)) {
                owner[set] = {explained, weight, rank};
            }
        }
    }
    for (size_t rank = 0; rank < live.size(); ++rank) {
        CExFatPartitionEx* candidate = live[rank];
        std::erase_if(candidate->evidence,
                      [&](const auto& entry) { return owner.at(SetAt(entry.first)).rank != rank; });
        if (candidate->evidence.empty()) {
            dropped_.insert({candidate->dataStartSector, candidate->sectorsPerCluster});
            Destroy(candidate);
            continue;
        }
        candidate->matched.clear();
        for (const auto& entry : candidate->evidence) {
            candidate->matched.insert(SetAt(entry.first));
            claimed_.insert(SetAt(entry.first));
        }
        kept_.push_back(candidate);
    }
    std::erase_if(pending_, [this](CFileSet* set) { return claimed_.count(set) != 0; });
    candidates_ = kept_;
    index_.clear();
    for (CExFatPartitionEx* candidate : kept_)
        index_[{candidate->dataStartSector, candidate->sectorsPerCluster}] = candidate;
}

void CPartitionBuilder::Rematch(CExFatPartitionEx& candidate) {
    candidate.matched.clear();
    candidate.evidence.clear();
    candidate.clusterStartSectors.clear();
    candidate.otherDataSectors.clear();
    const uint32_t spc = candidate.sectorsPerCluster;
    for (CFileSet* set : all_) {
        if (set->IsClusterSizeConflict(spc) || !candidate.Holds(*set) || claimed_.count(set))
            continue;
        const bool atCluster = (set->firstSector - candidate.dataStartSector) % spc == 0;
        (atCluster ? candidate.clusterStartSectors : candidate.otherDataSectors)
            .push_back(set->firstSector);
        UpdatePartitionMatched(candidate, set);
        if (!set->IsRoot() || !atCluster)
            continue;
        const uint32_t cluster = candidate.ConvertSectorToClusterNum(set->firstSector);
        if (candidate.rootCluster == cluster || candidate.rootCluster == 0xFFFFFFFF) {
            candidate.rootCluster = cluster;
            std::unordered_set<CFileSet*> parts;
            for (CFileSet* part = set; part && parts.insert(part).second; part = part->next) {
                candidate.matched.insert(part);
                candidate.evidence.emplace(part->firstSector, 1);
            }
        }
    }
}

void CPartitionBuilder::UpdatePartitionMatched(CExFatPartitionEx& candidate, CFileSet* set) {
    const uint32_t spc = candidate.sectorsPerCluster;
    if ((set->firstSector - candidate.dataStartSector) % spc != 0 || set->IsAbridged() ||
        candidate.matched.count(set)) {
        return;
    }
    std::vector<CFileSet*> visited;
    const uint32_t score =
        CheckTree(set, candidate.dataStartSector, spc, visited, 1, &candidate.matched);
    if (score != 0) {
        for (CFileSet* v : visited) {
            candidate.matched.insert(v);
            candidate.evidence[v->firstSector] = score;
        }
    } else if (SimpleCheck(*set, spc)) {
        candidate.matched.insert(set);
        candidate.evidence.emplace(set->firstSector, 1);
    }
}

void CPartitionBuilder::SimpleBuild() {
    const std::vector<CFileSet*> sets = pending_;
    for (size_t i = 0; i < sets.size(); ++i) {
        CFileSet* set = sets[i];
        if (set->IsAbridged())
            continue;
        BuildFromAllocBackWard(set);
        if (set->folders.empty())
            continue;
        const int64_t from = std::max<int64_t>(0, int64_t(i) - kFinalWindow);
        const int64_t to = std::min<int64_t>(int64_t(sets.size()), int64_t(i) + kFinalWindow);
        for (int64_t j = from; j < to; ++j) {
            if (sets[size_t(j)] != set && !sets[size_t(j)]->IsAbridged())
                BuildFromTree(set, sets[size_t(j)], 3);
        }
    }
}

// The folder of `set` is taken to be the cluster just before the lowest one
// its files start at.
void CPartitionBuilder::BuildFromAllocBackWard(CFileSet* set) {
    if (set->lowestCluster < 3 || set->lowestCluster > kExFatLastCluster)
        return;
    std::vector<Geometry> tried;
    for (uint64_t c = set->minClusterSize; c >= 1 && c <= set->maxClusterSize; c *= 2) {
        const auto spc = static_cast<uint32_t>(c);
        if (set->sectorCount > spc)
            continue;
        const int64_t dataStart = set->firstSector - int64_t(set->lowestCluster - 3) * spc;
        if (dataStart < 0 || int64_t(set->highestCluster - 2) * spc + dataStart >= DeviceEnd())
            break;
        if (CExFatPartitionEx* existing = FindPartition(dataStart, spc)) {
            existing->matched.insert(set);
            existing->flags |= CExFatPartitionEx::kFromBackward;
            return;
        }
        if (!dropped_.count({dataStart, spc}))
            tried.emplace_back(dataStart, spc);
    }
    for (const auto& [dataStart, spc] : tried) {
        CExFatPartitionEx* candidate = NewCandidate(dataStart, spc);
        candidate->flags |= CExFatPartitionEx::kFromBackward;
        candidate->matched.insert(set);
        Enlist(candidate);
    }
    SortCandidates();
}

void CPartitionBuilder::RemovePartionBeCoveredByOther(
    std::vector<std::unique_ptr<CExFatPartitionEx>>& found) {
    std::stable_sort(kept_.begin(), kept_.end(), Stronger);
    while (!kept_.empty()) {
        CExFatPartitionEx* strongest = kept_.front();
        const Candidates others(kept_.begin() + 1, kept_.end());
        for (CExFatPartitionEx* other : others) {
            const bool covered =
                strongest->evidence.size() >= other->evidence.size() &&
                std::all_of(other->evidence.begin(), other->evidence.end(), [&](const auto& e) {
                    const auto mine = strongest->evidence.find(e.first);
                    return mine != strongest->evidence.end() && mine->second >= e.second;
                });
            if (covered)
                Destroy(other);
        }
        CalcPartitionParam(*strongest);
        std::erase(kept_, strongest);
        std::erase(candidates_, strongest);
        index_.erase({strongest->dataStartSector, strongest->sectorsPerCluster});
        const auto owned = std::find_if(store_.begin(), store_.end(), [strongest](const auto& p) {
            return p.get() == strongest;
        });
        found.push_back(std::move(*owned));
        store_.erase(owned);
    }
}

void CPartitionBuilder::CalcPartitionParam(CExFatPartitionEx& partition) const {
    partition.bytesPerSector = sectorSize_;
    partition.bytesPerCluster = sectorSize_ * partition.sectorsPerCluster;
    const int64_t end = partition.HasBootSector() || partition.clusterStartSectors.empty()
                            ? partition.dataStartSector + partition.totalSectors
                            : partition.clusterStartSectors.back();
    for (int64_t sector : partition.otherDataSectors) {
        if (sector < end)
            partition.clusterStartSectors.push_back(sector);
    }
    std::sort(partition.clusterStartSectors.begin(), partition.clusterStartSectors.end());
}

bool CPartitionBuilder::FindAllocationBitmap(const CExFatPartitionEx& partition, uint32_t& cluster,
                                             uint64_t& length) const {
    if (partition.rootCluster < 2 || partition.rootCluster > kExFatLastCluster)
        return false;
    CFileSet* root = SetAt(partition.ConvertClusterNumToSector(partition.rootCluster));
    if (!root || !root->IsRoot() || !partition.matched.count(root))
        return false;
    cluster = root->bitmapCluster;
    length = root->bitmapLength;
    return true;
}

// Folders are known by the first sector of their first cluster; a file set's
// parent is the folder that owns the cluster it lies in. Files at the root
// hang below the top folder of the result tree.
void CPartitionBuilder::BuildFileTree(CExFatPartitionEx& partition,
                                      std::vector<CExFatFileNode*>& nodes) {
    const uint32_t spc = partition.sectorsPerCluster;
    if (spc == 0)
        return;
    const int64_t rootSector = partition.rootCluster <= kExFatLastCluster
                                   ? partition.ConvertClusterNumToSector(partition.rootCluster)
                                   : -1;
    std::vector<CFileSet*> sets;
    for (int64_t sector : partition.clusterStartSectors) {
        CFileSet* set = SetAt(sector);
        if (set && partition.matched.count(set))
            sets.push_back(set);
    }
    // Which folder owns each cluster, from the folders' own chains; deleted
    // folders only where no folder in use claims the cluster.
    std::unordered_map<uint32_t, int64_t> owner;
    std::vector<const _tagFileBaseInfo*> folders;
    for (CFileSet* set : sets) {
        for (const _tagFileBaseInfo& folder : set->inUse)
            folders.push_back(&folder);
    }
    for (CFileSet* set : sets) {
        for (const _tagFileBaseInfo& folder : set->deleted)
            folders.push_back(&folder);
    }
    for (const _tagFileBaseInfo* entry : folders) {
        const _tagFileBaseInfo& folder = *entry;
        if (!(folder.attributes & kExFatDirectoryAttribute) || folder.firstCluster < 2 ||
            folder.firstCluster > kExFatLastCluster ||
            static_cast<uint64_t>(folder.dataLength) >= kLargestFolderBytes) {
            continue;
        }
        const int64_t id = partition.ConvertClusterNumToSector(folder.firstCluster);
        uint32_t cluster = folder.firstCluster;
        for (int64_t left = folder.dataLength;
             left > 0 && cluster >= 2 && cluster <= kExFatLastCluster &&
             owner.emplace(cluster, id).second;
             left -= partition.bytesPerCluster) {
            cluster = folder.noFatChain ? cluster + 1 : partition.GetNextCluster(cluster, 0);
        }
    }
    // Deleted fragmented files are guessed knowing where every file begins.
    std::vector<uint32_t> starts;
    std::vector<const _tagFileBaseInfo*> guessed;
    for (CFileSet* set : sets) {
        for (const _tagFileBaseInfo& file : set->inUse)
            starts.push_back(file.firstCluster);
        for (const _tagFileBaseInfo& file : set->deleted) {
            starts.push_back(file.firstCluster);
            if (!file.noFatChain && file.dataLength > 0 &&
                !(file.attributes & kExFatDirectoryAttribute)) {
                guessed.push_back(&file);
            }
        }
    }
    partition.PrepareGuesses(std::move(starts), guessed);
    std::unordered_set<CFileSet*> done;
    // A folder whose entry is lost gets a made-up one at the top, as on FAT.
    std::unordered_set<int64_t> madeUp;
    auto lostFolder = [&](int64_t id) {
        if (!madeUp.insert(id).second)
            return;
        auto* folder = new CExFatFileNode();
        folder->SetFileName(("DIR" + std::to_string(madeUpFolders_++)).c_str());
        folder->SetFileAttributes(kExFatDirectoryAttribute);
        folder->SetFileDeleted();
        folder->SetID(id);
        folder->SetParentID(-1);
        folder->SetMetaDataSector(id);
        nodes.push_back(folder);
    };
    auto emit = [&](CFileSet* head) {
        int64_t parent = -1;
        if (head->firstSector != rootSector) {
            const uint32_t cluster =
                static_cast<uint32_t>((head->firstSector - partition.dataStartSector) / spc + 2);
            const auto known = owner.find(cluster);
            parent =
                known != owner.end() ? known->second : partition.ConvertClusterNumToSector(cluster);
            if (known == owner.end())
                lostFolder(parent);
        }
        for (CFileSet* part = head; part && done.insert(part).second; part = part->next) {
            for (auto* list : {&part->inUse, &part->deleted}) {
                for (const _tagFileBaseInfo& file : *list) {
                    CExFatFileNode* node = partition.BuildFile(file);
                    node->SetID(partition.ConvertClusterNumToSector(file.firstCluster));
                    node->SetParentID(parent);
                    if (file.noFatChain)
                        node->SetContiguous();
                    nodes.push_back(node);
                }
            }
        }
    };
    for (CFileSet* set : sets) {
        if (!set->last)
            emit(set);
    }
    for (CFileSet* set : sets) {
        if (!done.count(set))
            emit(set);
    }
}
