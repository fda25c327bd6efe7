#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <string>

#include "KvSpyModule.h"

namespace {

std::string TakeCalls(KvSpyModule& module) {
    using Take = const char* (*)();
    const auto take = reinterpret_cast<Take>(module.LoadSpyModule()->resolve("TakeSpyCalls"));
    return take();
}

const std::string kSend = std::string("8:3584:") + KvSpyModule::kEndpoint + ";";

TEST(SpyModule, AThrowingEntryLeavesTheLaterCallsToRun) {
    KvSpyModule module(QStringLiteral(HARBEX_SPY_PLUGIN_DIR));
    ASSERT_NE(module.LoadSpyModule(), nullptr);
    TakeCalls(module);
    module.SpyIDEnd(true);
    EXPECT_EQ(TakeCalls(module), kSend + "2:7,5;0;");
}

TEST(SpyModule, WithoutTheUsersConsentNothingIsSent) {
    KvSpyModule module(QStringLiteral(HARBEX_SPY_PLUGIN_DIR));
    ASSERT_NE(module.LoadSpyModule(), nullptr);
    TakeCalls(module);
    module.SpyIDEnd(false);
    EXPECT_EQ(TakeCalls(module), "2:7,5;0;");
}

TEST(SpyModule, OnlyTheGivenFolderIsLookedIn) {
    QTemporaryDir empty;
    for (const QString& folder : {empty.path(), QString()}) {
        KvSpyModule module(folder);
        EXPECT_EQ(module.LoadSpyModule(), nullptr) << folder.toStdString();
        module.SpyIDEnd(true);  // each step skipped
    }
}

}  // namespace
