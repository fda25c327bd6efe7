#pragma once

#include <filesystem>
#include <string>

class IFileNode;

// Longest file or folder name the destination file systems take, in bytes.
inline constexpr size_t kMostNameBytes = 255;

// Where a found file is copied under `destination` (a folder, ending in
// "/"): the output folder of its searcher type in this recovery, then its
// path inside its volume, each name made one safe component, with "_0001",
// "_0002" ... before the extension when the name is taken. Makes the folders
// on the way. Empty when the node is hidden or has no searcher type, when a
// folder cannot be made, or when the target would not lie inside the
// destination. A folder node is made as a folder and gives empty as well.
std::string CreateRecoveryFilePathByNode(IFileNode* node, const std::string& destination);

// A found name as a single path component: "/" becomes "_", "", "." and ".."
// get a "_" in front, and a name longer than kMostNameBytes is cut at a
// character boundary, keeping its extension.
std::string SafePathComponent(const char* name);

// True when `path` lies below `folder` once links and "." or ".." are resolved.
bool IsPathInside(const std::filesystem::path& folder, const std::filesystem::path& path);
