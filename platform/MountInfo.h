#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// One line of a mountinfo table, with its path fields unescaped.
struct MountEntry {
    uint32_t major = 0;
    uint32_t minor = 0;
    std::string root;
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

// Lines that do not have the mountinfo shape are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The table at `path` (normally /proc/self/mountinfo); empty when unreadable.
std::vector<MountEntry> ReadMountInfo(const std::filesystem::path& path);

// Undoes the kernel's octal escapes ("\040" for a space and the like).
std::string UnescapeMountField(std::string_view field);

// The mount of the block device major:minor, preferring a mount of the file
// system's root over bind mounts of a folder of it; null when it is not mounted.
// A FUSE mount (ntfs-3g, exfat-fuse) counts when its source is that device's node.
const MountEntry* FindBlockDeviceMount(const std::vector<MountEntry>& mounts, uint32_t major,
                                       uint32_t minor);
