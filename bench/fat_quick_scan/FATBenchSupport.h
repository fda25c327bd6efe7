#pragma once

// Pieces the FAT scan benchmarks share.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "DirectoryTree.h"
#include "Progress.h"

namespace harbex::bench {

// The image named by the environment variable `variable`, else
// `defaultPath`; made by running `script` with the path when it is missing.
// Empty when it cannot be made.
inline std::string BenchImage(const char* variable, const char* defaultPath,
                              const std::string& script) {
    const char* given = std::getenv(variable);
    std::string image = given ? given : defaultPath;
    if (!std::filesystem::exists(image) && std::system((script + " " + image).c_str()) != 0)
        image.clear();
    return image;
}

class QuietProgress : public IProgress {
public:
    explicit QuietProgress(bool build = true) : build_(build) {}
    int UpdateProgress(_PROGRESS_INFO*) override { return 0; }
    int Continued() override { return 1; }
    int shouldBuild() override { return build_ ? 1 : 0; }

private:
    bool build_;
};

class CountingTree : public IDrirectoryTree {
public:
    void ShowNodes(IFileNode**, unsigned int count, int) override { nodes += count; }
    void ShowFilesystemNode(IFilesystemNode*) override {}
    uint64_t nodes = 0;
};

}  // namespace harbex::bench
