#include "DeviceTestData.h"

#include <fcntl.h>
#include <unistd.h>

#include <random>

namespace harbex::test {

std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return bytes;
}

std::vector<uint8_t> PreadRange(const std::filesystem::path& path, int64_t offset, size_t length) {
    std::vector<uint8_t> bytes(length);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t got = fd < 0 ? -1 : pread(fd, bytes.data(), length, offset);
    if (fd >= 0) {
        close(fd);
    }
    bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return bytes;
}

}  // namespace harbex::test

#include <cstring>

#include "DeviceInfo.h"
#include "TestSupport.h"

namespace harbex::test {

namespace {

void PutBig(std::vector<uint8_t>& bytes, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
    }
}

std::string EncodeBase64(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = bytes[i] << 16;
        if (i + 1 < bytes.size())
            group |= bytes[i + 1] << 8;
        if (i + 2 < bytes.size())
            group |= bytes[i + 2];
        text += digits[group >> 18];
        text += digits[(group >> 12) & 63];
        text += i + 1 < bytes.size() ? digits[(group >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? digits[group & 63] : '=';
        if (i % 48 == 45)
            text += "\n\t";  // property lists wrap their data
    }
    return text;
}

}  // namespace

COZTDeviceInfoStruct WriteOztImage(const std::filesystem::path& path,
                                   const std::vector<uint8_t>& sectors, int64_t dataOffset,
                                   const char* deviceName, int64_t lengthError) {
    COZTDeviceInfoStruct block{};
    block.sectorSize = 512;
    block.sectorCount = static_cast<int64_t>(sectors.size() / 512);
    block.dataOffset = dataOffset;
    block.imageFileLength = dataOffset + static_cast<int64_t>(sectors.size()) + lengthError;
    std::strncpy(block.deviceName, deviceName, sizeof(block.deviceName) - 1);
    block.timeStamp = 0x1122334455667788ull;
    std::vector<uint8_t> file(static_cast<size_t>(dataOffset), 0);
    std::memcpy(file.data(), kOztMagic, 4);
    const int32_t length = kOztInfoLength;
    std::memcpy(file.data() + 4, &length, 4);
    std::memcpy(file.data() + 8, &block, sizeof(block));
    file.insert(file.end(), sectors.begin(), sectors.end());
    WriteFile(path, file);
    return block;
}

void WriteUdifImageWithPlist(const std::filesystem::path& path, const std::vector<uint8_t>& data,
                             uint64_t sectorCount, const std::string& plist) {
    std::vector<uint8_t> file = data;
    const uint64_t plistOffset = file.size();
    file.insert(file.end(), plist.begin(), plist.end());
    std::vector<uint8_t> trailer(512, 0);
    std::memcpy(trailer.data(), "koly", 4);
    PutBig(trailer, 4, 4, 4);
    PutBig(trailer, 8, 512, 4);
    PutBig(trailer, 216, plistOffset, 8);
    PutBig(trailer, 224, plist.size(), 8);
    PutBig(trailer, 492, sectorCount, 8);
    file.insert(file.end(), trailer.begin(), trailer.end());
    WriteFile(path, file);
}

void WriteUdifImage(const std::filesystem::path& path, const std::vector<uint8_t>& data,
                    uint64_t sectorCount, const std::vector<UdifBlock>& blocks,
                    int64_t declaredEntries) {
    std::vector<uint8_t> table(204 + 40 * blocks.size(), 0);
    std::memcpy(table.data(), "mish", 4);
    PutBig(table, 4, 1, 4);
    PutBig(table, 16, sectorCount, 8);
    PutBig(table, 200, declaredEntries < 0 ? blocks.size() : declaredEntries, 4);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const size_t at = 204 + 40 * i;
        PutBig(table, at, blocks[i].type, 4);
        PutBig(table, at + 8, blocks[i].firstSector, 8);
        PutBig(table, at + 16, blocks[i].sectorCount, 8);
        PutBig(table, at + 24, blocks[i].offset, 8);
        PutBig(table, at + 32, blocks[i].length, 8);
    }
    const std::string plist =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n<dict>\n\t<key>resource-fork</key>\n\t<dict>\n"
        "\t\t<key>blkx</key>\n\t\t<array>\n\t\t\t<dict>\n"
        "\t\t\t\t<key>Attributes</key>\n\t\t\t\t<string>0x0050</string>\n"
        "\t\t\t\t<key>Data</key>\n\t\t\t\t<data>\n\t" +
        EncodeBase64(table) +
        "\n\t\t\t\t</data>\n\t\t\t\t<key>Name</key>\n\t\t\t\t<string>whole disk</string>\n"
        "\t\t\t</dict>\n\t\t</array>\n\t</dict>\n</dict>\n</plist>\n";
    WriteUdifImageWithPlist(path, data, sectorCount, plist);
}

}  // namespace harbex::test
