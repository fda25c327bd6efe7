#include "DataRecovery.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "DestinationFile.h"
#include "EngineLog.h"
#include "FileNode.h"
#include "FileReader.h"
#include "FileSystemSearcher.h"
#include "FileTimeStamps.h"
#include "Locks.h"
#include "NodePartition.h"
#include "Progress.h"
#include "SearchedPartitionInfo.h"

#define LOG_FAILURE(function) CatchExeception::WriteLog("%s %d\r\n", function, __LINE__)

namespace {

constexpr int kAskedPartitions = 256;
// A searcher never has more partitions than a 16-bit partition index can tell apart.
constexpr int kMostPartitions = 0x10000;
constexpr uint32_t kPreviewBytes = 0x10000;
// A piece that cannot be written is tried this many times before the copy gives up.
constexpr int kWriteAttempts = 3;

RESULT_CODE Failure(uint16_t line, uint32_t kind) {
    return MakeFailure(kModuleDataRecovery, line, kind);
}

// Why a file was not copied whole, where the system gives no text of its own.
constexpr const char* kNoDestination = "no destination given";
constexpr const char* kNothingSelected = "no data to copy";
constexpr const char* kStopped = "stopped before the end";
constexpr const char* kCompressedInPart = "a compressed file is copied only whole";
constexpr const char* kNotDecoded = "could not be decoded";
constexpr const char* kNothingReadable = "could not be read from the source";
constexpr const char* kPartsUnreadable = "parts could not be read from the source (left as zeros)";

class CDataRecovery : public IDataRecovery {
public:
    ~CDataRecovery() override {
        if (m_pReader != nullptr)
            m_pReader->Release();
        FreePartitions();
    }

    RESULT_CODE Initialize(IFileSystemSearchController* searcher, IStorageDevice* device) override;
    RESULT_CODE Initialize(std::vector<CSearchedPartitionInfo*>& partitions,
                           IStorageDevice* device) override;
    IFileReader* SetRecoverNode(IFileNode* node) override;
    RESULT_CODE RecoverTo(const char* path, IProgress* progress, int size) override;
    uint32_t ReadSmallJPG(char* buffer, uint32_t capacity) override;
    void Release() override { delete this; }
    std::vector<CSearchedPartitionInfo*>& GetSearchedPartition() override { return m_partitions; }
    std::string GetLastFailureReason() override {
        autolocker<mutex_locker> hold(m_lock);
        return m_failureReason;
    }

private:
    bool EnsurePieceBuffer();
    void FreePartitions();
    RESULT_CODE CopyPlain(const char* path, IProgress* progress, int size, _PROGRESS_INFO& info);
    RESULT_CODE DecodeCompressed(CCompressFileReader& reader, const char* path,
                                 IProgress* progress);
    void RestoreTimes(const char* path);

