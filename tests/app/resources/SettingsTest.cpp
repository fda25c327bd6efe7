#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QStandardPaths>

#include "PrivateData.h"
#include "UserDefaults.h"

namespace {

class PrivateDataTest : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(PrivateData::userCopyPath()); }
    void TearDown() override {
        QFile::remove(PrivateData::userCopyPath());
        QDir(QFileInfo(PrivateData::userCopyPath()).absolutePath()).removeRecursively();
    }
};

TEST_F(PrivateDataTest, TheDefaultComesWithTheProgram) {
    EXPECT_EQ(PrivateData::value("PRODUCTNAME").toString(), "Harbex");
    EXPECT_FALSE(
        PrivateData::load().value("en").toObject().value("OnlineHelp").toString().isEmpty());
}

TEST_F(PrivateDataTest, WritesGoToTheUsersCopyAndAreReadBack) {
    ASSERT_TRUE(PrivateData::setValue("SavePath", "/home/user/results"));
    EXPECT_TRUE(QFileInfo::exists(PrivateData::userCopyPath()));
    EXPECT_EQ(PrivateData::value("SavePath").toString(), "/home/user/results");
    // The rest of the list is kept.
    EXPECT_EQ(PrivateData::value("PRODUCTNAME").toString(), "Harbex");
}

TEST_F(PrivateDataTest, AWriteThatCannotBeMadeIsReported) {
    const QString folder = QFileInfo(PrivateData::userCopyPath()).absolutePath();
    QDir(folder).removeRecursively();
    // A file where the folder should be.
    QDir().mkpath(QFileInfo(folder).absolutePath());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(PrivateData::setValue("SavePath", "/x"));
    QFile::remove(folder);
}

TEST(UserDefaultsTest, ValuesRoundTripAndLanguagesFallBackToTheSystem) {
    UserDefaults::setValue("isSelectDesktopDisk", true);
    EXPECT_TRUE(UserDefaults::boolValue("isSelectDesktopDisk"));
    UserDefaults::setValue("AppleLanguages", QStringList{"fr_FR", "en"});
    EXPECT_EQ(UserDefaults::languages(), (QStringList{"fr-FR", "en"}));
    UserDefaults::setValue("AppleLanguages", QStringList{});
    EXPECT_FALSE(UserDefaults::languages().isEmpty());
}

}  // namespace
