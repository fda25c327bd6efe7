#include "VolumeAnalyze.h"

#include "APFS.h"
#include "ExFatVolumeAnalyzer.h"
#include "FATVolume.h"
#include "HFSPlusVolumeAnalyze.h"
#include "NTFSVolumeAnalyze.h"

// The file systems' analysers, asked in this order; the first that recognises
// a volume wins. Each file system adds its factory here.
const std::vector<VolumeAnalyzeFactory>& DefaultVolumeAnalyzeFactories() {
    static const std::vector<VolumeAnalyzeFactory> factories = {
        CreateFatVolumeAnalyze,
        CreateExfatVolumeAnalyze,
        CreateNTFSVolumeAnalyze,
        CreateHFSPlusVolumeAnalyze,
        CreateAPFSVolumeAnalyze,
    };
    return factories;
}
