#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AppWorkPath.h"
#include "EngineLog.h"
#include "EngineTime.h"
#include "LogFile.h"
#include "Regex.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

// A marker that no other run of the suite writes into the shared log file.
std::string UniqueToken(const char* what) {
    return std::string(what) + "-" + std::to_string(getpid()) + "-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

std::string LogContents() {
    std::string path;
    FILE* file = OpenLogFile(CatchExeception::GetWorkPath(), &path);
    if (!file)
        return std::string();
    std::fclose(file);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Sets or unsets an environment variable for the scope.

TEST(EngineLog, WorkFolderIsTheExecutablesFolder) {
    EXPECT_EQ(fs::path(CatchExeception::GetWorkPath()),
              fs::canonical("/proc/self/exe").parent_path());
    EXPECT_STREQ(CatchExeception::GetWorkPath(), GetAppWorkPath());
}

TEST(EngineLog, CutsLongMessagesInsteadOfOverflowing) {
    const std::string token = UniqueToken("cut");
    const std::string message = token + std::string(5000, 'x');
    const int length = CatchExeception::WriteLog("%s", message.c_str());
    EXPECT_EQ(length, 9 + CatchExeception::kMaxMessageLength);

    const std::string log = LogContents();
    const size_t at = log.find(token);
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(at, 9u);
    EXPECT_TRUE(
        harbex::test::Regex("[0-9]{2}:[0-9]{2}:[0-9]{2} ").FullMatch(log.substr(at - 9, 9)));
    const size_t xs = log.find_first_not_of('x', at + token.size());
    const size_t written = (xs == std::string::npos ? log.size() : xs) - (at + token.size());
    EXPECT_EQ(written, CatchExeception::kMaxMessageLength - token.size());
}

TEST(EngineLog, LinesFromManyThreadsStayWhole) {
    const std::string token = UniqueToken("whole");
    constexpr int kThreads = 8;
    constexpr int kLines = 100;
    const std::string padding(300, 'y');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                CatchExeception::WriteLog("%s-%d-%d-%s\n", token.c_str(), t, i, padding.c_str());
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    // A line may follow an earlier message written without a line end.
    const harbex::test::Regex whole("[0-9]{2}:[0-9]{2}:[0-9]{2} " + token +
                                    "-[0-9]+-[0-9]+-y{300}");
    std::set<std::string> seen;
    std::istringstream lines(LogContents());
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(token);
        if (at == std::string::npos)
            continue;
        EXPECT_EQ(line.find(token, at + 1), std::string::npos) << line.substr(0, 80);
        EXPECT_TRUE(at >= 9 && whole.FullMatch(line.substr(at - 9))) << line.substr(0, 80);
        seen.insert(line.substr(at));
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

TEST(EngineLog, FallsBackToTheStateFolder) {
    harbex::test::TempDir work;
    harbex::test::TempDir state;
    harbex::test::TempDir home;
    const std::string blocked = (work / "not-a-folder").string();
    harbex::test::WriteFile(blocked, {'x'});
    const std::string stateDir = state.path().string();
    const std::string homeDir = home.path().string();
    struct Case {
        const char* what;
        std::string workFolder;
        const char* xdgStateHome;
        const char* home;
        std::string expected;  // empty: no log file at all
    };
    const Case cases[] = {
        {"writable work folder", work.path().string(), stateDir.c_str(), homeDir.c_str(),
         work.path().string() + "/sMAC_Harbex.log"},
        {"missing work folder", "/nonexistent/harbex", stateDir.c_str(), homeDir.c_str(),
         stateDir + "/harbex/sMAC_Harbex.log"},
        {"work folder is a file", blocked, stateDir.c_str(), homeDir.c_str(),
         stateDir + "/harbex/sMAC_Harbex.log"},
        {"no state folder set", blocked, nullptr, homeDir.c_str(),
         homeDir + "/.local/state/harbex/sMAC_Harbex.log"},
        {"relative state folder", blocked, "relative/state", homeDir.c_str(),
         homeDir + "/.local/state/harbex/sMAC_Harbex.log"},
        {"nowhere to write", blocked, nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        harbex::test::ScopedEnv xdg("XDG_STATE_HOME", c.xdgStateHome);
        harbex::test::ScopedEnv user("HOME", c.home);
        std::string opened;
        FILE* file = OpenLogFile(c.workFolder, &opened);
        if (c.expected.empty()) {
            EXPECT_EQ(file, nullptr) << c.what;
        } else {
            ASSERT_NE(file, nullptr) << c.what;
            std::fclose(file);
            EXPECT_EQ(opened, c.expected) << c.what;
            EXPECT_TRUE(fs::exists(c.expected)) << c.what;
        }
    }
}

TEST(EngineTime, LocalTimeFollowsTheTimeZone) {
    EXPECT_EQ(GetLocalTime(nullptr), 0xFFFFFFFFu);
    for (const char* zone : {"UTC", "Asia/Kolkata", "America/New_York"}) {
        harbex::test::ScopedTimeZone tz(zone);
        _SYSTEMTIME now{};
        const time_t before = std::time(nullptr);
        ASSERT_EQ(GetLocalTime(&now), 0u);
        tm expected{};
        localtime_r(&before, &expected);
        EXPECT_EQ(now.wYear, expected.tm_year + 1900) << zone;
        EXPECT_EQ(now.wMonth, expected.tm_mon + 1) << zone;
        EXPECT_EQ(now.wDayOfWeek, expected.tm_wday) << zone;
        EXPECT_EQ(now.wHour, expected.tm_hour) << zone;
        EXPECT_EQ(now.wMinute, expected.tm_min) << zone;
        EXPECT_LT(now.wMilliseconds, 1000) << zone;
    }
}

TEST(EngineTime, TickCountAdvancesWithinASecond) {
    const uint32_t start = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const uint32_t elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 25u);
    EXPECT_LT(elapsed, 1000u);
}

}  // namespace
