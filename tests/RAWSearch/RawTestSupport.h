#pragma once

// Small stand-ins for what the raw search talks to: a device in memory, a
// tree builder that keeps what it is offered, a progress sink that stops on
// request, and a scope that puts a test analyser in the registry's place.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DirectoryTreeBuilder.h"
#include "FileNode.h"
#include "Progress.h"
#include "RAWSearchController.h"
#include "RawFileAnalyserList.h"
#include "StorageDevice.h"

namespace harbex::test {

// Sectors in memory; sectors listed in `bad` cannot be read.
class MemoryDevice : public IStorageDevice {
public:
    MemoryDevice(std::vector<uint8_t> bytes, uint32_t sectorSize)
        : bytes_(std::move(bytes)), sectorSize_(sectorSize) {
        bytes_.resize((bytes_.size() + sectorSize - 1) / sectorSize * sectorSize);
    }
    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        ++reads;
        if (first < 0 || count <= 0 || first + count > GetTotalSectors())
            return false;
        for (int64_t s = first; s < first + count; ++s) {
            if (bad.count(s))
                return false;
        }
        std::memcpy(buffer, bytes_.data() + first * sectorSize_, size_t(count) * sectorSize_);
        return true;
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return int64_t(bytes_.size() / sectorSize_); }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return nullptr; }
    void SetPrivateData(IStorageDeviceData*) override {}
    uint32_t GetType() override { return kStorageDeviceDisk; }
    RESULT_CODE GetLastError() override { return 0; }

    std::vector<uint8_t>& bytes() { return bytes_; }
    std::set<int64_t> bad;
    int reads = 0;

private:
    std::vector<uint8_t> bytes_;
    uint32_t sectorSize_;
};

// Keeps every node it takes, in order; `refuse` turns nodes away.
class RecordingBuilder : public IDirecotryTreeBuilder {
public:
    struct Added {
        IFileNode* node;
        _tagSearcherType type;
    };
    ~RecordingBuilder() override {
        for (Added& added : this->added)
            added.node->Release();
    }
    bool Initialize(const char*, IDrirectoryTree*, IRecoveryFilter*) override { return true; }
    bool AddNode(IFileNode* node, _tagSearcherType type) override {
        if (node == nullptr || (refuse && refuse(node)))
            return false;
        added.push_back({node, type});
        return true;
    }
    bool AddSearcherInfo(_tagSearcherType type, long long topId) override {
        opened.push_back({type, topId});
        return true;
    }
    void FlashBuild(_tagSearcherType type) override { flashed.push_back(type); }
    void Release() override {}
    void SetPartitonDevice(CSearchedPartitionInfo*, IStorageDevice*) override {}

    // The files of one tree, in the order they were added.
    std::vector<IFileNode*> Files(_tagSearcherType type) const {
        std::vector<IFileNode*> files;
        for (const Added& entry : added) {
            if (entry.type == type && !entry.node->IsDirectory())
                files.push_back(entry.node);
        }
        return files;
    }

    std::vector<Added> added;
    std::vector<std::pair<_tagSearcherType, long long>> opened;
    std::vector<_tagSearcherType> flashed;
    std::function<bool(IFileNode*)> refuse;
};

// Answers "go on" `goOn` times, then "stop".
class StoppingProgress : public IProgress {
public:
    int UpdateProgress(_PROGRESS_INFO*) override { return 0; }
    int Continued() override { return goOn-- > 0 ? 1 : 0; }
    int shouldBuild() override { return 1; }
    long goOn = 1L << 40;
};

// Puts a factory in the registry's place for one analyser class name.
class ScopedAnalyser {
public:
    ScopedAnalyser(std::string name, CRawFileAnalyserListSingle::Factory factory)
        : name_(std::move(name)),
          previous_(
              CRawFileAnalyserListSingle::RegisterAnalyserFactory(name_, std::move(factory))) {}
    ~ScopedAnalyser() { CRawFileAnalyserListSingle::RegisterAnalyserFactory(name_, previous_); }
    ScopedAnalyser(const ScopedAnalyser&) = delete;
    ScopedAnalyser& operator=(const ScopedAnalyser&) = delete;

private:
    std::string name_;
    CRawFileAnalyserListSingle::Factory previous_;
};

