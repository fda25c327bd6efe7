#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace harbex::test {

// The project's own fixtures (tests/fixtures/...).
std::filesystem::path FixturePath(const std::string& relative);

// Real images made elsewhere, beside the project; empty when that folder is absent.
std::optional<std::filesystem::path> SharedFixturePath(const std::string& name);

// Where the developer tools (harbex-scan) are built.
std::filesystem::path ToolPath(const std::string& name);

// A fresh folder removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Sets (or, with null, removes) an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Sets TZ for the scope and restores the previous value afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<ScopedEnv> tz_;
};

// Decompresses an .xz file into `target` (through the xz tool); false on failure.
bool DecompressXz(const std::filesystem::path& source, const std::filesystem::path& target);

// Writes `bytes` to a new file at `path`.
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::filesystem::path& path);

// Runs a shell command and answers its standard output and exit status.
struct CommandResult {
    int status = -1;
    std::string output;
};
CommandResult RunCommand(const std::string& command);

// The SHA-256 of a file or of bytes in lower-case hex, as sha256sum and the
// fixture manifests write it; empty when the file cannot be read.
std::string Sha256OfFile(const std::filesystem::path& path);
std::string Sha256Of(const std::vector<uint8_t>& bytes);

// `text` in single quotes for the shell. (Built by appending: "'" + a
// temporary string gives GCC 12 at -O3 a false -Wrestrict alarm.)
inline std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    quoted += text;
    quoted += '\'';
    return quoted;
}

bool IsRoot();

// A loop device over an image file, detached at the end of the scope.
// Check attached() before use: attaching needs root and a free loop device.
class LoopDevice {
public:
    LoopDevice(const std::filesystem::path& image, bool scanPartitions);
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;
    bool attached() const { return !device_.empty(); }
    const std::string& device() const { return device_; }

private:
    std::string device_;
};

}  // namespace harbex::test

// Skips the current test when the loop device could not be attached.
#define HARBEX_REQUIRE_LOOP(loop)                                    \
    do {                                                             \
        if (!harbex::test::IsRoot())                                 \
            GTEST_SKIP() << "loop devices need root";                \
        if (!(loop).attached())                                      \
            GTEST_SKIP() << "no free loop device could be attached"; \
    } while (0)
