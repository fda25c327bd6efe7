#include "FoundFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <system_error>

#include "DataRecovery.h"
#include "FileNode.h"
#include "FileReader.h"
#include "FileTimeStamps.h"
#include "RecoveryController.h"

namespace fs = std::filesystem;

namespace {

// Deeper than any real tree; guards against a parent loop.
constexpr int kMostLevels = 4096;

// A name that stays one path component inside the destination.
std::string SafeComponent(const char* name) {
    std::string safe = name != nullptr ? name : "";
    std::replace(safe.begin(), safe.end(), '/', '_');
    if (safe.empty() || safe == "." || safe == "..")
        safe = "_" + safe;
    return safe;
}

// `path`, or the first "name_0001.ext", "name_0002.ext" ... that does not exist.
fs::path FreeName(const fs::path& path) {
    std::error_code ignored;
    if (!fs::exists(path, ignored))
        return path;
    const std::string stem = path.stem().string();
    const std::string extension = path.extension().string();
    for (int k = 1; k < 10000; ++k) {
        char suffix[16];
        std::snprintf(suffix, sizeof(suffix), "_%04d", k);
        fs::path candidate = path.parent_path() / (stem + suffix + extension);
        if (!fs::exists(candidate, ignored))
            return candidate;
    }
    return path;
}

struct RecoveryDeleter {
    void operator()(IDataRecovery* recovery) const { recovery->Release(); }
};

}  // namespace

std::vector<FoundEntry> ListFound(const std::vector<IFileNode*>& nodes) {
    std::vector<FoundEntry> found;
    std::set<IFileNode*> seen;
    for (IFileNode* node : nodes) {
        if (node == nullptr || node->IsNodeShow() == 0 || !seen.insert(node).second)
            continue;
        FoundEntry entry{node, SEARCHER_NONE, {}};
        IFileNode* level = node;
        for (int depth = 0; level != nullptr && depth < kMostLevels; ++depth) {
            entry.path.push_back(SafeComponent(level->GetFileName()));
            if (level->GetParent() == nullptr)
                entry.type = level->GetSearcheType();
            level = level->GetParent();
        }
        // The top folder itself was not found on the device.
        if (entry.path.size() < 2)
            continue;
        std::reverse(entry.path.begin(), entry.path.end());
        found.push_back(std::move(entry));
    }
    std::stable_sort(found.begin(), found.end(), [](const FoundEntry& a, const FoundEntry& b) {
        return a.type != b.type ? a.type < b.type : a.path < b.path;
    });
    return found;
}

int KeepDeletedOnly(std::vector<FoundEntry>& found) {
    std::set<IFileNode*> onPath;  // folders above a deleted file
    int existing = 0;
    for (const FoundEntry& entry : found) {
        if (entry.node->IsDirectory())
            continue;
        if (!entry.node->IsDeleted()) {
            ++existing;
            continue;
        }
        IFileNode* level = entry.node->GetParent();
        for (int depth = 0; level != nullptr && depth < kMostLevels && onPath.insert(level).second;
             ++depth) {
            level = level->GetParent();
        }
    }
    std::erase_if(found, [&onPath](const FoundEntry& entry) {
        return entry.node->IsDirectory() ? onPath.count(entry.node) == 0 : !entry.node->IsDeleted();
    });
    return existing;
}

FoundCounts CountFound(const std::vector<FoundEntry>& found) {
    FoundCounts counts;
    for (const FoundEntry& entry : found) {
        const bool deleted = entry.node->IsDeleted() != 0;
        if (entry.node->IsDirectory()) {
            ++counts.folders;
            counts.deletedFolders += deleted ? 1 : 0;
        } else {
            ++counts.files;
            counts.deletedFiles += deleted ? 1 : 0;
        }
    }
    return counts;
}

std::string FormatCounts(const FoundCounts& counts) {
    return std::to_string(counts.files) + (counts.files == 1 ? " file (" : " files (") +
           std::to_string(counts.deletedFiles) + " deleted) and " + std::to_string(counts.folders) +
           (counts.folders == 1 ? " folder (" : " folders (") +
           std::to_string(counts.deletedFolders) + " deleted)";
}

