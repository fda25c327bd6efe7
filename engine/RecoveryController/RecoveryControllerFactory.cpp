#include <new>

#include "CompleteRecoveryController.h"
#include "DeletedRecoveryController.h"
#include "DirectoryTreeBuilder.h"

IRecoveryController* CreateRecoveryController(_RECOVERY_CONTROLLER_TYPE type,
                                              std::chrono::milliseconds treeSetupPause) {
    switch (type) {
        case RECOVERY_CONTROLLER_DELETED:
            return new (std::nothrow) CDeletedRecoveryController(treeSetupPause);
        case RECOVERY_CONTROLLER_COMPLETE:
            return new (std::nothrow) CCompleteRecoveryController(treeSetupPause);
        case RECOVERY_CONTROLLER_PARTITION:
            return new (std::nothrow) CPartitionRecoveryController(treeSetupPause);
        default:
            return nullptr;
    }
}

IRecoveryController* CreateRecoveryController(_RECOVERY_CONTROLLER_TYPE type) {
    return CreateRecoveryController(type, kTreeSetupPause);
}
