#pragma once

// Loads the cover flow's pictures around the centred one, on a worker thread
// of its own, one run at a time. A run works on the files it was handed when
// it started, never on the window's list, and its pictures reach the main
// thread stamped with the run's generation: once a run is stopped, whatever
// it found and has not yet handed over is dropped.

#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

#include "LoaderQueue.h"
#include "ResultInbox.h"

class IFileNode;

class CoverFlowLoader : public QObject {
    Q_OBJECT

public:
    // One picture to load: the photo's index and its file.
    struct Job {
        int64_t index = 0;
        IFileNode* file = nullptr;
    };

    // The indexes [first, last) worth loading around `centre` among `count`
    // photos: all of few photos, else the hundred before and after it.
    static std::pair<int64_t, int64_t> windowAround(int64_t centre, int64_t count);

    explicit CoverFlowLoader(QObject* parent = nullptr);
    // Stops and waits for the run in hand.
    ~CoverFlowLoader() override;

    // Stops the run in hand, waiting for it, then loads `jobs` in order.
    void start(std::vector<Job> jobs);
    // Asks the running load to stop after the picture in hand and waits until
    // it has; returns at once when nothing runs.
    void stopAndWait();
    // -1 before the first run, 0 while a run goes on, 2 once it has ended.
    int state() const { return jobs_.state(); }
    // Raised by every stop and start.
    uint64_t generation() const { return jobs_.generation(); }

signals:
    // Main thread, for the current run only. `image` is null for a file
    // without a preview.
    void thumbnailLoaded(int64_t index, const QString& name, const QImage& image);

private:
    struct Loaded {
        uint64_t generation = 0;
        int64_t index = 0;
        QString name;
        QImage image;
    };

    void run(uint64_t generation, const std::vector<Job>& jobs);
    // Main thread: hands over what the worker left.
    Q_INVOKABLE void deliver();

    ResultInbox<Loaded> inbox_;
    LoaderQueue jobs_;
};
