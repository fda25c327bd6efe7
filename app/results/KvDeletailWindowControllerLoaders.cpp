// The grid's thumbnails and the cover flow's pictures.

#include "KvDeletailWindowController.h"

uint64_t KvDeletailWindowController::gridViewNumberOfItemsInSection(CNGridView* /*grid*/,
                                                                    int64_t /*section*/) {
    return arrList.size();
}

CNGridViewItem* KvDeletailWindowController::gridViewItemAtIndex(CNGridView* /*grid*/,
                                                                int64_t /*index*/,
                                                                int64_t /*section*/) {
    return nullptr;
}

uint64_t KvDeletailWindowController::numberOfItemsInImageFlow(CoverFlowView* /*view*/) {
    return photos.size();
}

std::shared_ptr<Photo> KvDeletailWindowController::imageFlowItemAtIndex(CoverFlowView* /*view*/,
                                                                        uint64_t index) {
    return index < photos.size() ? photos[index] : nullptr;
}

// No loader is started yet, so there is nothing to stop or wait for.
void KvDeletailWindowController::stopImageLoading() {}

void KvDeletailWindowController::stopGridImageLoading() {}

void KvDeletailWindowController::stopAllImageLoadingAndWait() {
    stopImageLoading();
    stopGridImageLoading();
}
