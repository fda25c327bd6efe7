#include "EnumTestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "StorageDeviceData.h"
#include "TestSupport.h"

namespace enumtest {

CCollectDiskDeviceInfoStruct* DiskInfo(IStorageDevice* device) {
    return DiskRecordOf(device->GetPrivateData());
}

CCollectedPartitionDeviceInfoStruct* PartitionInfo(IStorageDevice* device) {
    return PartitionRecordOf(device->GetPrivateData());
}

CCollectedVolumeDeviceInfoStruct* VolumeInfo(IStorageDevice* device) {
    return VolumeRecordOf(device->GetPrivateData());
}

namespace {

class FakeNtfsAnalyzer : public IVolumeAnalyze {
public:
    FakeNtfsAnalyzer(IStorageDevice* device, unsigned long long start) {
        std::vector<uint8_t> sector(device->GetSectorSize());
        if (device->ReadSector(sector.data(), static_cast<int64_t>(start), 1) &&
            std::memcmp(sector.data() + 3, "NTFS    ", 8) == 0) {
            recognised_ = true;
            label_.assign(reinterpret_cast<const char*>(sector.data() + 0x100));
        }
    }
    enumFILE_SYSTEM_TYPE GetFileSystemType() override {
        return recognised_ ? FILE_SYSTEM_NTFS : FILE_SYSTEM_UNKNOWN;
    }
    unsigned long long GetTotalSector() override { return 0; }
    void GetLabel(char* buffer, int size) override {
        std::strncpy(buffer, label_.c_str(), static_cast<size_t>(size) - 1);
        buffer[size - 1] = '\0';
    }

private:
    bool recognised_ = false;
    std::string label_;
};

}  // namespace

VolumeAnalyzeFactory FakeNtfsAnalyzerFactory() {
    return [](IStorageDevice* device, unsigned long long start) -> IVolumeAnalyze* {
        return new FakeNtfsAnalyzer(device, start);
    };
}

std::vector<uint8_t> FakeNtfsBootSector(const std::string& label) {
    std::vector<uint8_t> sector(512, 0);
    sector[0] = 0xEB;
    sector[1] = 0x52;
    sector[2] = 0x90;
    std::memcpy(sector.data() + 3, "NTFS    ", 8);
    std::memcpy(sector.data() + 0x100, label.c_str(), label.size());
    sector[510] = 0x55;
    sector[511] = 0xAA;
    return sector;
}

void MakeSparseFile(const std::filesystem::path& path, uint64_t bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc).close();
    std::filesystem::resize_file(path, bytes);
}

void WriteAt(const std::filesystem::path& path, uint64_t offset, const std::vector<uint8_t>& data) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path.string());
    ssize_t written = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
    ::close(fd);
    if (written != static_cast<ssize_t>(data.size()))
        throw std::runtime_error("short write");
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

bool RunSfdisk(const std::string& target, const std::string& script) {
    return harbex::test::RunCommand("printf '" + script +
                                    "' | sfdisk -q --no-reread --no-tell-kernel " + Quote(target) +
                                    " >/dev/null 2>&1")
               .status == 0;
}

std::vector<std::pair<int64_t, int64_t>> SfdiskDumpStarts(const std::string& target) {
    std::vector<std::pair<int64_t, int64_t>> partitions;
    std::istringstream lines(harbex::test::RunCommand("sfdisk --dump " + Quote(target)).output);
    for (std::string line; std::getline(lines, line);) {
        size_t start = line.find("start=");
        size_t size = line.find("size=");
        if (start == std::string::npos || size == std::string::npos)
            continue;
        partitions.emplace_back(std::stoll(line.substr(start + 6)),
                                std::stoll(line.substr(size + 5)));
    }
    return partitions;
}

}  // namespace enumtest
