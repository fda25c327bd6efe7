#include "MessageCenter.h"

#include <cstring>

void CMyNotifyCenter::AddObserver(INotifyObserver* observer) {
    autolocker<mutex_locker> hold(observersLock_);
    observers_.push_back(observer);
}

void CMyNotifyCenter::RemoveObserver(INotifyObserver* observer) {
    autolocker<mutex_locker> hold(observersLock_);
    for (auto it = observers_.begin(); it != observers_.end(); ++it) {
        if (*it == observer) {
            observers_.erase(it);
            return;
        }
    }
}

bool CMyNotifyCenter::Notify(_MSG_EVENT* event) {
    if (event == nullptr)
        return false;
    autolocker<mutex_locker> hold(observersLock_);
    data_.assign(event->data.begin(), event->data.begin() + event->size);
    NotifyObserver(static_cast<int>(event->type));
    return true;
}

void CMyNotifyCenter::NotifyObserver(int type) {
    void* data = data_.empty() ? nullptr : data_.data();
    for (INotifyObserver* observer : observers_)
        observer->Notify(type, data);
}

CMessageCenter* CMessageCenter::Instance() {
    static CMessageCenter center;
    return &center;
}

CMessageCenter::CMessageCenter() {
    StartReceiveMessage();
}

CMessageCenter::~CMessageCenter() {
    StopReceiveMessage();
    std::lock_guard hold(lock_);
    centers_.clear();
}

void CMessageCenter::StartReceiveMessage() {
    std::lock_guard hold(lock_);
    if (!receiving_)
        queue_.clear();
    receiving_ = true;
    if (!delivery_.joinable()) {
        stopping_ = false;
        delivery_ = std::thread([this] { DeliveryLoop(); });
    }
}

void CMessageCenter::StopReceiveMessage() {
    std::thread ending;
    {
        std::lock_guard hold(lock_);
        receiving_ = false;
        queue_.clear();
        stopping_ = true;
        ending = std::move(delivery_);
    }
    wake_.notify_all();
    if (ending.joinable() && ending.get_id() != std::this_thread::get_id())
        ending.join();
    else if (ending.joinable())
        ending.detach();
}

bool CMessageCenter::IsReceiving() {
    std::lock_guard hold(lock_);
    return receiving_;
}

void CMessageCenter::PushEvent(EVENT_TYPE type, int size, void* data) {
    {
        std::lock_guard hold(lock_);
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
    wake_.notify_all();
}

std::unique_ptr<_MSG_EVENT> CMessageCenter::PopEvent() {
    std::lock_guard hold(lock_);
    if (queue_.empty())
        return nullptr;
    std::unique_ptr<_MSG_EVENT> event = std::move(queue_.front());
    queue_.pop_front();
    return event;
}

void CMessageCenter::SendEvent(std::unique_ptr<_MSG_EVENT> event) {
    std::lock_guard hold(lock_);
    SendEventLocked(std::move(event));
}

void CMessageCenter::SendEventLocked(std::unique_ptr<_MSG_EVENT> event) {
    if (!event)
        return;
    // Held while the centers run, so that a center is never unregistered
    // (and destroyed) in the middle of a delivery.
    for (auto& [type, center] : centers_)
        center->Notify(event.get());
}

void CMessageCenter::DeliveryLoop() {
    std::unique_lock hold(lock_);
    while (!stopping_) {
        wake_.wait(hold, [this] { return stopping_ || (!queue_.empty() && !centers_.empty()); });
        if (stopping_)
            break;
        std::unique_ptr<_MSG_EVENT> event = std::move(queue_.front());
        queue_.pop_front();
        SendEventLocked(std::move(event));
        // Paced, so that a run of failing reads does not flood the interface.
        wake_.wait_for(hold, interval_, [this] { return stopping_; });
    }
}

void CMessageCenter::Clear() {
    std::lock_guard hold(lock_);
    queue_.clear();
}

bool CMessageCenter::RegisterNotifyCenter(int type, INotifyCenter* center) {
    {
        std::lock_guard hold(lock_);
        if (!center || !centers_.emplace(type, center).second)
            return false;
    }
    wake_.notify_all();
    return true;
}

void CMessageCenter::UnregisterNotifyCenter(int type) {
    std::lock_guard hold(lock_);
    centers_.erase(type);
}

INotifyCenter* CMessageCenter::GetNotifyCenter(int type) {
    std::lock_guard hold(lock_);
    auto found = centers_.find(type);
    return found == centers_.end() ? nullptr : found->second;
}

void CMessageCenter::UpdateNotifyCenter(int type, INotifyCenter* center) {
    if (!center)
        return;
    {
        std::lock_guard hold(lock_);
        centers_[type] = center;
    }
    wake_.notify_all();
}

void CMessageCenter::SetDeliveryInterval(std::chrono::milliseconds interval) {
    {
        std::lock_guard hold(lock_);
        interval_ = interval;
    }
    wake_.notify_all();
}
