#include "KvRecoveryTargetPath.h"

#include <QDate>

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

#include "FileNode.h"
#include "KvCPPPublic.h"
#include "KvUIPublic.h"
#include "KvUIRecovery.h"

namespace fs = std::filesystem;

namespace {

// Enough for any real recovery; a folder full of taken names ends here.
constexpr int kMostCandidates = 100000;
// Longer tails after the last dot are taken for part of the name.
constexpr size_t kMostExtensionBytes = 32;

// The longest prefix of `text` of at most `bytes` bytes that ends between characters.
std::string Utf8Prefix(const std::string& text, size_t bytes) {
    if (bytes >= text.size())
        return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80)
        --bytes;
    return text.substr(0, bytes);
}

// "photo.jpg" gives "photo" and ".jpg"; a leading dot starts no extension.
std::pair<std::string, std::string> SplitExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kMostExtensionBytes)
        return {name, {}};
    return {name.substr(0, dot), name.substr(dot)};
}

// stem + suffix + extension, the stem shortened so that the whole fits a name.
std::string FitName(const std::string& stem, const std::string& suffix,
                    const std::string& extension) {
    const size_t room = kMostNameBytes - suffix.size() - extension.size();
    return Utf8Prefix(stem, room) + suffix + extension;
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

bool MakeFolders(const fs::path& path) {
    std::error_code error;
    fs::create_directories(path, error);
    return !error && fs::is_directory(path, error);
}

std::string Numbered(int n) {
    char text[16];
    std::snprintf(text, sizeof(text), "%04d", n);
    return text;
}

// The node's path inside its volume as safe names, the volume's first; empty
// for a node in a loop of parent links.
std::vector<std::string> NodePath(IFileNode* node) {
    std::vector<std::string> names;
    for (int level = 0; node != nullptr; ++level) {
        if (level == KvCPPPublic::kMostLevels)
            return {};
        IFileNode* parent = node->GetParent();
        const char* name = node->GetFileName();
        if (parent == nullptr) {
            // The top folder stands for its volume.
            const char* volume = node->GetVolumeName();
            if (volume != nullptr && volume[0] != '\0')
                name = volume;
        }
        names.push_back(SafePathComponent(name));
        node = parent;
    }
    std::reverse(names.begin(), names.end());
    return names;
}

// The output folder of the searcher type in this recovery, made by its first file.
std::string OutputFolder(_tagSearcherType type, const std::string& destination) {
    KvUIRecovery* recovery = KvUIRecovery::instance();
    const std::string prefix =
        destination + KvUIPublic::GetFileSystemStrByType(type).toUtf8().toStdString();
    const int chosen = recovery->GetCreateDirIndex(type);
    if (chosen >= 1)
        return prefix + Numbered(chosen);
    for (int n = 1; n < kMostCandidates; ++n) {
        const std::string candidate = prefix + Numbered(n);
        if (Exists(candidate))
            continue;
        if (!MakeFolders(candidate))
            return {};
        recovery->SetCreateDirIndex(type, n);
        return candidate;
    }
    return {};
}

// `target`, or the first "name_0001.ext", "name_0002.ext" ... not yet taken.
std::string FreeName(const fs::path& target) {
    if (!Exists(target))
        return target;
    const auto [stem, extension] = SplitExtension(target.filename().string());
    for (int k = 1; k < kMostCandidates; ++k) {
        std::string suffix(1, '_');  // appended: "_" + a temporary trips GCC 12's -Wrestrict at -O3
        suffix += Numbered(k);
        const fs::path candidate = target.parent_path() / FitName(stem, suffix, extension);
        if (!Exists(candidate))
            return candidate;
    }
    return {};
}

fs::path WithoutTrailingSlash(const fs::path& path) {
    return path.has_filename() ? path : path.parent_path();
}

}  // namespace

std::string SafePathComponent(const char* name) {
    std::string safe = name != nullptr ? name : "";
    std::replace(safe.begin(), safe.end(), '/', '_');
    if (safe.empty() || safe == "." || safe == "..") {
        std::string prefixed(1, '_');
        prefixed += safe;
        safe = std::move(prefixed);
    }
    if (safe.size() > kMostNameBytes) {
        const auto [stem, extension] = SplitExtension(safe);
        safe = FitName(stem, {}, extension);
    }
    return safe;
}

bool IsPathInside(const fs::path& folder, const fs::path& path) {
    std::error_code error;
    const fs::path base = WithoutTrailingSlash(fs::weakly_canonical(folder, error));
    if (error || base.empty())
        return false;
    const fs::path full = WithoutTrailingSlash(fs::weakly_canonical(path, error));
    if (error)
        return false;
    const auto [inBase, inFull] = std::mismatch(base.begin(), base.end(), full.begin(), full.end());
    return inBase == base.end() && inFull != full.end();
}

std::string CreateRecoveryFilePathByNode(IFileNode* node, const std::string& destination) {
    if (node == nullptr || destination.empty() || !node->IsNodeShow())
        return {};
    const _tagSearcherType type = KvCPPPublic::instance().GetNodeSearcheType(node);
    if (type == SEARCHER_NONE)
        return {};
    const std::vector<std::string> names = NodePath(node);
    if (names.empty())
        return {};
    const std::string folder = OutputFolder(type, destination);
    if (folder.empty())
        return {};
    fs::path target = folder;
    for (const std::string& name : names)
        target /= name;
    if (!IsPathInside(destination, target))
        return {};
    if (node->IsDirectory()) {
        MakeFolders(target);
        return {};
    }
    const std::string free = FreeName(target);
    if (free.empty() || !MakeFolders(fs::path(free).parent_path()))
        return {};
    return free;
}

QString KvUIPublic::GetFileSystemStrByType(int type) {
    const QString label = QStringLiteral("Recovered Data%1")
                              .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    switch (type) {
        case SEARCHER_HFSPLUS:
            return QStringLiteral("HFS+_%1_").arg(label);
        case SEARCHER_FAT:
            return QStringLiteral("Fat_%1_").arg(label);
        case SEARCHER_EXFAT:
            return QStringLiteral("ExFat_%1_").arg(label);
        case SEARCHER_RAW_BY_TAG:
            return QStringLiteral("Lable_RAW_%1_").arg(label);
        case SEARCHER_APFS:
            return QStringLiteral("APFS_%1_").arg(label);
        case SEARCHER_RAW_BY_TYPE:
            return QStringLiteral("RAW_");
        default:
            return {};
    }
}
