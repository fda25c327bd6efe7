#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
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

// Receives the events of one type from the message center's delivery thread.
class INotifyCenter {
public:
    virtual ~INotifyCenter() = default;
    void SetType(int type) { type_ = type; }
    int GetType() const { return type_; }
    // Called on the delivery thread with the center's lock held: must not
    // push events or register centers.
    virtual bool Notify(_MSG_EVENT* event) = 0;

private:
    int type_ = 0;
};

// Told of each event of the type it observes; `data` is null for an event
// without data and valid only during the call.
class INotifyObserver {
public:
    virtual ~INotifyObserver() = default;
    virtual void Notify(int type, void* data) = 0;
};

// A notify center that passes each event on to its observers, in the order
// they were added.
class CMyNotifyCenter : public INotifyCenter {
public:
    void AddObserver(INotifyObserver* observer);
    // Removes the first entry equal to `observer`.
    void RemoveObserver(INotifyObserver* observer);
    bool Notify(_MSG_EVENT* event) override;

private:
    void NotifyObserver(int type);

    mutex_locker observersLock_;
    std::vector<INotifyObserver*> observers_;  // not owned
    std::vector<uint8_t> data_;                // copy of the last event's data
};

// Process-wide queue of engine events for the interface. Events are kept only
// while the center is receiving (it is started and stopped around each scan).
// While receiving, a delivery thread hands the queued events, oldest first and
// at most one per delivery interval, to the notify center of their type; while
// no center is registered the events wait in the queue.
class CMessageCenter {
public:
    // Events beyond this many undelivered ones are dropped.
    static constexpr size_t kMaxQueuedEvents = 4096;
    static constexpr std::chrono::milliseconds kDefaultDeliveryInterval{1000};

    static CMessageCenter* Instance();
    ~CMessageCenter();

    void StartReceiveMessage();
    // Stops the delivery thread and drops what it had not delivered.
    void StopReceiveMessage();
    bool IsReceiving();

    // Queues a copy of `size` bytes of `data` while receiving; drops it otherwise.
    void PushEvent(EVENT_TYPE type, int size, void* data);
    // The oldest queued event, or null.
    std::unique_ptr<_MSG_EVENT> PopEvent();
    // Hands the event to every registered center, in ascending order of type.
    void SendEvent(std::unique_ptr<_MSG_EVENT> event);
    void Clear();

    // True when `center` is not null and `type` had no center yet.
    bool RegisterNotifyCenter(int type, INotifyCenter* center);
    void UnregisterNotifyCenter(int type);
    INotifyCenter* GetNotifyCenter(int type);
    // Replaces the center of `type`, or registers it.
    void UpdateNotifyCenter(int type, INotifyCenter* center);

    // The pause after each delivery; tests shorten it.
    void SetDeliveryInterval(std::chrono::milliseconds interval);

private:
    CMessageCenter();
    void DeliveryLoop();
    void SendEventLocked(std::unique_ptr<_MSG_EVENT> event);

    std::mutex lock_;
    std::condition_variable wake_;
    bool receiving_ = false;
    bool stopping_ = false;
    std::chrono::milliseconds interval_ = kDefaultDeliveryInterval;
    std::deque<std::unique_ptr<_MSG_EVENT>> queue_;
    std::map<int, INotifyCenter*> centers_;  // not owned
    std::thread delivery_;
};
