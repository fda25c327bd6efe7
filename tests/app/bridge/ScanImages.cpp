#include "ScanImages.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "DeviceInfo.h"
#include "FileNode.h"
#include "FoundFiles.h"
#include "KvUIDeviceData.h"
#include "KvUIScan.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace fs = std::filesystem;
using harbex::test::FixturePath;
using harbex::test::RunCommand;

namespace bridgetest {

namespace {

constexpr int64_t kFat16Sectors = 65536;
constexpr int64_t kFat32Sectors = 81920;

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

bool WaitForNode(const std::string& node) {
    for (int i = 0; i < 50 && !fs::exists(node); ++i) {
        if (i == 10)
            RunCommand("partx -a " + node.substr(0, node.rfind('p')) + " 2>/dev/null");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return fs::exists(node);
}

// "type<TAB>path<TAB>..." with the path's first component dropped.
std::string WithoutTopFolder(const std::string& line) {
    const size_t pathStart = line.find('\t');
    const size_t slash = line.find('/', pathStart);
    if (pathStart == std::string::npos || slash == std::string::npos)
        return line;
    return line.substr(0, pathStart + 1) + line.substr(slash + 1);
}

}  // namespace

FatDisk::FatDisk() {
    fat16_ = dir_ / "fat16.img";
    fat32_ = dir_ / "fat32.img";
    disk_ = dir_ / "disk.img";
    if (!harbex::test::DecompressXz(FixturePath("fat/fat16_512.img.xz"), fat16_) ||
        !harbex::test::DecompressXz(FixturePath("fat/fat32_512.img.xz"), fat32_))
        return;
    const int64_t first = 2048;
    const int64_t second = first + kFat16Sectors;
    const std::string script = "label: dos\\nstart=" + std::to_string(first) +
                               ", size=" + std::to_string(kFat16Sectors) + ", type=6\\nstart=" +
                               std::to_string(second) + ", size=" + std::to_string(kFat32Sectors) +
                               ", type=c\\n";
    const std::string make =
        "truncate -s " + std::to_string((second + kFat32Sectors + 2048) * 512) + " " +
        Quote(disk_) + " && printf '" + script + "' | sfdisk -q " + Quote(disk_) +
        " && dd if=" + Quote(fat16_) + " of=" + Quote(disk_) +
        " bs=512 seek=" + std::to_string(first) + " conv=notrunc,sparse status=none" +
        " && dd if=" + Quote(fat32_) + " of=" + Quote(disk_) +
        " bs=512 seek=" + std::to_string(second) + " conv=notrunc,sparse status=none";
    if (RunCommand(make + " >/dev/null 2>&1").status != 0)
        return;
    loop_ = std::make_unique<harbex::test::LoopDevice>(disk_, true);
    if (loop_->attached())
        partitioned_ = WaitForNode(loop_->device() + "p1") && WaitForNode(loop_->device() + "p2");
}

std::string FatDisk::name() const {
    return loop_ ? fs::path(loop_->device()).filename().string() : "";
}

std::vector<std::string> ToolListing(const std::string& arguments) {
    const harbex::test::CommandResult run = RunCommand(
        harbex::test::ToolPath("harbex-scan").string() + " " + arguments + " 2>/dev/null");
    std::vector<std::string> lines;
    std::istringstream text(run.output);
    for (std::string line; std::getline(text, line);)
        lines.push_back(WithoutTopFolder(line));
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> BridgeListing() {
    KvUIScan* scan = KvUIScan::instance();
    std::vector<IFileNode*> nodes = scan->KvGetAllPathNode();
    for (const auto& [category, files] : scan->GetTypeMap())
        nodes.insert(nodes.end(), files.begin(), files.end());
    std::vector<std::string> lines;
    for (const FoundEntry& entry : ListFound(nodes))
        lines.push_back(WithoutTopFolder(FormatFound(entry)));
    std::sort(lines.begin(), lines.end());
    return lines;
}

void ReEnumerate() {
    KvUIScan::instance()->ForgetResults();
    KvUIDeviceData::instance()->Clear();
    KvUIDeviceData::instance()->InitDeviceInfo();
}

int DiskIndexOf(const std::string& name) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    for (int index = 0;; ++index) {
        IStorageDevice* disk = model->GetDiskStorageByIndex(index);
        if (disk == nullptr)
            return -1;
        CCollectDiskDeviceInfoStruct* info = DiskRecordOf(disk->GetPrivateData());
        if (info != nullptr && name == info->bsdName)
            return index;
    }
}

}  // namespace bridgetest