    int32_t m_s32PieceSize = 0x400000;
    std::unique_ptr<char[]> m_pPiece;
    IFileReader* m_pReader = nullptr;
    std::vector<CSearchedPartitionInfo*> m_partitions;
    IStorageDevice* m_pDevice = nullptr;
    uint32_t m_u32Compressed = 0;
    IFileNode* m_pNode = nullptr;
    mutex_locker m_lock;
    bool m_bResident = false;     // the compressed file's data lie in its record
    std::string m_failureReason;  // of the last RecoverTo
};

bool CDataRecovery::EnsurePieceBuffer() {
    if (!m_pPiece)
        m_pPiece.reset(new (std::nothrow) char[m_s32PieceSize]);
    return m_pPiece != nullptr;
}

void CDataRecovery::FreePartitions() {
    for (CSearchedPartitionInfo* partition : m_partitions)
        delete partition;
    m_partitions.clear();
}

RESULT_CODE CDataRecovery::Initialize(IFileSystemSearchController* searcher,
                                      IStorageDevice* device) {
    autolocker<mutex_locker> hold(m_lock);
    if (searcher == nullptr || device == nullptr)
        return Failure(__LINE__, kResultBadArgument);
    FreePartitions();

    // The count first (with a null array): a searcher that answers 0 to a
    // short array would otherwise give nothing once it found more than fit.
    // One that cannot count gets the usual number of slots.
    const int reported = searcher->GetSearchedPartitionInfo(nullptr, 0);
    int capacity = std::clamp(reported, kAskedPartitions, kMostPartitions);
    std::vector<CSearchedPartitionInfo*> records(static_cast<size_t>(capacity), nullptr);
    int count = searcher->GetSearchedPartitionInfo(records.data(), capacity);
    if (count > capacity) {
        // Ask again with room for all of them; what the first answer held is dropped.
        for (CSearchedPartitionInfo*& record : records) {
            delete record;
            record = nullptr;
        }
        capacity = std::min(count, kMostPartitions);
        records.assign(static_cast<size_t>(capacity), nullptr);
        count = std::min(capacity, searcher->GetSearchedPartitionInfo(records.data(), capacity));
    }
    if (count <= 0) {
        for (CSearchedPartitionInfo* record : records)
            delete record;
        return Failure(__LINE__, kResultNoPartitionReported);
    }
    for (size_t i = static_cast<size_t>(count); i < records.size(); ++i)
        delete records[i];
    records.resize(static_cast<size_t>(count));

    m_partitions = std::move(records);
    m_pDevice = device;
    if (!EnsurePieceBuffer())
        return Failure(__LINE__, kResultOutOfMemory);
    if (m_partitions.size() >= 2)
        SortPartitionsByScore(m_partitions);
    return kResultSuccess;
}

RESULT_CODE CDataRecovery::Initialize(std::vector<CSearchedPartitionInfo*>& partitions,
                                      IStorageDevice* device) {
    autolocker<mutex_locker> hold(m_lock);
    if (device == nullptr)
        return Failure(__LINE__, kResultBadArgument);
    FreePartitions();
    for (const CSearchedPartitionInfo* saved : partitions) {
        if (saved == nullptr)
            continue;
        auto* copy = new (std::nothrow) CSearchedPartitionInfo(saved->sectorSize);
        if (copy == nullptr)
            return Failure(__LINE__, kResultOutOfMemory);
        *copy = *saved;
        m_partitions.push_back(copy);
    }
    m_pDevice = device;
    if (!EnsurePieceBuffer())
        return Failure(__LINE__, kResultOutOfMemory);
    return kResultSuccess;
}

IFileReader* CDataRecovery::SetRecoverNode(IFileNode* node) {
    autolocker<mutex_locker> hold(m_lock);
    if (node == nullptr || node->IsDirectory()) {
        LOG_FAILURE("SetRecoverNode");
        return nullptr;
    }
    if (m_partitions.empty()) {
        LOG_FAILURE("SetRecoverNode");
        return nullptr;
    }
    CSearchedPartitionInfo* partition = ChooseNodePartition(m_partitions, node);
    auto* fileNode = dynamic_cast<CFileNode*>(node);
    if (partition == nullptr || fileNode == nullptr) {
        LOG_FAILURE("SetRecoverNode");
        return nullptr;
    }

    IFileReader* reader = nullptr;
    uint32_t compressedFlag = 0;
    if (node->IsCompressed()) {
        reader = node->CreateCompressFileReader(partition);
        if (reader != nullptr && partition->fileSystemType == FILE_SYSTEM_NTFS) {
            auto* compressed = dynamic_cast<CCompressFileReader*>(reader);
            if (compressed != nullptr && compressed->Open(m_pDevice, fileNode, partition)) {
                compressedFlag = 1;
            } else {
                LOG_FAILURE("SetRecoverNode");
                reader->Release();
                reader = nullptr;
            }
        }
    } else {
        auto* plain = new (std::nothrow) CFileReader();
        if (plain != nullptr && !plain->Open(m_pDevice, fileNode, partition)) {
            LOG_FAILURE("SetRecoverNode");
            plain->Release();
            plain = nullptr;
        }
        reader = plain;
    }

    if (m_pReader != nullptr)
        m_pReader->Release();
    m_pReader = reader;
    m_u32Compressed = compressedFlag;
    m_pNode = reader != nullptr ? node : nullptr;
    if (reader == nullptr) {
        LOG_FAILURE("SetRecoverNode");
        return nullptr;
    }
    return reader->Clone();
}

RESULT_CODE CDataRecovery::RecoverTo(const char* path, IProgress* progress, int size) {
    autolocker<mutex_locker> hold(m_lock);
    m_failureReason.clear();
    _PROGRESS_INFO info{};
    info.state = PROGRESS_STATE_RUNNING;
    if (progress != nullptr)
        progress->UpdateProgress(&info);
    if (path == nullptr || size < 0) {
        LOG_FAILURE("RecoverTo");
        m_failureReason = kNoDestination;
        return Failure(__LINE__, kResultBadArgument);
    }
    if (m_pReader == nullptr) {
        // Nothing to copy: no empty file stands in for it.
        m_failureReason = kNothingSelected;
        return Failure(__LINE__, kResultNoFileSelected);
    }

    auto* compressed = dynamic_cast<CCompressFileReader*>(m_pReader);
    if (compressed != nullptr && m_u32Compressed != 0) {
        if (size != 0) {
            m_failureReason = kCompressedInPart;
            return Failure(__LINE__, kResultCannotCreateDestination);
        }
        const RESULT_CODE result = DecodeCompressed(*compressed, path, progress);
        if (!m_bResident) {
            if (IsSuccess(result) || ResultKindOf(result) == kResultShortRead)
                RestoreTimes(path);
            return result;
        }
    }
    const RESULT_CODE result = CopyPlain(path, progress, size, info);
    if (IsSuccess(result) || ResultKindOf(result) == kResultShortRead)
        RestoreTimes(path);
    return result;
}

RESULT_CODE CDataRecovery::DecodeCompressed(CCompressFileReader& reader, const char* path,
                                            IProgress* progress) {
    m_bResident = false;
    if (!reader.Recovery(path, progress, m_bResident)) {
        LOG_FAILURE("RecoverTo");
        m_failureReason =
            reader.OutputError() != 0 ? std::strerror(reader.OutputError()) : kNotDecoded;
        return Failure(__LINE__, kResultFailed);
    }
    if (!m_bResident && reader.LastDecodeIncomplete()) {
        m_failureReason = kPartsUnreadable;
        return Failure(__LINE__, kResultShortRead);
    }
    return kResultSuccess;
}

RESULT_CODE CDataRecovery::CopyPlain(const char* path, IProgress* progress, int size,
                                     _PROGRESS_INFO& info) {
    if (!EnsurePieceBuffer()) {
        m_failureReason = std::strerror(ENOMEM);
        return Failure(__LINE__, kResultOutOfMemory);
    }
    DestinationFile file;
    if (!file.Create(path)) {
        LOG_FAILURE("RecoverTo");
        m_failureReason = file.error();
        return Failure(__LINE__, kResultCannotCreateDestination);
    }
    const int64_t dataSize = std::max<int64_t>(m_pReader->GetDataSize(), 0);
    const int64_t total = size != 0 ? std::min<int64_t>(size, dataSize) : dataSize;
    info.total = static_cast<uint64_t>(total);

    int64_t done = 0;
    int64_t unread = 0;  // bytes left as zeros
    int failedWrites = 0;
    RESULT_CODE failure = kResultSuccess;
    while (done < total) {
        if (progress != nullptr && progress->Continued() == 0) {
            file.Fail(kStopped);
            failure = Failure(__LINE__, kResultStopped);
            break;
        }
        const int64_t piece = std::min<int64_t>(total - done, m_s32PieceSize);
        int error = 0;
        const uint32_t got =
            m_pReader->ReadData(done, m_pPiece.get(), static_cast<uint32_t>(piece), &error);
        if (got == 0) {
            // Unreadable: the piece stays a hole of zeros, the copy goes on.
            CatchExeception::WriteLog("%s:%d read[%s] failed with %s\n", __func__, __LINE__, path,
                                      strerror(errno));
            unread += piece;
        } else {
            if (got < piece) {
                std::memset(m_pPiece.get() + got, 0, static_cast<size_t>(piece - got));
                unread += piece - got;
            }
            if (!file.WriteAt(m_pPiece.get(), static_cast<size_t>(piece), done)) {
                CatchExeception::WriteLog("%s:%d write[%s] failed with %s\n", __func__, __LINE__,
                                          path, file.error().c_str());
                info.result = Failure(__LINE__, kResultWriteFailed);
                if (progress != nullptr)
                    progress->UpdateProgress(&info);
                if (++failedWrites >= kWriteAttempts) {
                    failure = info.result;
                    break;
                }
                continue;  // the same piece again, at the same offset
            }
            failedWrites = 0;
        }
        done += piece;
        info.done = static_cast<uint64_t>(done);
        info.result = kResultSuccess;
        if (progress != nullptr)
            progress->UpdateProgress(&info);
    }
    if (failure == kResultSuccess && !file.Finish(done))
        failure = Failure(__LINE__, kResultWriteFailed);
    if (failure == kResultSuccess && total > 0 && unread == total) {
        // Zeros alone are no copy of the file.
        file.Fail(kNothingReadable);
        failure = Failure(__LINE__, kResultFailed);
    }
    if (failure != kResultSuccess) {
        m_failureReason = file.error();
        file.Discard();
        return failure;
    }
    if (unread > 0) {
        m_failureReason = kPartsUnreadable;
        return Failure(__LINE__, kResultShortRead);
    }
    return kResultSuccess;
}

void CDataRecovery::RestoreTimes(const char* path) {
    if (m_pNode == nullptr)
        return;
    ApplyNodeTimes(path, m_pNode);
    // Folders above the file take the times of the node's parents, as long as
    // each folder is the copy of that parent: the destination chosen by the
    // caller and everything above it keep their own times.
    std::string folder = path;
    for (IFileNode* parent = m_pNode->GetParent(); parent != nullptr;
         parent = parent->GetParent()) {
        const size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos || slash == 0)
            break;
        folder.resize(slash);
        const char* name = parent->GetFileName();
        if (name == nullptr || folder.substr(folder.find_last_of('/') + 1) != name)
            break;
        ApplyNodeTimes(folder.c_str(), parent);
    }
}

