#include "AsyncRead.h"

#include <aio.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace {

constexpr int64_t kPieceBytes = 0x400000;
constexpr int kDefaultTimeoutMs = 30000;

std::mutex& ReadLock() {
    static std::mutex lock;
    return lock;
}

// Waits for a submitted request until it completes or `timeoutMs` passes.
// A request still running after the timeout is cancelled, and when it cannot
// be cancelled it is waited for: it writes into the caller's buffer.
bool WaitForRequest(aiocb& request, int timeoutMs) {
    const aiocb* list[1] = {&request};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (aio_error(&request) == EINPROGRESS) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            if (aio_cancel(request.aio_fildes, &request) != AIO_CANCELED) {
                while (aio_error(&request) == EINPROGRESS) {
                    aio_suspend(list, 1, nullptr);
                }
            }
            aio_return(&request);
            return false;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        aio_suspend(list, 1, &wait);
    }
    return true;
}

// Reads one piece whole, resubmitting after partial transfers.
AsyncReadStatus ReadPiece(uint8_t* target, int fd, int64_t offset, int64_t length, int timeoutMs) {
    int64_t done = 0;
    while (done < length) {
        aiocb request{};
        request.aio_fildes = fd;
        request.aio_buf = target + done;
        request.aio_nbytes = static_cast<size_t>(length - done);
        request.aio_offset = offset + done;
        if (aio_read(&request) != 0 || !WaitForRequest(request, timeoutMs)) {
            return AsyncReadStatus::kFailed;
        }
        const ssize_t got = aio_return(&request);
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

int64_t KvReadAsyncDataWithTimeout(void* buffer, int fd, int64_t offset, int64_t length,
                                   int timeoutMs, AsyncReadStatus* status) {
    AsyncReadStatus result = AsyncReadStatus::kComplete;
    if (buffer == nullptr || fd < 0 || offset < 0 || length <= 0 || length > INT64_MAX - offset) {
        result = AsyncReadStatus::kFailed;
    } else {
        std::lock_guard<std::mutex> guard(ReadLock());
        auto* target = static_cast<uint8_t*>(buffer);
        for (int64_t position = 0; position < length; position += kPieceBytes) {
            const int64_t piece = std::min(kPieceBytes, length - position);
            const AsyncReadStatus pieceStatus =
                ReadPiece(target + position, fd, offset + position, piece, timeoutMs);
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

int64_t KvReadAsyncData(void* buffer, int fd, int64_t offset, int64_t length,
                        AsyncReadStatus* status) {
    return KvReadAsyncDataWithTimeout(buffer, fd, offset, length, kDefaultTimeoutMs, status);
}
