#include "CProgressNotify.h"

#include "KvNotificationNames.h"
#include "KvUIPublic.h"

CProgressNotify::CProgressNotify() : center_(CMessageCenter::Instance()) {
    notifyCenter_ = dynamic_cast<CMyNotifyCenter*>(center_->GetNotifyCenter(EVENT_TYPE_BAD_SECTOR));
    if (notifyCenter_ == nullptr) {
        ownCenter_ = std::make_unique<CMyNotifyCenter>();
        ownCenter_->SetType(EVENT_TYPE_BAD_SECTOR);
        notifyCenter_ = ownCenter_.get();
    }
    notifyCenter_->AddObserver(this);
    center_->UpdateNotifyCenter(EVENT_TYPE_BAD_SECTOR, notifyCenter_);
}

CProgressNotify::~CProgressNotify() {
    notifyCenter_->RemoveObserver(this);
    // Once unregistered, the delivery thread no longer reaches the centre.
    center_->UnregisterNotifyCenter(EVENT_TYPE_BAD_SECTOR);
}

void CProgressNotify::Notify(int type, void* /*data*/) {
    if (type == EVENT_TYPE_BAD_SECTOR)
        KvUIPublic::NotifyMainThread(kvnote::kBadSectorNotify);
}
