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
        const QImage image = KvUIFacade::current().GetImageByFileNode(file);
        QMetaObject::invokeMethod(
            this, [this, generation, request, image] { deliver(generation, request, image); },
            Qt::QueuedConnection);
    });
}

void GridThumbnailLoader::deliver(uint64_t generation, uint64_t request, const QImage& image) {
    const auto found = waiting_.find(request);
    if (found == waiting_.end())
        return;
    const Waiting waiting = std::move(found->second);
    waiting_.erase(found);
    if (generation == generation_ && !image.isNull() && waiting.item &&
        waiting.item->node() == waiting.node)
        waiting.item->refImageWithImage(image);
}

void GridThumbnailLoader::stopAndWait() {
    wanted_ = ++generation_;
    queue_.cancelAllAndWait();
    waiting_.clear();
}

int GridThumbnailLoader::state() const {
    if (!started_)
        return -1;
    return queue_.operationCount() > 0 ? 0 : 2;
}
