#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "Locks.h"

enum EVENT_TYPE : uint32_t {
    EVENT_TYPE_BAD_SECTOR = 1,  // a read of a volume device failed
};

// One queued event with its own copy of the pushed data.
struct _MSG_EVENT {
    EVENT_TYPE type;
    uint32_t size;
    std::vector<uint8_t> data;
};

class INotifyCenter;

// Process-wide queue of engine events for the interface. Events are kept only
// while the center is receiving (it is started and stopped around each scan).
class CMessageCenter {
public:
    // Events beyond this many undelivered ones are dropped.
    static constexpr size_t kMaxQueuedEvents = 4096;

    static CMessageCenter* Instance();

    void StartReceiveMessage();
    void StopReceiveMessage();
    bool IsReceiving();

    // Queues a copy of `size` bytes of `data` while receiving; drops it otherwise.
    void PushEvent(EVENT_TYPE type, int size, void* data);
    // The oldest queued event, or null.
    std::unique_ptr<_MSG_EVENT> PopEvent();
    void Clear();

    // True when `center` is not null and `type` had no center yet.
    bool RegisterNotifyCenter(int type, INotifyCenter* center);
    void UnregisterNotifyCenter(int type);
    INotifyCenter* GetNotifyCenter(int type);

private:
    CMessageCenter();

    mutex_locker lock_;
    bool receiving_ = false;
    std::deque<std::unique_ptr<_MSG_EVENT>> queue_;
    std::map<int, INotifyCenter*> centers_;  // not owned
};
