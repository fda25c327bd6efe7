#pragma once

#include <memory>

#include "MessageCenter.h"

// Turns the engine's failed-read events of a scan into "BadSectorNotify" on
// the main thread. Registered for the life of one scan.
class CProgressNotify : public INotifyObserver {
public:
    CProgressNotify();
    ~CProgressNotify() override;
    CProgressNotify(const CProgressNotify&) = delete;
    CProgressNotify& operator=(const CProgressNotify&) = delete;

    void Notify(int type, void* data) override;

private:
    CMessageCenter* center_;
    CMyNotifyCenter* notifyCenter_;
    std::unique_ptr<CMyNotifyCenter> ownCenter_;  // when this observer made it
};
