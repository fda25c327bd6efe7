#include "GridThumbnailLoader.h"

#include "CNGridViewItem.h"
#include "KvUIFacade.h"

GridThumbnailLoader::GridThumbnailLoader(QObject* parent) : QObject(parent) {}

GridThumbnailLoader::~GridThumbnailLoader() {
    stopAndWait();
}

void GridThumbnailLoader::request(CNGridViewItem* item, IFileNode* file) {
    started_ = true;
    const uint64_t generation = generation_;
    const uint64_t request = ++lastRequest_;
    waiting_[request] = Waiting{item, item->node()};
    queue_.add([this, generation, request, file] {
        if (wanted_.load() != generation)
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
        if (loaded.generation == generation_ && !loaded.image.isNull() && waiting.item &&
            waiting.item->node() == waiting.node)
            waiting.item->refImageWithImage(loaded.image);
    }
}

void GridThumbnailLoader::stopAndWait() {
    wanted_ = ++generation_;
    queue_.cancelAllAndWait();
    inbox_.takeAll();
    waiting_.clear();
}

int GridThumbnailLoader::state() const {
    if (!started_)
        return -1;
    return queue_.operationCount() > 0 ? 0 : 2;
}
