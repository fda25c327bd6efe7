#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "KvUIController.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using harbex::test::TempDir;

TEST(SingleInstanceLock, LivesInTheUsersRuntimeFolder) {
    TempDir runtime;
    chmod(runtime.path().c_str(), 0700);
    harbex::test::ScopedEnv session("XDG_RUNTIME_DIR", runtime.path().c_str());
    EXPECT_FALSE(KvUIController::IsAppRunning());
    EXPECT_TRUE(fs::is_regular_file(runtime / "harbex.lock"));
}

TEST(SingleInstanceLock, IsNeverTakenThroughALink) {
    TempDir dir;
    const fs::path target = dir / "elsewhere";
    fs::create_symlink(target, dir / "harbex.lock");
    EXPECT_FALSE(KvUIController::IsAnotherInstanceRunning((dir / "harbex.lock").string()));
    EXPECT_FALSE(fs::exists(target));
}

}  // namespace
