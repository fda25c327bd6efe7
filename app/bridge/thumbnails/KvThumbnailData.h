#pragma once

#include <QTemporaryFile>

#include <cstdint>
#include <memory>
#include <vector>

class IDataRecovery;
class IFileNode;
class IFileReader;

// A found file's data, read from the scanned device through a copy-out
// object made for this request alone: the recovery worker's objects are
// never used from here, so thumbnails and a running recovery do not share
// one. Requests read one at a time (the device and the file's run list keep
// read positions).
class KvThumbnailData {
public:
    explicit KvThumbnailData(IFileNode* node);
    ~KvThumbnailData();
    KvThumbnailData(const KvThumbnailData&) = delete;
    KvThumbnailData& operator=(const KvThumbnailData&) = delete;

    // False when the scan has no copy-out object or reader for the file.
    bool valid() const { return reader_ != nullptr; }

    // The first `length` bytes, fewer when the file ends first; empty when a
    // read fails.
    std::vector<uint8_t> read(int64_t length);
    // A small JPEG preview near the start of the file; empty when none.
    std::vector<uint8_t> smallJpeg(int64_t capacity);
    // The first `limit` bytes copied to a new temporary file (deleted with
    // it); null when the copy failed.
    std::unique_ptr<QTemporaryFile> copyOut(int64_t limit);

private:
    IDataRecovery* recovery_ = nullptr;
    IFileReader* reader_ = nullptr;
};
