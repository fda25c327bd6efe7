#include <list>
#include <mutex>
#include <utility>

#include "VolumeAnalyze.h"

namespace {

class CVolumeAnalyzeController : public IVolumeAnalyzeController {
public:
    CVolumeAnalyzeController(IStorageDevice* device, unsigned long long startSector,
                             const std::vector<VolumeAnalyzeFactory>& factories) {
        for (const VolumeAnalyzeFactory& factory : factories) {
            if (IVolumeAnalyze* analyzer = factory(device, startSector)) {
                analyzers_.push_back(analyzer);
            }
        }
    }

    ~CVolumeAnalyzeController() override {
        for (IVolumeAnalyze* analyzer : analyzers_) {
            delete analyzer;
        }
    }

    CVolumeAnalyzeController(const CVolumeAnalyzeController&) = delete;
    CVolumeAnalyzeController& operator=(const CVolumeAnalyzeController&) = delete;

    IVolumeAnalyze* GetVolumeAnzlyzer() override {
        for (IVolumeAnalyze* analyzer : analyzers_) {
            if (analyzer->GetFileSystemType() != FILE_SYSTEM_UNKNOWN) {
                return analyzer;
            }
        }
        return nullptr;
    }

private:
    std::list<IVolumeAnalyze*> analyzers_;
};

std::mutex& FactoriesLock() {
    static std::mutex lock;
    return lock;
}

// The registered factories, or those a ScopedVolumeAnalyzeFactories installed.
std::vector<VolumeAnalyzeFactory>& ActiveFactories() {
    static std::vector<VolumeAnalyzeFactory> active = DefaultVolumeAnalyzeFactories();
    return active;
}

}  // namespace

IVolumeAnalyzeController* CreateVolumeAnalyzeController(
    IStorageDevice* device, unsigned long long startSector,
    const std::vector<VolumeAnalyzeFactory>& factories) {
    return new CVolumeAnalyzeController(device, startSector, factories);
}

IVolumeAnalyzeController* CreateVolumeAnalyzeController(IStorageDevice* device,
                                                        unsigned long long startSector) {
    std::vector<VolumeAnalyzeFactory> factories;
    {
        std::lock_guard<std::mutex> guard(FactoriesLock());
        factories = ActiveFactories();
    }
    return CreateVolumeAnalyzeController(device, startSector, factories);
}

ScopedVolumeAnalyzeFactories::ScopedVolumeAnalyzeFactories(
    std::vector<VolumeAnalyzeFactory> factories) {
    std::lock_guard<std::mutex> guard(FactoriesLock());
    previous_ = std::exchange(ActiveFactories(), std::move(factories));
}

ScopedVolumeAnalyzeFactories::~ScopedVolumeAnalyzeFactories() {
    std::lock_guard<std::mutex> guard(FactoriesLock());
    ActiveFactories() = std::move(previous_);
}
