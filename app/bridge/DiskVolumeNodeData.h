#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

struct _DiskVolumeData;

// One row of the device list: a disk with its volumes as children, or a volume.
class DiskVolumeNodeData {
public:
    explicit DiskVolumeNodeData(const _DiskVolumeData& record);

    // Replaces the children.
    void setSubNode(std::vector<std::shared_ptr<DiskVolumeNodeData>> children);
    const std::vector<std::shared_ptr<DiskVolumeNodeData>>& children() const { return children_; }
    DiskVolumeNodeData* childAtIndex(size_t index) const;
    size_t numberOfChildren() const { return children_.size(); }

    // The name of the disk of the row the user selected.
    void setParentName(const QString& name) { parentName_ = name; }
    const QString& parentName() const { return parentName_; }

    const QString& name() const { return name_; }
    // The device node to open; empty without a kernel name.
    const QString& diskPath() const { return diskPath_; }
    uint64_t capacity() const { return capacity_; }
    uint64_t used() const { return used_; }
    int32_t diskIndex() const { return diskIndex_; }
    int32_t volumeIndex() const { return volumeIndex_; }
    int32_t fileSystem() const { return fileSystem_; }
    int32_t isDmg() const { return isDmg_; }
    int32_t isVolumeDmg() const { return isVolumeDmg_; }
    void setIsVolumeDmg(int32_t flag) { isVolumeDmg_ = flag; }
    int32_t isSSD() const { return isSSD_; }
    int32_t isOzt() const { return isOzt_; }
    int32_t isUSB() const { return isUSB_; }
    int32_t isSystemVolume() const { return isSystemVolume_; }
    void setIsSystemVolume(int32_t flag) { isSystemVolume_ = flag; }
    int32_t isAppleDmg() const { return isAppleDmg_; }
    int32_t beCanOpen() const { return beCanOpen_; }

private:
    QString name_;
    QString parentName_;
    QString diskPath_;
    uint64_t capacity_ = 0;
    uint64_t used_ = 0;
    int32_t diskIndex_ = -1;
    int32_t volumeIndex_ = -1;
    int32_t fileSystem_ = -1;
    int32_t isDmg_ = 0;
    int32_t isVolumeDmg_ = 0;
    int32_t isSSD_ = 0;
    int32_t isOzt_ = 0;
    int32_t isUSB_ = 0;
    int32_t isSystemVolume_ = 0;
    int32_t isAppleDmg_ = 0;
    int32_t beCanOpen_ = 0;
    std::vector<std::shared_ptr<DiskVolumeNodeData>> children_;
};
