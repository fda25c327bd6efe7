#include "CoverFlowLoader.h"

#include <algorithm>

#include "KvUIFacade.h"
#include "OpNodeData.h"

namespace {

// Up to this many photos are all loaded, whatever the centre.
constexpr int64_t kLoadAllUpTo = 10;
// Photos loaded on each side of the centre.
constexpr int64_t kReach = 100;

}  // namespace

std::pair<int64_t, int64_t> CoverFlowLoader::windowAround(int64_t centre, int64_t count) {
    if (count <= kLoadAllUpTo)
        return {0, std::max<int64_t>(count, 0)};
    const int64_t first = std::clamp<int64_t>(centre - kReach, 0, count);
    const int64_t last = std::clamp<int64_t>(centre + kReach, first, count);
    return {first, last};
}

CoverFlowLoader::CoverFlowLoader(QObject* parent) : QObject(parent) {}

CoverFlowLoader::~CoverFlowLoader() {
    stopAndWait();
}

void CoverFlowLoader::start(std::vector<Job> jobs) {
    stopAndWait();
    started_ = true;
    const uint64_t generation = generation_;
    queue_.add([this, generation, jobs = std::move(jobs)] { run(generation, jobs); });
}

void CoverFlowLoader::stopAndWait() {
    wanted_ = ++generation_;
    queue_.cancelAllAndWait();
}

int CoverFlowLoader::state() const {
    if (!started_)
        return -1;
    return queue_.operationCount() > 0 ? 0 : 2;
}

void CoverFlowLoader::run(uint64_t generation, const std::vector<Job>& jobs) {
    KvUIFacade& facade = KvUIFacade::current();
    for (const Job& job : jobs) {
        if (wanted_.load() != generation)
            return;
        const QString name = OpNodeData::fileNodeName(job.file);
        const QImage image = facade.GetImageByFileNode(job.file);
        QMetaObject::invokeMethod(
            this,
            [this, generation, index = job.index, name, image] {
                if (generation == generation_)
                    emit thumbnailLoaded(index, name, image);
            },
            Qt::QueuedConnection);
    }
}
