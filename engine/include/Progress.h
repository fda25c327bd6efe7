#pragma once

#include <cstdint>

#include "ResultCode.h"

enum PROGRESS_STATE : uint32_t {
    PROGRESS_STATE_FIRST = 0,    // first record of a counted walk; carries the total
    PROGRESS_STATE_REFRESH = 1,  // the receiver only refreshes its display
    PROGRESS_STATE_RUNNING = 2,
    PROGRESS_STATE_FINISHED = 3,
};

// One progress report. Build it value-initialised (`_PROGRESS_INFO info{};`):
// every field a step does not name stays 0.
struct _PROGRESS_INFO {
    uint32_t state;
    uint64_t total;
    uint64_t done;
    RESULT_CODE result;
    uint8_t reserved[4096];
};
static_assert(sizeof(_PROGRESS_INFO) == 4128, "the progress record is exchanged whole");

// Progress and cancel sink of every engine operation; called on the
// operation's own thread.
class IProgress {
public:
    virtual ~IProgress() = default;
    // The receiver copies the record; the engine ignores the answer.
    virtual int UpdateProgress(_PROGRESS_INFO* info) = 0;
    // 0 when the operation must stop; may block while the user has paused it.
    virtual int Continued() = 0;
    // Nonzero when found items are to be built into result trees at the end.
    virtual int shouldBuild() = 0;
};
