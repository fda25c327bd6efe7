#pragma once

#include <cstdint>

// Reads `length` bytes at byte `offset` of `fd` into `buffer`. Answers `length`
// when every byte was read and 0 otherwise (failure, end of file, bad argument);
// the bytes of a failed piece are zero-filled. Every call is serialised under
// one process-wide lock.
int64_t KvReadAsyncData(void* buffer, int fd, int64_t offset, int64_t length);
