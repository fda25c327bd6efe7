#include <gtest/gtest.h>

#include "SystemVersion.h"

namespace {

TEST(SystemVersion, ReadFromTheKernelRelease) {
    struct Case {
        const char* release;
        bool ok;
        SystemVersion expected;
    };
    const Case cases[] = {
        {"6.1.0-13-amd64", true, {6, 1, 0}},
        {"5.15.133.1-microsoft-standard-WSL2", true, {5, 15, 133}},
        {"4.19", true, {4, 19, 0}},
        {"7", true, {7, 0, 0}},
        {"", false, {}},
        {"linux", false, {}},
    };
    for (const Case& c : cases) {
        SystemVersion version{9, 9, 9};
        EXPECT_EQ(ParseSystemVersion(c.release, version), c.ok) << c.release;
        if (c.ok) {
            EXPECT_EQ(version.major, c.expected.major) << c.release;
            EXPECT_EQ(version.minor, c.expected.minor) << c.release;
            EXPECT_EQ(version.patch, c.expected.patch) << c.release;
        } else {
            EXPECT_EQ(version.major, 9u);
        }
    }
    SystemVersion running;
    EXPECT_TRUE(ReadSystemVersion(running));
    EXPECT_GT(running.major, 0u);
}

}  // namespace