uint32_t CDataRecovery::ReadSmallJPG(char* buffer, uint32_t capacity) {
    autolocker<mutex_locker> hold(m_lock);
    if (buffer == nullptr || capacity < kPreviewBytes || m_pReader == nullptr ||
        m_pReader->GetDataSize() < static_cast<int64_t>(kPreviewBytes) || !EnsurePieceBuffer()) {
        return 0;
    }
    auto* bytes = reinterpret_cast<unsigned char*>(m_pPiece.get());
    auto* compressed = dynamic_cast<CCompressFileReader*>(m_pReader);
    if (compressed != nullptr && m_u32Compressed != 0) {
        std::memset(bytes, 0, kPreviewBytes);
        if (!compressed->Recovery(m_pPiece.get(), kPreviewBytes, nullptr))
            return 0;
    } else {
        int error = 0;
        const uint32_t got = m_pReader->ReadData(0, m_pPiece.get(), kPreviewBytes, &error);
        if (got == 0)
            return 0;
        std::memset(bytes + got, 0, kPreviewBytes - got);
    }

    int64_t start = -1;
    int64_t end = -1;
    for (uint32_t i = 4; i <= kPreviewBytes - 5;) {
        if (start < 0) {
            if (bytes[i] == 0xFF && bytes[i + 1] == 0xD8 && bytes[i + 2] == 0xFF) {
                start = i;
                i += 2000;
                continue;
            }
        } else if (bytes[i] == 0xFF && bytes[i + 1] == 0xD9) {
            end = i + 4;
            break;
        }
        ++i;
    }
    if (start < 0 || end < 0)
        return 0;
    const int64_t length = end - start;
    if (length < 1 || length > 65535)
        return 0;
    std::memcpy(buffer, bytes + start, static_cast<size_t>(length));
    return static_cast<uint32_t>(length);
}

}  // namespace

IDataRecovery* CreateDataRecoveryObj() {
    return new (std::nothrow) CDataRecovery();
}
