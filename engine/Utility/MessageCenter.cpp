#include <cstring>

#include "MessageCenter.h"

CMessageCenter* CMessageCenter::Instance() {
    static CMessageCenter center;
    return &center;
}

CMessageCenter::CMessageCenter() {
    StartReceiveMessage();
}

void CMessageCenter::StartReceiveMessage() {
    autolocker<mutex_locker> hold(lock_);
    if (!receiving_)
        queue_.clear();
    receiving_ = true;
}

void CMessageCenter::StopReceiveMessage() {
    autolocker<mutex_locker> hold(lock_);
    receiving_ = false;
    queue_.clear();
}

bool CMessageCenter::IsReceiving() {
    autolocker<mutex_locker> hold(lock_);
    return receiving_;
}

void CMessageCenter::PushEvent(EVENT_TYPE type, int size, void* data) {
    autolocker<mutex_locker> hold(lock_);
    if (!receiving_ || queue_.size() >= kMaxQueuedEvents)
        return;
    auto event = std::make_unique<_MSG_EVENT>();
    event->type = type;
    event->size = (size > 0 && data) ? static_cast<uint32_t>(size) : 0;
    event->data.resize(event->size);
    if (event->size)
        std::memcpy(event->data.data(), data, event->size);
    queue_.push_back(std::move(event));
}

std::unique_ptr<_MSG_EVENT> CMessageCenter::PopEvent() {
    autolocker<mutex_locker> hold(lock_);
    if (queue_.empty())
        return nullptr;
    std::unique_ptr<_MSG_EVENT> event = std::move(queue_.front());
    queue_.pop_front();
    return event;
}

void CMessageCenter::Clear() {
    autolocker<mutex_locker> hold(lock_);
    queue_.clear();
}

bool CMessageCenter::RegisterNotifyCenter(int type, INotifyCenter* center) {
    autolocker<mutex_locker> hold(lock_);
    if (!center)
        return false;
    return centers_.emplace(type, center).second;
}

void CMessageCenter::UnregisterNotifyCenter(int type) {
    autolocker<mutex_locker> hold(lock_);
    centers_.erase(type);
}

INotifyCenter* CMessageCenter::GetNotifyCenter(int type) {
    autolocker<mutex_locker> hold(lock_);
    auto found = centers_.find(type);
    return found == centers_.end() ? nullptr : found->second;
}
