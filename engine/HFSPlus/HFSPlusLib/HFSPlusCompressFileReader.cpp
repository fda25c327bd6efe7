#include "HFSPlusCompressFileReader.h"

#include <algorithm>
#include <new>

#include "EngineLog.h"
#include "FileNode.h"
#include "HFSPlusVolume.h"

CHFSPlusCompressFileReader::CHFSPlusCompressFileReader(CHFSPlusVolume* volume, CFileNode* node)
    : volume_(volume), node_(node) {}

CHFSPlusCompressFileReader::CHFSPlusCompressFileReader(CHFSPlusCompressFileReader* other)
    : volume_(other->volume_), node_(other->node_) {}

uint64_t CHFSPlusCompressFileReader::ReadFork(uint64_t offset, uint8_t* into,
                                              uint64_t length) const {
    const uint64_t blockSize = volume_->GetBlockSize();
    uint64_t done = 0;
    uint64_t runStart = 0;  // fork offset of the current run
    for (const DataRun& run : forkRuns_) {
        if (done == length)
            break;
        const uint64_t runBytes = run.clusterCount * blockSize;
        const uint64_t at = offset + done;
        if (at < runStart + runBytes) {
            const uint64_t within = at - runStart;
            const uint64_t take = std::min(length - done, runBytes - within);
            const uint64_t volumeOffset = uint64_t(run.firstCluster) * blockSize + within;
            const uint64_t got = volume_->Read(volumeOffset, into + done, take);
            done += got;
            if (got != take)
                break;
        }
        runStart += runBytes;
    }
    return done;
}

bool CHFSPlusCompressFileReader::Prepare() const {
    if (prepared_)
        return usable_;
    prepared_ = true;
    if (volume_ == nullptr || volume_->GetHeader() == nullptr || node_ == nullptr)
        return false;
    unsigned char* attribute = nullptr;
    const uint64_t length = volume_->getAttribute(static_cast<uint32_t>(node_->GetCurrentNodeID()),
                                                  "com.apple.decmpfs", &attribute);
    const std::unique_ptr<unsigned char[]> owned(attribute);
    uint32_t type = 0;
    uint64_t stated = 0;
    if (length == 0 || !CHFSPlusDecmpfs::ReadHeader(attribute, length, type, stated))
        return false;

    // The resource fork's extents, bounded by what the volume can hold.
    uint64_t forkLength = 0;
    const uint64_t blockSize = volume_->GetBlockSize();
    const uint64_t volumeBlocks = volume_->GetHeader()->totalBlocks;
    if (IDataRunList* runs = node_->GetDataRunList()) {
        for (DataRun* run = runs->GetFirst(); run != nullptr; run = runs->GetNext()) {
            if (run->firstCluster < 0 || uint64_t(run->firstCluster) >= volumeBlocks ||
                run->clusterCount > volumeBlocks - uint64_t(run->firstCluster))
                break;
            forkRuns_.push_back(*run);
            forkLength += run->clusterCount * blockSize;
        }
    }
    const bool inFork =
        type == CHFSPlusDecmpfs::kZlibResource || type == CHFSPlusDecmpfs::kLzvnResource;
    if (inFork && forkRuns_.empty()) {
        CatchExeception::WriteLog("%s decompress flag %d,got empty IDataRunList\n", "ReadData",
                                  static_cast<int>(type));
        return false;
    }
    usable_ = decmpfs_.Open(
        attribute, length,
        [this](uint64_t offset, uint8_t* into, uint64_t bytes) {
            return ReadFork(offset, into, bytes);
        },
        forkLength);
    return usable_;
}

uint32_t CHFSPlusCompressFileReader::ReadData(int64_t offset, char* buffer, uint32_t length,
                                              int* /*error*/) {
    if (offset < 0 || buffer == nullptr)
        return 0;
    try {
        if (!Prepare())
            return 0;
        return static_cast<uint32_t>(
            decmpfs_.Read(uint64_t(offset), reinterpret_cast<uint8_t*>(buffer), length));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

IFileReader* CHFSPlusCompressFileReader::Clone() {
    return new (std::nothrow) CHFSPlusCompressFileReader(this);
}

int64_t CHFSPlusCompressFileReader::GetDataSize() const {
    if (node_ == nullptr)
        return 0;
    const int64_t nodeSize = std::max<int64_t>(node_->GetFileSize(), 0);
    bool usable = false;
    try {
        usable = Prepare();
    } catch (const std::bad_alloc&) {
    }
    if (usable)
        return static_cast<int64_t>(std::min<uint64_t>(uint64_t(nodeSize), decmpfs_.Size()));
    // Nothing decodes: a bounded hole, read as a failure, rather than the
    // size a damaged attribute may claim; never an empty file read whole.
    return static_cast<int64_t>(
        std::clamp<uint64_t>(uint64_t(nodeSize), 1, CHFSPlusDecmpfs::kChunkBytes));
}

uint32_t CHFSPlusCompressFileReader::IsCompressFile() {
    return node_ != nullptr ? node_->IsCompressed() : 0;
}

void CHFSPlusCompressFileReader::Release() {
    delete this;
}
