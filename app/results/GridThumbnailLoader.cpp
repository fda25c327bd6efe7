#include "GridThumbnailLoader.h"

#include "CNGridViewItem.h"
#include "KvUIFacade.h"

GridThumbnailLoader::GridThumbnailLoader(QObject* parent) : QObject(parent) {}

GridThumbnailLoader::~GridThumbnailLoader() {
    stopAndWait();
}

void GridThumbnailLoader::request(CNGridViewItem* item, IFileNode* file) {
    const uint64_t request = ++lastRequest_;
    waiting_[request] = Waiting{item, item->node()};
    jobs_.add([this, request, file](uint64_t generation) {
        if (!jobs_.isWanted(generation))
            return;
        QImage image = KvUIFacade::current().GetImageByFileNode(file);
        if (inbox_.put({generation, request, std::move(image)}))
            QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
    });
}

void GridThumbnailLoader::deliver() {
    for (const Loaded& loaded : inbox_.takeAll()) {
        const auto found = waiting_.find(loaded.request);
        if (found == waiting_.end())
            continue;
        const Waiting waiting = std::move(found->second);
        waiting_.erase(found);
        if (loaded.generation == jobs_.generation() && !loaded.image.isNull() && waiting.item &&
            waiting.item->node() == waiting.node)
            waiting.item->refImageWithImage(loaded.image);
    }
}

void GridThumbnailLoader::stopAndWait() {
    jobs_.stopAndWait();
    inbox_.takeAll();
    waiting_.clear();
}
