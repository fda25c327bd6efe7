#pragma once

// The seam between the windows and the engine bridge. Windows ask
// KvUIFacade::current() for everything they would ask KvUIController; the
// default answers by calling KvUIController, and tests install a scripted
// facade in its place. One virtual member per facade call, named as the call.

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "OpNodeData.h"

class DiskVolumeNodeData;
class IFileNode;
struct KvTreeRoots;
struct _DiskVolumeData;

using DiskVolumeNodeList = std::vector<std::shared_ptr<DiskVolumeNodeData>>;

// What became of the files of the last or running recovery.
struct KvRecoveryCounts {
    uint64_t recovered = 0;  // copied whole
    uint64_t partly = 0;     // copied with unreadable parts left as zeros
    uint64_t failed = 0;     // not copied
    uint64_t skipped = 0;    // nothing to copy them with
};

class KvUIFacade {
public:
    KvUIFacade() = default;
    virtual ~KvUIFacade() = default;
    KvUIFacade(const KvUIFacade&) = delete;
    KvUIFacade& operator=(const KvUIFacade&) = delete;

    // The facade in use: the installed one, else the bridge's.
    static KvUIFacade& current();
    // Puts `facade` (not owned) in place of the bridge until reset(); main
    // thread, while no window uses the facade.
    static void install(KvUIFacade* facade);
    static void reset();

    // Devices and the file-type filter.
    virtual void GetDeviceInfoToArray(DiskVolumeNodeList* list);
    virtual void NotifiyDeviceInfoAfterInit(const QString& name);
    virtual bool RefreshDeviceInfo();
    virtual void initFileType();
    // Category mask of the kinds of file to look for: 1 documents to 64 other, 127 all.
    virtual void SetRecoveryType(unsigned int mask);

    // Scans. Each start answers false when the scan was refused.
    virtual bool DoScanWithDiskIndex(int disk, int volume);
    virtual bool DoScanWithData(const _DiskVolumeData* record);
    virtual bool DoDeepScanWithData(const _DiskVolumeData* record);
    virtual bool isOztDoDeepScanWithData(const _DiskVolumeData* record);
    virtual bool DoDeepScan();
    virtual void PauseOrResumeScan();
    virtual void StopScan(int discard);
    virtual void ResetShouldBuild();
    virtual bool IsScanRunning();
    virtual bool IsPause();
    virtual bool IsDeepScan();
    // A saved result listed while its device is not connected.
    virtual bool IsResultWithoutDevice();
    // The remaining time as text; the percentage and the files found so far.
    virtual QString GetScanProgress(double& percent, uint64_t& fileCount);
    virtual void GetScanFileSize(uint64_t& size, uint64_t& count);

    // Result trees and check marks.
    virtual void SetViewType(int view);
    virtual bool KvSetTreeNodeData(const KvTreeRoots* roots);
    virtual void KvResetTreeNodeData();
    virtual bool KvGetTreeNodeData(int final, const QString& key = {});
    virtual int GetScanTreeNodeData(OpNodeArray* roots, int clearNodeState);
    virtual int GetFileNodeToArray(std::vector<IFileNode*>* files, OpNodeData* row);
    virtual int GetPathInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row);
    virtual int GetTypeInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row);
    virtual int GetDateInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row);
    virtual uint64_t GetNodeChildrenCnt(const OpNodeData* row);
    virtual void RefreshData();
    virtual void setNodeState(OpNodeData* row, const std::vector<IFileNode*>& files);
    virtual void RefreshTypeTreeState(OpNodeData* extensionRow);
    virtual void RefreshTimeTreeState(const OpNodeArray& roots, int mode);
    virtual bool KvCleanOpNodeSate();
    virtual void UnselectedAllNodes();
    virtual void KvTableViewCellCilck();
    virtual void KvSetFlag(int flag);
    // The checked files and their bytes, which become the next recovery's totals.
    virtual void GetSelectedFilesAmout(int* count, uint64_t* size);

    // Search by name.
    virtual bool KvGetIsSearching();
    virtual bool DoSearchWithString(const QString& key, const QString& name);
    virtual QString GetSearchString();
    virtual void StopSearch();
    virtual void GetSearchResultToArr(std::vector<IFileNode*>* files);

    // Saving and loading a scan result.
    virtual void beginSaveOrRestoreNode(int save, const QString& path, const QString& imagePath);
    virtual void RestorPostUIUpdate(const QString& name, bool save);
    virtual void GetSaveorRestoreProgress(uint64_t& total, uint64_t& current, uint64_t& errorCode,
                                          bool saver);
    virtual void StopSaveOrRestore(bool save);
    // The proposed name of a saved result: the scanned device and the time.
    virtual QString GetSaveFileName();
    // Keeps the path of the last saved result in the private settings list.
    virtual bool SavePathToPList(const QString& path);

    // Recovery into a folder; 0 when it started.
    virtual int64_t DoRecovery(const OpNodeArray& roots, const QString& path, const QString& name);
    // Total and recovered bytes and the error code; answers the file being copied.
    virtual QString GetRecoveryProgressTotal(uint64_t& total, uint64_t& current,
                                             int64_t& errorCode);
    virtual uint64_t GetRecoveridedFiles();
    virtual bool IsRecoveryRunning();
    virtual bool IsRecoveryPaused();
    virtual void PauseOrResumeRecovery();
    virtual void StopRecvoery();

    // The preview of a found file: a thumbnail of a picture, raw photo or
    // movie, else its type's icon.
    // May be called from any thread.
    virtual QImage GetImageByFileNode(IFileNode* file);

    // Lets go of what the last scan kept for copying files out.
    virtual void ReleaseDataRecovery();

    // Adds the Apple disk image at `path` to the device list; nonzero when
    // it is there.
    virtual int KvOpenDmgFile(const QString& path);

    // The application.
    virtual bool IsAppRunning();
    // The bridge ends the process; a scripted facade may return.
    virtual void CloseApp();

    // Recovery: whether `folder` lies on the scanned device, and the counts
    // of what became of its files.
    virtual bool IsRecoveryToSameDevice(const QString& folder);
    virtual KvRecoveryCounts GetRecoveryCounts();
};
