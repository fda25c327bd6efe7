#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "EngineTypes.h"
#include "KvUIOperation.h"
#include "RecoveryController.h"

class IDataRecovery;
class IFileNode;
class IRecoveryController;

// The recovery operation: copies every checked and shown file of the last
// scan into the destination folder through the engine's copy-out objects, on
// the facade's recovery worker. As the engine's progress sink it sums the
// per-file progress into one byte count, and it pauses itself when writing
// to the destination fails, so that the user can make room and resume.
class KvUIRecovery : public KvUIOperation {
public:
    // What became of the selected files of the last or running recovery.
    struct Counts {
        uint64_t recovered = 0;  // copied whole
        uint64_t partly = 0;     // copied with unreadable parts left as zeros
        uint64_t failed = 0;     // handed to the engine, not copied
        uint64_t skipped = 0;    // no copy-out object or no target for it
    };

    // The engine's code for a piece that could not be written to the destination.
    static constexpr uint32_t kWriteFailedKind = 0xD03;

    static KvUIRecovery* instance();
    ~KvUIRecovery() override;

    // The whole recovery, on the calling thread; the facade has set the
    // destination and the running status. Ends idle. Answers 0 when every
    // file handed to the engine was copied whole, else the code of the last
    // copy that was not.
    RESULT_CODE DoRecovery();

    // Forgets the controller and makes the copy-out objects anew from the
    // scan's; the byte counts are kept while a recovery runs.
    void ResetParam();
    void InitDataRecoveryController();
    void ReleaseDataRecovery();
    // 1 when there are no copy-out objects.
    int CheckWhetherNeedReset();
    IDataRecovery* GetDataRecoveryByType(_tagSearcherType type);

    // The destination folder, ending in "/"; null counts as empty.
    void SetRecoveryPath(const char* path);
    std::string GetRecoveryPath();
    void SetRecoveryTotalSize(uint64_t size);
    void SetRecoveryTotalFilesCnt(uint64_t count);
    uint64_t GetRecoveriedFileSize();
    // Files handed to the engine so far, whatever became of them.
    uint64_t GetRecoveriedFilesCnt();
    Counts GetRecoveryCounts();
    IFileNode* GetCurrentRecoveryNode();
    // The name of the file being copied; empty between files.
    std::string GetCurrentRecoveryFileName();

    // The output folder number of each searcher type in this recovery; 0
    // when none was made yet.
    void SetCreateDirIndex(_tagSearcherType type, int index);
    int GetCreateDirIndex(_tagSearcherType type);
    void ClearCreateDirIndex();

    // 1 when `path` lies on the scanned device (or, for a whole disk, on
    // one of its volumes); 0 when not, or when it cannot be told.
    int RecoveryPathIsSameDevice(const char* path);

    // Makes `node` the file being copied; its progress counts from 0.
    void BeginFile(IFileNode* node);
    int UpdateProgress(_PROGRESS_INFO* info) override;

private:
    KvUIRecovery();

    // Copies one selected node; counts what became of it.
    RESULT_CODE RecoverNode(IFileNode* node, _RECOVERY_CONTROLLER_TYPE controllerType);
    IDataRecovery* DataRecoveryFor(IFileNode* node, _RECOVERY_CONTROLLER_TYPE controllerType);

    IRecoveryController* controller_ = nullptr;  // the scan's, not owned
    std::string destination_;
    uint64_t totalSize_ = 0;
    uint64_t totalFiles_ = 0;
    uint64_t copiedBytes_ = 0;
    uint64_t lastDone_ = 0;
    std::map<_tagSearcherType, IDataRecovery*> dataRecoveries_;  // owned
    std::map<_tagSearcherType, int> folderNumbers_;
    IFileNode* currentNode_ = nullptr;
    uint64_t copiedFiles_ = 0;
    int deep_ = 0;
    Counts counts_;
};
