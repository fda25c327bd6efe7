#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RestoreScanSink.h"
#include "ScanResultNodes.h"

class CHFSPlusVolume;
class CSearchedPartitionInfo;
class IRSData;
class IStorageDevice;

namespace SaveRestoreResult {

// What the replay needs to know of the device being scanned.
struct ScannedDevice {
    std::string name;  // the name its result trees get as their volume name
    bool wholeDisk = false;
    bool dmgImage = false;
};
using DeviceDescriber = std::function<ScannedDevice(IStorageDevice*)>;

// Replays the saved roots of a scan-result file in place of the searchers.
// The node frame is read and checked whole before anything reaches a tree
// builder: a damaged file leaves the builder untouched and the sink with an
// error. A root goes to the builder of the volume whose trees bear its volume
// name (a whole disk or an Apple disk image takes them all); a disk scanned
// volume by volume takes each volume's roots in turn, each root once.
// Compressed HFS+ files are read through volumes the sink opens on the
// scanned device at their partitions' starts; it keeps them for as long as
// the loaded results stand.
class CRestoreScanSink : public RestoreScanSink {
public:
    CRestoreScanSink(IRSData* archive, DeviceDescriber describe);
    ~CRestoreScanSink() override;
    CRestoreScanSink(const CRestoreScanSink&) = delete;
    CRestoreScanSink& operator=(const CRestoreScanSink&) = delete;

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder, IProgress* progress,
                                 IStorageDevice* device) override;
    std::vector<CSearchedPartitionInfo*>& GetSearchedPartition(int type) override;
    // Replays the saved roots of a device that is not connected: each root
    // goes to the builder `builderFor` gives for its volume name (none
    // passes it over), in the file's order. The files are listed only:
    // nothing of them can be read without the device.
    using BuilderFor = std::function<IDirecotryTreeBuilder*(const std::string& volumeName)>;
    void ReplayWithoutDevice(const BuilderFor& builderFor, IProgress* progress);
    // Releases the partitions handed out so far.
    void ClearMapCell();

    // Reads the node frame of the archive; false (and an error) when it is
    // missing or damaged. Called by the first replay when not before.
    bool ReadNodeFrame();
    // The archive's error code of a missing or damaged node frame; 0 when none.
    uint32_t GetError() const { return error_; }
    // Roots read, and file-node records read over all roots.
    size_t RootCount() const { return roots_.size(); }
    size_t NodeCount() const;

private:
    struct SavedRoot {
        std::unique_ptr<RestoreSystemNode> root;
        std::vector<std::unique_ptr<CSearchedPartitionInfo>> partitions;
        std::vector<std::unique_ptr<RestoreFileNode>> nodes;
        bool replayed = false;
    };

    // An HFS+ volume over a window of the scanned device, for reading
    // compressed files; the volume, declared last, goes before its window.
    struct OpenedVolume {
        std::unique_ptr<IStorageDevice> window;
        std::unique_ptr<CHFSPlusVolume> volume;
        ~OpenedVolume();
    };

    void ReadRoot(RSFieldReader& in, SavedRoot& saved);
    bool Matches(const SavedRoot& saved, const ScannedDevice& device) const;
    void Replay(SavedRoot& saved, IDirecotryTreeBuilder* builder, IProgress* progress,
                IStorageDevice* device);
    // Gives the compressed files of an HFS+ root the volume of their partition.
    void OpenHFSPlusVolumes(SavedRoot& saved, IStorageDevice* device);

    IRSData* archive_;  // not owned; not used once the frame is read
    DeviceDescriber describe_;
    bool read_ = false;
    uint32_t error_ = 0;
    std::vector<SavedRoot> roots_;
    std::map<int, std::vector<CSearchedPartitionInfo*>> partitions_;  // owned records
    std::vector<std::unique_ptr<OpenedVolume>> volumes_;
};

}  // namespace SaveRestoreResult