std::string FormatFileTime(_FILETIME time) {
    constexpr int64_t kUnixEpoch = 116444736000000000LL;
    if (time == 0 || time > static_cast<_FILETIME>(INT64_MAX))
        return "-";
    const int64_t units = static_cast<int64_t>(time) - kUnixEpoch;
    time_t seconds = static_cast<time_t>(units / 10000000 - (units % 10000000 < 0 ? 1 : 0));
    struct tm utc {};
    if (gmtime_r(&seconds, &utc) == nullptr)
        return "-";
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string FormatFound(const FoundEntry& entry) {
    std::string path;
    for (const std::string& name : entry.path)
        path += (path.empty() ? "" : "/") + name;
    IFileNode* node = entry.node;
    return std::to_string(entry.type) + "\t" + path + "\t" + std::to_string(node->GetFileSize()) +
           "\t" + (node->IsDeleted() ? "1" : "0") + "\t" + (node->IsDirectory() ? "1" : "0") +
           "\t" + FormatFileTime(node->GetModificationTime()) + "\t" +
           FormatFileTime(node->GetCreationTime());
}

RecoveryCounts RecoverFound(IRecoveryController& controller, const std::vector<FoundEntry>& found,
                            const std::string& folder) {
    RecoveryCounts counts;
    auto target = [&folder](const FoundEntry& entry) {
        fs::path path = folder;
        for (const std::string& name : entry.path)
            path /= name;
        return path;
    };
    // Folders first, so that copying files does not disturb folder times set later.
    std::error_code error;
    for (const FoundEntry& entry : found) {
        if (entry.node->IsDirectory())
            fs::create_directories(target(entry), error);
    }

    std::map<_tagSearcherType, std::unique_ptr<IDataRecovery, RecoveryDeleter>> copiers;
    auto fail = [&counts](const std::string& reason) {
        ++counts.failed;
        ++counts.failedReasons[reason];
    };
    for (const FoundEntry& entry : found) {
        if (entry.node->IsDirectory())
            continue;
        auto copier = copiers.find(entry.type);
        if (copier == copiers.end()) {
            copier = copiers.emplace(entry.type, controller.GetDataRecovery(entry.type)).first;
        }
        const fs::path path = FreeName(target(entry));
        fs::create_directories(path.parent_path(), error);
        if (!copier->second) {
            fail("no copy-out for its file system");
            continue;
        }
        IFileReader* reader = copier->second->SetRecoverNode(entry.node);
        if (reader == nullptr) {
            if (entry.node->GetFileSize() != 0) {
                fail("no data to copy");
                continue;
            }
            // Nothing to read: an empty file is copied whole by creating it.
            std::FILE* file = std::fopen(path.c_str(), "wbe");
            if (file == nullptr || std::fclose(file) != 0) {
                fail(std::strerror(errno));
                continue;
            }
            ApplyNodeTimes(path.c_str(), entry.node);
            ++counts.whole;
            continue;
        }
        reader->Release();
        const RESULT_CODE result = copier->second->RecoverTo(path.c_str(), nullptr, 0);
        if (IsSuccess(result)) {
            ++counts.whole;
        } else if (ResultKindOf(result) == kResultShortRead) {
            ++counts.partly;
            ++counts.partlyReasons[copier->second->GetLastFailureReason()];
        } else {
            fail(copier->second->GetLastFailureReason());
        }
    }
    return counts;
}

std::vector<std::string> FormatReasons(const RecoveryCounts& counts) {
    std::vector<std::string> lines;
    auto add = [&lines](const std::map<std::string, int>& reasons, const char* outcome) {
        for (const auto& [reason, files] : reasons) {
            lines.push_back(std::to_string(files) + (files == 1 ? " file " : " files ") + outcome +
                            ": " + (reason.empty() ? "no reason given" : reason));
        }
    };
    add(counts.failedReasons, "not written");
    add(counts.partlyReasons, "written in part");
    return lines;
}
