#include <cstring>
#include <memory>

#include "EngineTypes.h"
#include "EnumWalkers.h"
#include "VolumeAnalyze.h"

RecognizedVolume RecognizeVolume(IStorageDevice* device) {
    RecognizedVolume found{};
    found.fileSystemType = FILE_SYSTEM_UNKNOWN;
    std::unique_ptr<IVolumeAnalyzeController> controller(CreateVolumeAnalyzeController(device, 0));
    IVolumeAnalyze* analyzer = controller ? controller->GetVolumeAnzlyzer() : nullptr;
    if (analyzer != nullptr) {
        found.fileSystemType = analyzer->GetFileSystemType();
        analyzer->GetLabel(found.label, sizeof found.label);
        found.label[sizeof found.label - 1] = '\0';
    }
    return found;
}
