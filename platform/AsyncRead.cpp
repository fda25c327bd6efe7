#include "AsyncRead.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr int64_t kPieceBytes = 0x400000;
constexpr size_t kPageBytes = 4096;
constexpr size_t kHugePageBytes = 2 << 20;

std::mutex& ReadLock() {
    static std::mutex lock;
    return lock;
}

// Reads one piece whole, continuing after partial transfers. Plain pread into
// the caller's buffer: measured faster than POSIX aio here, and a read that
// returns can no longer write into the buffer.
AsyncReadStatus ReadPiece(uint8_t* target, int fd, int64_t offset, int64_t length) {
    int64_t done = 0;
    while (done < length) {
        const ssize_t got =
            pread(fd, target + done, static_cast<size_t>(length - done), offset + done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return AsyncReadStatus::kFailed;
        }
        if (got == 0) {
            return AsyncReadStatus::kShort;
        }
        done += got;
    }
    return AsyncReadStatus::kComplete;
}

}  // namespace

int64_t KvReadAsyncData(void* buffer, int fd, int64_t offset, int64_t length,
                        AsyncReadStatus* status) {
    AsyncReadStatus result = AsyncReadStatus::kComplete;
    if (buffer == nullptr || fd < 0 || offset < 0 || length <= 0 || length > INT64_MAX - offset) {
        result = AsyncReadStatus::kFailed;
    } else {
        std::lock_guard<std::mutex> guard(ReadLock());
        auto* target = static_cast<uint8_t*>(buffer);
        for (int64_t position = 0; position < length; position += kPieceBytes) {
            const int64_t piece = std::min(kPieceBytes, length - position);
            const AsyncReadStatus pieceStatus =
                ReadPiece(target + position, fd, offset + position, piece);
            if (pieceStatus != AsyncReadStatus::kComplete) {
                std::memset(target + position, 0, static_cast<size_t>(piece));
                if (result != AsyncReadStatus::kFailed) {
                    result = pieceStatus;
                }
            }
        }
    }
    if (status != nullptr) {
        *status = result;
    }
    return result == AsyncReadStatus::kComplete ? length : 0;
}

void* AllocateReadBuffer(size_t bytes) {
    const size_t alignment = bytes >= kHugePageBytes ? kHugePageBytes : kPageBytes;
    if (bytes == 0 || bytes > SIZE_MAX - alignment) {
        return nullptr;
    }
    const size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    void* buffer = std::aligned_alloc(alignment, rounded);
    if (buffer != nullptr && alignment == kHugePageBytes) {
        // Only a hint: without huge pages the buffer works as well.
        madvise(buffer, rounded, MADV_HUGEPAGE);
    }
    return buffer;
}

void FreeReadBuffer(void* buffer) {
    std::free(buffer);
}
