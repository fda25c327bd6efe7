#include "TestSupport.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace harbex::test {

namespace fs = std::filesystem;

fs::path FixturePath(const std::string& relative) {
    return fs::path(HARBEX_FIXTURE_DIR) / relative;
}

std::optional<fs::path> SharedFixturePath(const std::string& name) {
    fs::path path = fs::path(HARBEX_SHARED_FIXTURE_DIR) / name;
    if (!fs::exists(path))
        return std::nullopt;
    return path;
}

fs::path ToolPath(const std::string& name) {
    return fs::path(HARBEX_TOOLS_BIN_DIR) / name / name;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "harbex-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name))
        previous_ = old;
    if (value) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
    tz_.emplace("TZ", tz);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    tz_.reset();
    tzset();
}

static std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// Every test runs in a process of its own, and decompressing a fixture costs far
// more than copying it: each .xz is decompressed once into the build tree's cache
// (named by the file's name, size and time, so a changed fixture gets a new entry),
// then copied to where the test wants it, since tests may patch their copy.
static fs::path CachedDecompression(const fs::path& source) {
    std::error_code error;
    const auto size = fs::file_size(source, error);
    if (error)
        return {};
    const auto time = fs::last_write_time(source, error).time_since_epoch().count();
    if (error)
        return {};
    const fs::path cache = HARBEX_FIXTURE_CACHE_DIR;
    const fs::path cached = cache / (source.filename().string() + "-" + std::to_string(size) + "-" +
                                     std::to_string(time));
    if (fs::exists(cached))
        return cached;
    fs::create_directories(cache, error);
    // Test processes run side by side: each fills a file of its own, the rename is atomic.
    const fs::path filling = cached.string() + ".part" + std::to_string(getpid());
    if (RunCommand("xz -dc " + Quote(source.string()) + " > " + Quote(filling.string())).status !=
        0) {
        fs::remove(filling, error);
        return {};
    }
    fs::rename(filling, cached, error);
    return error ? fs::path{} : cached;
}

bool DecompressXz(const fs::path& source, const fs::path& target) {
    const fs::path cached = CachedDecompression(source);
    std::error_code error;
    return !cached.empty() &&
           fs::copy_file(cached, target, fs::copy_options::overwrite_existing, error) && !error;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

std::string Sha256OfFile(const fs::path& path) {
    const CommandResult result = RunCommand("sha256sum < " + Quote(path.string()) + " 2>/dev/null");
    return result.status == 0 && result.output.size() >= 64 ? result.output.substr(0, 64)
                                                            : std::string();
}

std::string Sha256Of(const std::vector<uint8_t>& bytes) {
    TempDir dir;
    WriteFile(dir / "data", bytes);
    return Sha256OfFile(dir / "data");
}

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    // Close-on-exec, so a command started meanwhile from another thread does
    // not inherit the pipe's end and keep this read waiting until it exits.
    FILE* pipe = popen(command.c_str(), "re");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> chunk{};
    size_t got = 0;
    while ((got = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        result.output.append(chunk.data(), got);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool IsRoot() {
    return geteuid() == 0;
}

LoopDevice::LoopDevice(const fs::path& image, bool scanPartitions) {
    if (!IsRoot())
        return;
    CommandResult attach =
        RunCommand(std::string("losetup -f --show ") + (scanPartitions ? "-P " : "") +
                   Quote(image.string()) + " 2>/dev/null");
    if (attach.status != 0)
        return;
    device_ = attach.output.substr(0, attach.output.find('\n'));
}

LoopDevice::~LoopDevice() {
    if (!device_.empty())
        RunCommand("losetup -d " + Quote(device_) + " 2>/dev/null");
}

}  // namespace harbex::test
