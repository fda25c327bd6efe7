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
    jobs_.add([this, jobs = std::move(jobs)](uint64_t generation) { run(generation, jobs); });
}

void CoverFlowLoader::stopAndWait() {
    jobs_.stopAndWait();
    inbox_.takeAll();
}

void CoverFlowLoader::run(uint64_t generation, const std::vector<Job>& jobs) {
    KvUIFacade& facade = KvUIFacade::current();
    for (const Job& job : jobs) {
        if (!jobs_.isWanted(generation))
            return;
        QString name = OpNodeData::fileNodeName(job.file);
        QImage image = facade.GetImageByFileNode(job.file);
        if (inbox_.put({generation, job.index, std::move(name), std::move(image)}))
            QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
    }
}

void CoverFlowLoader::deliver() {
    for (const Loaded& loaded : inbox_.takeAll()) {
        if (loaded.generation == jobs_.generation())
            emit thumbnailLoaded(loaded.index, loaded.name, loaded.image);
    }
}
