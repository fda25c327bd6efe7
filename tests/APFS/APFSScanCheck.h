#pragma once

// Checks a scan's APFS listing against an image's manifest.

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "APFSTestSupport.h"

namespace harbex::test {

// One line of harbex-scan's listing, below the top folder.
struct ListedEntry {
    std::string path;
    int64_t size = 0;
    bool deleted = false;
    bool directory = false;
    std::string modified;
};

// The APFS lines (type 37) of a listing; `top` becomes the top folder's name.
inline std::vector<ListedEntry> APFSLines(const std::string& listing, std::string& top) {
    std::vector<ListedEntry> listed;
    std::stringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = Tabs(line);
        if (f.size() != 7 || f[0] != "37")
            continue;
        const size_t slash = f[1].find('/');
        top = f[1].substr(0, slash);
        listed.push_back({f[1].substr(slash), std::stoll(f[2]), f[3] == "1", f[4] == "1", f[5]});
    }
    return listed;
}

inline std::string IsoTime(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm utc {};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

inline std::string FileSha256(const std::filesystem::path& path) {
    const CommandResult result = RunCommand("sha256sum '" + path.string() + "'");
    return result.output.substr(0, 64);
}

// Every manifest entry is listed at its path with its size, time and state;
// with `copies`, every file was copied there byte for byte, except those the
// manifest calls unreadable, whose copy (if any) never holds their bytes.
inline void ExpectListingMatches(const std::vector<ListedEntry>& listed, const std::string& top,
                                 const APFSManifest& manifest,
                                 const std::filesystem::path& copies) {
    ASSERT_FALSE(manifest.files.empty());
    for (const APFSFileEntry& file : manifest.files) {
        SCOPED_TRACE(file.path);
        const ListedEntry* match = nullptr;
        for (const ListedEntry& entry : listed) {
            if (entry.path == file.path && entry.directory == file.directory)
                match = &entry;
        }
        ASSERT_NE(match, nullptr) << "not listed";
        EXPECT_EQ(match->deleted, file.deleted);
        if (file.directory)
            continue;
        EXPECT_EQ(match->size, file.size);
        EXPECT_EQ(match->modified, IsoTime(file.mtime));
        if (copies.empty())
            continue;
        const std::filesystem::path copy = copies / (top + file.path);
        if (manifest.unreadable.count(file.path)) {
            EXPECT_TRUE(!std::filesystem::exists(copy) || FileSha256(copy) != file.sha256);
            continue;
        }
        ASSERT_TRUE(std::filesystem::exists(copy)) << copy;
        EXPECT_EQ(FileSha256(copy), file.sha256);
    }
}

}  // namespace harbex::test
