#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include "KvDeepScanOffer.h"
#include "PrivateData.h"

namespace {

class DeepScanOfferTest : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(PrivateData::userCopyPath()); }
    void TearDown() override { QFile::remove(PrivateData::userCopyPath()); }
};

TEST_F(DeepScanOfferTest, TimesShownReadsTheNumberAtTheStart) {
    struct Case {
        QJsonValue stored;
        int times;
    };
    const Case cases[] = {
        {QJsonValue(QJsonValue::Undefined), 0},
        {QJsonValue("YES"), 0},
        {QJsonValue("1"), 1},
        {QJsonValue(" 2nd"), 2},
        {QJsonValue(2), 2},
        {QJsonValue("-1"), -1},
        {QJsonValue("99999999999"), 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeepScanOffer::TimesShown(c.stored), c.times)
            << c.stored.toString().toStdString();
}

// The offer comes after the first two quick scans, counted in the user's
// copy of the settings; the copy that comes with the program stays as it is.
TEST_F(DeepScanOfferTest, ShownTwiceThenNeverAgain) {
    struct Case {
        const char* stored;  // null: the program's own default
        bool shown;
        const char* after;
    };
    const Case cases[] = {
        {nullptr, true, "1"}, {"0", true, "1"},  {"1", true, "2"},
        {"2", false, "2"},    {"7", false, "7"},
    };
    for (const Case& c : cases) {
        QFile::remove(PrivateData::userCopyPath());
        if (c.stored != nullptr) {
            ASSERT_TRUE(PrivateData::setValue("IsFristTime", QString(c.stored)));
        }
        EXPECT_EQ(DeepScanOffer::TakeTurn(), c.shown) << (c.stored ? c.stored : "default");
        EXPECT_EQ(PrivateData::value("IsFristTime").toString(), c.after);
    }
    QFile::remove(PrivateData::userCopyPath());
    EXPECT_EQ(PrivateData::value("IsFristTime").toString(), "YES");
}

TEST_F(DeepScanOfferTest, AWriteThatFailsStillShowsTheOffer) {
    const QString folder = QFileInfo(PrivateData::userCopyPath()).absolutePath();
    QDir(folder).removeRecursively();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_TRUE(DeepScanOffer::TakeTurn());
    QFile::remove(folder);
}

}  // namespace