// The bytes of a PNG picture: signature, IHDR, the given IDAT lengths, IEND.
inline std::vector<uint8_t> MakePng(const std::vector<uint32_t>& idatLengths, bool withEnd = true) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    auto chunk = [&png](const char* type, uint32_t length, uint8_t fill) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(uint8_t(length >> shift));
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), length, fill);
        png.insert(png.end(), {0xC0, 0xFF, 0xEE, 0x01});  // CRC, not checked
    };
    chunk("IHDR", 13, 0x01);
    for (uint32_t length : idatLengths)
        chunk("IDAT", length, 0x5A);
    if (withEnd)
        chunk("IEND", 0, 0);
    return png;
}

// Writes a chunk length (big-endian) at byte `at` of a picture.
inline void SetChunkLength(std::vector<uint8_t>& png, size_t at, uint32_t length) {
    for (int k = 0; k < 4; ++k)
        png[at + size_t(k)] = uint8_t(length >> (24 - 8 * k));
}

// The analyser of registry set 0 that takes `sector` (with the bytes after
// it), picked as the raw search picks it: by the first four bytes, then the
// first two, then the list. Null when none does.
inline IRawFileAnalyser* Recognise(const uint8_t* sector, CRawFileInfo& info) {
    auto* registry = CRawFileAnalyserListSingle::CreateInstance();
    uint32_t key = 0;
    std::memcpy(&key, sector, 4);
    auto accepts = [&](IRawFileAnalyser* analyser) {
        info = CRawFileInfo();
        return analyser->AnalyseBuffer(const_cast<uint8_t*>(sector), info) == 1;
    };
    auto& map = registry->GetAnalyserMap(0);
    if (auto found = map.find(key); found != map.end() && accepts(found->second))
        return found->second;
    auto [first, last] = registry->GetAnalyserMultimap(0).equal_range(uint16_t(key));
    for (auto it = first; it != last; ++it) {
        if (accepts(it->second))
            return it->second;
    }
    for (IRawFileAnalyser* analyser : registry->GetAnalyserList(0)) {
        if (accepts(analyser))
            return analyser;
    }
    return nullptr;
}

// Puts `data` at byte `at` of `image`, growing it as needed.
inline void Place(std::vector<uint8_t>& image, size_t at, const std::vector<uint8_t>& data) {
    if (data.empty())
        return;
    if (image.size() < at + data.size())
        image.resize(at + data.size());
    std::memcpy(image.data() + at, data.data(), data.size());
}

// One file the raw search carved: where, how long, its node's name, the tree
// it went to, and for the tag tree the folder it sits in (the tag's value).
struct CarvedFile {
    int64_t start = 0;
    int64_t size = 0;
    std::string name;
    _tagSearcherType tree = SEARCHER_RAW_BY_TYPE;
    std::string folder;
};

// Runs the raw search with the registry's analysers over `device` in blocks
// of `perBlock` sectors; answers the carved files by start sector.
inline std::map<int64_t, CarvedFile> CarveDevice(IStorageDevice& device, int perBlock) {
    RecordingBuilder builder;
    StoppingProgress progress;
    CRAWSearchController search;
    search.SetIProgressSink(&progress);
    search.SetDevice(&device);
    search.SetBlockSize(perBlock);
    search.SetDirecotryTreeBuilder(&builder);
    search.PreparetoSearch();
    const int64_t total = device.GetTotalSectors();
    for (int64_t first = 0; first < total; first += perBlock)
        search.AnalyzeBlock(first, std::min<int64_t>(perBlock, total - first));
    search.EndSearch(1);

    std::map<int64_t, CarvedFile> carved;
    for (const auto tree : {SEARCHER_RAW_BY_TYPE, SEARCHER_RAW_BY_TAG}) {
        for (IFileNode* node : builder.Files(tree)) {
            auto* file = dynamic_cast<CFileNode*>(node);
            CarvedFile entry;
            entry.start = file->GetDataRunList()->GetFirst()->firstCluster;
            entry.size = node->GetFileSize();
            entry.name = node->GetFileName();
            entry.tree = tree;
            for (const auto& added : builder.added) {
                auto* folder = dynamic_cast<CFileNode*>(added.node);
                if (folder != nullptr && folder->IsDirectory() &&
                    folder->GetCurrentNodeID() == file->GetParentNodeID() && added.type == tree)
                    entry.folder = folder->GetFileName();
            }
            carved[entry.start] = entry;
        }
    }
    return carved;
}

// The same over bytes in memory with the given sector size.
inline std::map<int64_t, CarvedFile> CarveImage(std::vector<uint8_t> image, uint32_t sectorSize) {
    MemoryDevice device(std::move(image), sectorSize);
    return CarveDevice(device, int(0x400000 / sectorSize));
}

}  // namespace harbex::test
