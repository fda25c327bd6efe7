#pragma once

#include <cstddef>
#include <cstdint>

// How a KvReadAsyncData call ended.
enum class AsyncReadStatus {
    kComplete,  // every byte was read
    kShort,     // the end of the file or device came first
    kFailed,    // bad argument or read error
};

// Reads `length` bytes at byte `offset` of `fd` into `buffer` in pieces of at
// most 4 MiB. Answers `length` when every byte was read and 0 otherwise; a
// piece that was not read whole is zero-filled and the next piece is still
// read. Every call is serialised under one process-wide lock. `status`, when
// given, says why a read failed.
int64_t KvReadAsyncData(void* buffer, int fd, int64_t offset, int64_t length,
                        AsyncReadStatus* status = nullptr);

// Memory for reading whole multi-MiB blocks: page-aligned (the kernel copies
// into a misaligned buffer about half as fast) and, from 2 MiB on, asked to be
// backed by huge pages, which cuts a fresh buffer's page faults by 512 and the
// TLB misses of every copy into it. Answers nullptr when out of memory.
void* AllocateReadBuffer(size_t bytes);
void FreeReadBuffer(void* buffer);
