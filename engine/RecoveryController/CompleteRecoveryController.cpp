#include "CompleteRecoveryController.h"

#include <unistd.h>

#include <algorithm>
#include <new>
#include <vector>

#include "Bitmap.h"
#include "BoundDataRecovery.h"
#include "DirectoryTreeBuilder.h"
#include "FileSystemSearcher.h"
#include "KnownFiles.h"
#include "RestoreScanSink.h"
#include "ScanProgress.h"
#include "SearcherFactories.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "StorageDeviceWithCache.h"

namespace {

constexpr int64_t kBlockBytes = 0x400000;
constexpr int kFallbackBlockSectors = 8192;

RESULT_CODE Failure(uint16_t line, uint32_t kind) {
    return MakeFailure(kModuleRecoveryController, line, kind);
}

bool IsHFSPlusVolume(IStorageDevice* device) {
    if (device->GetType() != kStorageDeviceVolume)
        return false;
    const CCollectedVolumeDeviceInfoStruct* volume = VolumeRecordOf(device->GetPrivateData());
    return volume != nullptr && volume->fileSystemType == FILE_SYSTEM_HFSPLUS;
}

}  // namespace

CCompleteRecoveryController::~CCompleteRecoveryController() {
    FreeScanObjects();
    delete m_pBitmap;
}

void CCompleteRecoveryController::FreeScanObjects() {
    if (m_pBuilder != nullptr)
        m_pBuilder->Release();
    m_pBuilder = nullptr;
    for (_SEARCHER_INFO& info : m_searchers)
        delete info.searcher;
    m_searchers.clear();
    if (m_pCache != nullptr) {
        m_pCache->EndCache();
        delete m_pCache;
        m_pCache = nullptr;
    }
    m_fileSectorMap.clear();
}

bool CCompleteRecoveryController::Initialize(IRecoveryFilter* filter) {
    if (filter == nullptr)
        return false;
    m_pFilter = filter;
    return true;
}

int CCompleteRecoveryController::BlockSectors(uint32_t sectorSize) {
    if (sectorSize == 0)
        sectorSize = 512;
    const int sectors = static_cast<int>(kBlockBytes / sectorSize);
    return sectors == 0 ? kFallbackBlockSectors : sectors;
}

void CCompleteRecoveryController::MakeSearchers(IStorageDevice* device, IProgress* progress) {
    std::vector<CompleteSearcherEntry> entries = RegisteredSearcherFactories().complete;
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return CompleteSearcherRank(a.type) < CompleteSearcherRank(b.type);
    });
    for (const CompleteSearcherEntry& entry : entries) {
        ICompleteFileSystemSearchController* searcher = entry.create ? entry.create() : nullptr;
        if (searcher == nullptr)
            continue;
        switch (entry.type) {
            case SEARCHER_HFSPLUS:
                searcher->SetIProgressSink(progress);
                if (IsHFSPlusVolume(device))
                    searcher->SetActivePartition(true);
                break;
            case SEARCHER_FAT:
                searcher->SetFileSectorMap(&m_fileSectorMap);
                break;
            case SEARCHER_RAW_BY_TYPE:
                searcher->SetFileSectorMap(&m_fileSectorMap);
                searcher->SetIProgressSink(progress);
                searcher->SetLaterListing(this);
                break;
            default:
                break;
        }
        m_searchers.push_back({entry.type, searcher});
    }
}

bool CCompleteRecoveryController::MayBeListedLater(long long sector) {
    return std::any_of(
        m_searchers.begin(), m_searchers.end(), [sector](const _SEARCHER_INFO& info) {
            return info.type != SEARCHER_RAW_BY_TYPE && info.searcher->MayListAtEnd(sector);
        });
}

