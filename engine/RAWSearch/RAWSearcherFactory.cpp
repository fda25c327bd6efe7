#include "RAWSearcher.h"

// The signature search is not part of this build yet: complete scans run
// without it.
ICompleteFileSystemSearchController* CreateRAWSearcher() {
    return nullptr;
}
