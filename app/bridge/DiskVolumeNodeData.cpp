#include "DiskVolumeNodeData.h"

#include <cstring>

#include "KvUIDeviceData.h"
#include "KvUIPublic.h"

namespace {

// Longest device path kept, as the device page's buffers hold.
constexpr size_t kMostPathBytes = 255;

}  // namespace

DiskVolumeNodeData::DiskVolumeNodeData(const _DiskVolumeData& record)
    : capacity_(record.capacity),
      used_(record.used),
      diskIndex_(record.diskIndex),
      volumeIndex_(record.volumeIndex),
      fileSystem_(record.fileSystem),
      isDmg_(record.isDmg),
      isSSD_(record.isSSD),
      isOzt_(record.isOzt),
      isUSB_(record.isUSB),
      isAppleDmg_(record.isAppleDmg),
      beCanOpen_(record.beCanOpen) {
    if (record.name == nullptr || record.name[0] == '\0')
        name_ = KvUIPublic::LocalizedString("DEVICE_NAME_UNTITILED");
    else
        name_ = KvUIPublic::Utf8OrUnknown(record.name);
    if (record.bsdName != nullptr && record.bsdName[0] != '\0') {
        // Kernel names open under /dev; an image is named by its own path.
        std::string path = record.bsdName[0] == '/' ? "" : "/dev/";
        path.append(record.bsdName, strnlen(record.bsdName, kMostPathBytes - path.size()));
        diskPath_ = QString::fromUtf8(path);
    }
}

void DiskVolumeNodeData::setSubNode(std::vector<std::shared_ptr<DiskVolumeNodeData>> children) {
    children_ = std::move(children);
}

DiskVolumeNodeData* DiskVolumeNodeData::childAtIndex(size_t index) const {
    return index < children_.size() ? children_[index].get() : nullptr;
}
