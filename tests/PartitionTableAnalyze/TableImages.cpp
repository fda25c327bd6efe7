#include "TableImages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "TestSupport.h"

namespace tables {

void MakeSparseImage(const std::filesystem::path& image, uint64_t bytes) {
    std::ofstream(image, std::ios::binary | std::ios::trunc).close();
    std::filesystem::resize_file(image, bytes);
}

void WriteAt(const std::filesystem::path& image, uint64_t offset,
             const std::vector<uint8_t>& data) {
    int fd = ::open(image.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + image.string());
    ssize_t written = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
    ::close(fd);
    if (written != static_cast<ssize_t>(data.size()))
        throw std::runtime_error("short write");
}

bool RunSfdisk(const std::string& target, const std::string& script) {
    std::string command =
        "printf '" + script + "' | sfdisk -q --no-reread --no-tell-kernel '" + target + "' 2>&1";
    return harbex::test::RunCommand(command).status == 0;
}

namespace {

std::string Field(const std::string& line, const std::string& key) {
    size_t at = line.find(key + "=");
    if (at == std::string::npos)
        return {};
    size_t begin = line.find_first_not_of(' ', at + key.size() + 1);
    size_t end = line.find(',', begin);
    return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace

std::vector<ToolPartition> SfdiskDump(const std::string& target) {
    std::vector<ToolPartition> partitions;
    std::istringstream lines(harbex::test::RunCommand("sfdisk --dump '" + target + "'").output);
    for (std::string line; std::getline(lines, line);) {
        size_t colon = line.find(" : start=");
        if (colon == std::string::npos)
            continue;
        size_t digits = colon;
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(line[digits - 1])))
            --digits;
        ToolPartition p;
        p.number = static_cast<uint32_t>(std::stoul(line.substr(digits, colon - digits)));
        p.start = std::stoll(Field(line, "start"));
        p.size = std::stoll(Field(line, "size"));
        p.type = Field(line, "type");
        p.uuid = Field(line, "uuid");
        partitions.push_back(p);
    }
    return partitions;
}

std::vector<ToolPartition> PartxShow(const std::string& target) {
    std::vector<ToolPartition> partitions;
    std::istringstream lines(
        harbex::test::RunCommand("partx --show --noheadings --output NR,START,SECTORS '" + target +
                                 "'")
            .output);
    for (ToolPartition p; lines >> p.number >> p.start >> p.size;)
        partitions.push_back(p);
    return partitions;
}

std::string GuidText(const uint8_t* b) {
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

std::vector<uint8_t> MbrSector(const std::vector<MbrSlot>& slots) {
    std::vector<uint8_t> sector(512, 0);
    for (size_t i = 0; i < slots.size() && i < 4; ++i) {
        uint8_t* raw = sector.data() + 446 + i * 16;
        raw[0] = slots[i].boot;
        raw[4] = slots[i].type;
        for (int b = 0; b < 4; ++b) {
            raw[8 + b] = static_cast<uint8_t>(slots[i].first >> (8 * b));
            raw[12 + b] = static_cast<uint8_t>(slots[i].count >> (8 * b));
        }
    }
    sector[510] = 0x55;
    sector[511] = 0xAA;
    return sector;
}

namespace {

void PutBE(std::vector<uint8_t>& b, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}

}  // namespace

void WriteApm(const std::filesystem::path& image, uint32_t blockSize,
              const std::vector<MapEntry>& entries, uint32_t claimedCount) {
    std::vector<uint8_t> descriptor(512, 0);
    descriptor[0] = 'E';
    descriptor[1] = 'R';
    PutBE(descriptor, 2, blockSize, 2);
    WriteAt(image, 0, descriptor);
    for (size_t i = 0; i < entries.size(); ++i) {
        std::vector<uint8_t> block(512, 0);
        block[0] = 'P';
        block[1] = 'M';
        PutBE(block, 4, claimedCount, 4);
        PutBE(block, 8, entries[i].first, 4);
        PutBE(block, 12, entries[i].length, 4);
        std::memcpy(block.data() + 48, entries[i].type, std::strlen(entries[i].type));
        WriteAt(image, (i + 1) * uint64_t{blockSize}, block);
    }
}

}  // namespace tables