RESULT_CODE CCompleteRecoveryController::StartDataRecovery(IStorageDevice* device, IProgress* sink,
                                                           IDrirectoryTree* tree) {
    if (sink == nullptr)
        return Failure(__LINE__, kResultBadArguments);
    CScanProgress progress(sink);
    auto fail = [&progress](RESULT_CODE code) {
        progress.Report(PROGRESS_STATE_FINISHED, 1, 1, code);
        return code;
    };
    if (device == nullptr || tree == nullptr)
        return fail(Failure(__LINE__, kResultBadArguments));

    FreeScanObjects();
    delete m_pBitmap;
    m_pBitmap = new (std::nothrow) TBitmap();
    if (m_pBitmap == nullptr)
        return fail(Failure(__LINE__, kResultOutOfMemory));
    progress.Report(PROGRESS_STATE_RUNNING, 1, 0);

    m_pBuilder = CreateTreeBuilder(m_pRestore != nullptr, m_treeSetupPause);
    if (m_pBuilder == nullptr)
        return fail(Failure(__LINE__, kResultOutOfMemory));
    m_knownFiles.SetTarget(tree);
    if (!m_pBuilder->Initialize(GetDeviceDescription(device).c_str(), &m_knownFiles, m_pFilter)) {
        return fail(Failure(__LINE__, kResultFailed));
    }

    MakeSearchers(device, sink);
    if (m_searchers.empty())
        return fail(Failure(__LINE__, kResultNoSearcher));

    sync();
    m_pDevice = device;
    const int blockSectors = BlockSectors(device->GetSectorSize());
    m_pCache = new (std::nothrow) CStorageDeviceWithCache(device);
    if (m_pCache == nullptr || !m_pCache->SetBlockSize(static_cast<uint32_t>(blockSectors))) {
        return fail(Failure(__LINE__, kResultOutOfMemory));
    }

    for (_SEARCHER_INFO& info : m_searchers) {
        info.searcher->SetDevice(m_pCache);
        info.searcher->SetBlockSize(blockSectors);
        info.searcher->SetDirecotryTreeBuilder(m_pBuilder);
        info.searcher->SetBitmap(m_pBitmap);
        if (m_pRestore == nullptr)
            info.searcher->PreparetoSearch();
    }

    RESULT_CODE result = kResultSuccess;
    if (m_pRestore != nullptr) {
        m_pRestore->SetDirecotryTreeBuilder(m_pBuilder, sink, device);
    } else {
        // The read-ahead thread reads the device only while the walk takes its
        // blocks: the searchers' last steps and the copy-out read the device
        // directly, and a device is not read from two threads at once.
        m_pCache->BeginCache();
        result = SearchData(0, device->GetTotalSectors() - 1, sink);
        m_pCache->EndCache();
    }

    // Every searcher ends, a stopped scan's too: the raw search then walks
    // nothing more but keeps the files it carved before the stop.
    const int build = progress.shouldBuild();
    for (_SEARCHER_INFO& info : m_searchers) {
        info.searcher->EndSearch(build);
        // The FAT search ends before the raw search: the files it lists are
        // not filed again as carved files.
        if (info.type == SEARCHER_FAT && build != 0) {
            MarkKnownFiles(*m_pBitmap, *info.searcher, m_knownFiles.Files(),
                           device->GetTotalSectors());
        }
    }
    progress.Report(PROGRESS_STATE_FINISHED, 1, 1, result);
    return result;
}

RESULT_CODE CCompleteRecoveryController::SearchData(long long first, long long last,
                                                    IProgress* progress) {
    if (progress == nullptr || m_pCache == nullptr)
        return Failure(__LINE__, kResultBadArgument);
    if (last < first)
        return Failure(__LINE__, kResultBadArguments);

    const long long blockSectors = BlockSectors(m_pCache->GetSectorSize());
    const long long sectors = m_pCache->GetTotalSectors();
    first = std::clamp(first, 0LL, sectors);
    if (last >= sectors)
        last = sectors - 1;
    if (last < first)
        return Failure(__LINE__, kResultBadArguments);

    _PROGRESS_INFO info{};
    info.state = PROGRESS_STATE_FIRST;
    info.total = static_cast<uint64_t>(last / blockSectors - first / blockSectors + 1) + 1;
    progress->UpdateProgress(&info);

    for (long long block = first / blockSectors; block <= last / blockSectors; ++block) {
        if (progress->Continued() == 0)
            return kResultSuccess;
        m_pCache->SetCurCacheBlock(block);
        const long long start = block * blockSectors;
        const long long count = std::min(blockSectors, last - start + 1);
        for (_SEARCHER_INFO& searcher : m_searchers)
            searcher.searcher->AnalyzeBlock(start, count);
        info.done = std::min(info.done + 1, info.total);
        _PROGRESS_INFO running = info;
        running.state = PROGRESS_STATE_RUNNING;
        running.done = static_cast<uint64_t>(static_cast<double>(info.done) * 0.8);
        progress->UpdateProgress(&running);
    }
    return kResultSuccess;
}

IDataRecovery* CCompleteRecoveryController::GetDataRecovery(_tagSearcherType type) const {
    // The raw search files its results under two trees, by type and by content tag.
    const _tagSearcherType owner = type == SEARCHER_RAW_BY_TAG ? SEARCHER_RAW_BY_TYPE : type;
    const auto found =
        std::find_if(m_searchers.begin(), m_searchers.end(),
                     [owner](const _SEARCHER_INFO& info) { return info.type == owner; });
    if (found == m_searchers.end() || found->searcher == nullptr)
        return nullptr;
    return CreateBoundDataRecovery(m_pRestore, type, found->searcher, m_pDevice);
}
