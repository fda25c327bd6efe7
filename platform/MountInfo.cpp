#include "MountInfo.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>

#include "DeviceNumber.h"

namespace {

// mountinfo of a busy machine has a few thousand lines; a longer file is not one.
constexpr size_t kMaxMountInfoBytes = 16 * 1024 * 1024;

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos) {
            break;
        }
        size_t end = line.find(' ', start);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        fields.push_back(line.substr(start, end - start));
        pos = end;
    }
    return fields;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

bool SourceIsBlockDevice(const MountEntry& mount, uint32_t major, uint32_t minor) {
    if (mount.fsType.rfind("fuse", 0) != 0 || mount.source.empty() || mount.source[0] != '/') {
        return false;
    }
    struct stat info {};
    if (stat(mount.source.c_str(), &info) != 0 || !S_ISBLK(info.st_mode)) {
        return false;
    }
    return ::major(info.st_rdev) == major && ::minor(info.st_rdev) == minor;
}

}  // namespace

std::string UnescapeMountField(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            text.push_back(static_cast<char>(value));
            i += 3;
        } else {
            text.push_back(field[i]);
        }
    }
    return text;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::vector<std::string_view> fields = SplitFields(text.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super
        size_t separator = 6;
        while (separator < fields.size() && fields[separator] != "-") {
            ++separator;
        }
        if (separator + 2 >= fields.size()) {
            continue;
        }
        MountEntry mount;
        if (!ParseDeviceNumber(fields[2], mount.major, mount.minor)) {
            continue;
        }
        mount.root = UnescapeMountField(fields[3]);
        mount.mountPoint = UnescapeMountField(fields[4]);
        mount.fsType = UnescapeMountField(fields[separator + 1]);
        mount.source = UnescapeMountField(fields[separator + 2]);
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

std::vector<MountEntry> ReadMountInfo(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) {
        return {};
    }
    std::string text;
    char buffer[8192];
    while (text.size() < kMaxMountInfoBytes && in.read(buffer, sizeof buffer).gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
    }
    return ParseMountInfo(text);
}

const MountEntry* FindBlockDeviceMount(const std::vector<MountEntry>& mounts, uint32_t major,
                                       uint32_t minor) {
    const MountEntry* found = nullptr;
    for (const MountEntry& mount : mounts) {
        bool same = (mount.major == major && mount.minor == minor) ||
                    SourceIsBlockDevice(mount, major, minor);
        if (!same) {
            continue;
        }
        if (mount.root == "/") {
            return &mount;
        }
        if (found == nullptr) {
            found = &mount;
        }
    }
    return found;
}
