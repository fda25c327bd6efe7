// harbex-scan --recover into a destination that cannot take every file: the
// summary, the reasons and the exit status must match what is on the disk.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace harbex::test;

struct Summary {
    int whole = -1;
    int partly = -1;
    int failed = -1;
};

Summary ParseSummary(const std::string& err) {
    Summary summary;
    const size_t at = err.find("recovered ");
    if (at != std::string::npos) {
        std::sscanf(err.c_str() + at, "recovered %d whole, %d partly, %d not at all",
                    &summary.whole, &summary.partly, &summary.failed);
    }
    return summary;
}

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The regular files below `folder` by their path inside it.
std::map<std::string, fs::path> FilesBelow(const fs::path& folder) {
    std::map<std::string, fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().filename() != "filler")
            files[fs::relative(entry.path(), folder).string()] = entry.path();
    }
    return files;
}

struct RecoverRun {
    int status = -1;
    std::string err;
};

// harbex-scan recovering the FAT fixture's files into `out`, with `prefix`
// before the tool on the shell's command line.
RecoverRun Recover(const fs::path& image, const fs::path& out, const std::string& prefix = "") {
    TempDir dir;
    const std::string command = "trap '' XFSZ; " + prefix + ShellQuoted(ToolPath("harbex-scan")) +
                                " --quick --all --recover " + ShellQuoted(out.string()) + " " +
                                ShellQuoted(image.string()) + " >/dev/null 2>" +
                                ShellQuoted((dir / "err").string());
    const CommandResult result = RunCommand(command);
    const std::vector<uint8_t> err = ReadFile(dir / "err");
    return {result.status, std::string(err.begin(), err.end())};
}

class RecoverIntoFullDestination : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = work_ / "fat16.img";
        ASSERT_TRUE(DecompressXz(FixturePath("fat/fat16_512.img.xz"), image_));
        const RecoverRun reference = Recover(image_, work_ / "reference");
        ASSERT_EQ(reference.status, 0) << reference.err;
        reference_ = FilesBelow(work_ / "reference");
        ASSERT_EQ(ParseSummary(reference.err).whole, int(reference_.size())) << reference.err;
    }

    // Every file in `out` is the whole file; the summary counts them and the
    // files that are missing, and gives `reason` once for all of the latter.
    void ExpectTruthfulSummary(const RecoverRun& run, const fs::path& out,
                               const std::string& reason) {
        const Summary summary = ParseSummary(run.err);
        const std::map<std::string, fs::path> copied = FilesBelow(out);
        for (const auto& [name, path] : copied) {
            SCOPED_TRACE(name);
            ASSERT_EQ(reference_.count(name), 1u);
            EXPECT_EQ(ReadFile(path), ReadFile(reference_.at(name)));
        }
        EXPECT_EQ(summary.whole, int(copied.size())) << run.err;
        EXPECT_EQ(summary.partly, 0) << run.err;
        EXPECT_EQ(summary.failed, int(reference_.size() - copied.size())) << run.err;
        ASSERT_GT(summary.failed, 0) << run.err;
        const std::string line = std::to_string(summary.failed) +
                                 (summary.failed == 1 ? " file" : " files") +
                                 " not written: " + reason + "\n";
        EXPECT_EQ(Occurrences(run.err, line), 1) << run.err;
        EXPECT_EQ(Occurrences(run.err, " not written: "), 1) << run.err;
        EXPECT_EQ(run.status, 4) << run.err;
    }

    TempDir work_;
    fs::path image_;
    std::map<std::string, fs::path> reference_;
};

TEST_F(RecoverIntoFullDestination, AFileSizeLimitKeepsOutTheLargerFiles) {
    const fs::path out = work_ / "limited";
    const RecoverRun run = Recover(image_, out, "prlimit --fsize=5000 -- ");
    ExpectTruthfulSummary(run, out, "File too large");
    for (const auto& [name, path] : FilesBelow(out))
        EXPECT_LE(fs::file_size(path), 5000u) << name;
}

TEST_F(RecoverIntoFullDestination, AFileSystemThatFillsUpPartWay) {
    if (!IsRoot())
        GTEST_SKIP() << "mounting needs root";
    const fs::path out = work_ / "tmpfs";
    fs::create_directory(out);
    // 32 KiB hold a few of the files, page by page.
    if (RunCommand("mount -t tmpfs -o size=32k harbex-test " + ShellQuoted(out.string())).status !=
        0)
        GTEST_SKIP() << "no tmpfs could be mounted";
    const RecoverRun run = Recover(image_, out);
    ExpectTruthfulSummary(run, out, "No space left on device");
    RunCommand("umount " + ShellQuoted(out.string()));
}

}  // namespace
