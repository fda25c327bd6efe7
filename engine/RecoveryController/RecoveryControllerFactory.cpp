#include <new>

#include "CompleteRecoveryController.h"
#include "DeletedRecoveryController.h"

IRecoveryController* CreateRecoveryController(_RECOVERY_CONTROLLER_TYPE type) {
    switch (type) {
        case RECOVERY_CONTROLLER_DELETED:
            return new (std::nothrow) CDeletedRecoveryController();
        case RECOVERY_CONTROLLER_COMPLETE:
            return new (std::nothrow) CCompleteRecoveryController();
        case RECOVERY_CONTROLLER_PARTITION:
            return new (std::nothrow) CPartitionRecoveryController();
        default:
            return nullptr;
    }
}
