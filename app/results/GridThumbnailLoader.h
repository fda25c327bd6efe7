#pragma once

// Loads the thumbnails of the grid's items one after another on a worker
// thread of its own. Each request is stamped with the loader's generation,
// which every stop raises: requests of an earlier generation skip their work,
// and thumbnails of an earlier generation never reach an item.

#include <QImage>
#include <QObject>
#include <QPointer>

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "LoaderQueue.h"
#include "OpNodeData.h"
#include "ResultInbox.h"

class CNGridViewItem;
class IFileNode;

class GridThumbnailLoader : public QObject {
    Q_OBJECT

public:
    explicit GridThumbnailLoader(QObject* parent = nullptr);
    // Stops and waits for the thumbnail in hand.
    ~GridThumbnailLoader() override;

    // Main thread: queues the thumbnail of `file` for `item`, which shows the
    // file now; it reaches the item only while the item still shows it.
    void request(CNGridViewItem* item, IFileNode* file);
    // Drops the queued requests and waits for the one in hand; a new
    // generation begins.
    void stopAndWait();
    // -1 before the first request, 0 while requests wait or run, 2 after.
    int state() const { return jobs_.state(); }
    // Requests waiting plus the one running.
    size_t operationCount() const { return jobs_.operationCount(); }
    uint64_t generation() const { return jobs_.generation(); }

private:
    // Who waits for a request's thumbnail; kept on the main thread, so the
    // worker handles nothing but the file and the picture.
    struct Waiting {
        QPointer<CNGridViewItem> item;
        OpNodeRef node;
    };

    struct Loaded {
        uint64_t generation = 0;
        uint64_t request = 0;
        QImage image;
    };

    // Main thread: hands over what the worker left.
    Q_INVOKABLE void deliver();

    ResultInbox<Loaded> inbox_;

    std::unordered_map<uint64_t, Waiting> waiting_;
    uint64_t lastRequest_ = 0;
    LoaderQueue jobs_;
};
