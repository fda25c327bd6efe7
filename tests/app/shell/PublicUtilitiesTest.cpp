#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonObject>

#include <optional>

#include "KvLinkUrl.h"
#include "KvPublicUtilities.h"
#include "PrivateData.h"
#include "UserDefaults.h"

namespace {

TEST(SizeTexts, DecimalUnitsUpToTerabytes) {
    struct Case {
        int64_t bytes;
        const char* disk;    // longlongDiskSize
        const char* volume;  // convertVolSpace (no TB step)
    };
    const Case cases[] = {
        {0, "0 byte", "0 byte"},
        {999, "999 byte", "999 byte"},
        {1000, "1.00 KB", "1.00 KB"},
        {1500000, "1.50 MB", "1.50 MB"},
        {2000000000, "2.00 GB", "2.00 GB"},
        {1000000000000, "1.00 TB", "1000.00 GB"},
        {2000000000000, "2.00 TB", "2000.00 GB"},
        {-5, "-5 byte", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KvPublicUtilities::longlongDiskSize(c.bytes), c.disk) << c.bytes;
        EXPECT_EQ(KvPublicUtilities::longlongConvertVolSpace(c.bytes), c.disk) << c.bytes;
        if (c.volume) {
            EXPECT_EQ(KvPublicUtilities::convertVolSpace(uint64_t(c.bytes)), c.volume) << c.bytes;
        }
    }
}

TEST(SizeTexts, ReadBack) {
    struct Case {
        const char* text;
        uint64_t bytes;
    };
    const Case cases[] = {
        {"1.50 MB", 1500000},      {"2 KB", 2000},         {"12 byte", 0}, {"", 0}, {"B", 0},
        {"1.00 TB", 999999995904}, {"3.00 GB", 3000000000}};
    for (const Case& c : cases)
        EXPECT_EQ(KvPublicUtilities::volSpaceFromString(c.text), c.bytes) << c.text;
}

TEST(SizeTexts, MoreThanTwoGigabytesCountsDecimalMegabytes) {
    EXPECT_FALSE(KvPublicUtilities::isMoreThan2GB(999999));
    EXPECT_FALSE(KvPublicUtilities::isMoreThan2GB(2048000000));
    EXPECT_FALSE(KvPublicUtilities::isMoreThan2GB(2048999999));
    EXPECT_TRUE(KvPublicUtilities::isMoreThan2GB(2049000000));
}

TEST(FileSystemNames, ByIdAndForImages) {
    const char* const names[] = {"FAT12", "FAT16", "FAT32", "NTFS", "EXT2",    "EXT3",
                                 "RAW",   "EXFAT", "HFS+",  "APFS", "Unknown", "Disk"};
    for (int id = 0; id < 12; ++id) {
        EXPECT_EQ(KvPublicUtilities::fileSystemTypeForInt(id, 0, 1), names[id]) << id;
        EXPECT_EQ(KvPublicUtilities::fileSystemTypeForInt(id, 1, 0), "Disk Image") << id;
    }
    EXPECT_EQ(KvPublicUtilities::fileSystemTypeForInt(-1, 0, 0), "Disk");
}

class LinksTest : public ::testing::Test {
protected:
    void SetUp() override {
        QJsonObject list;
        list.insert("PRODUCTNAME", "Harbex");
        list.insert("isBootable", "YES");
        list.insert("en", QJsonObject{{"OnlineHelp", "https://en/help"},
                                      {"SupportTeam", "https://en/support"}});
        list.insert("fr", QJsonObject{{"OnlineHelp", "https://fr/aide"}, {"SupportTeam", ""}});
        ASSERT_TRUE(PrivateData::write(list));
    }
    void TearDown() override {
        QFile::remove(PrivateData::userCopyPath());
        UserDefaults::setValue("AppleLanguages", QStringList{});
    }
};

TEST_F(LinksTest, TheLanguagesAddressElseEnglish) {
    UserDefaults::setValue("AppleLanguages", QStringList{"fr"});
    EXPECT_EQ(KvLinkUrl::GetUrl("OnlineHelp"), "https://fr/aide");
    EXPECT_EQ(KvLinkUrl::GetUrl("SupportTeam"), "https://en/support");  // empty in French
    EXPECT_EQ(KvLinkUrl::GetUrl("AboutURL"), "");
    UserDefaults::setValue("AppleLanguages", QStringList{"de"});
    EXPECT_EQ(KvLinkUrl::GetUrl("OnlineHelp"), "https://en/help");
    EXPECT_TRUE(KvPublicUtilities::isBootable());
    EXPECT_EQ(KvPublicUtilities::getProductName(), "Harbex");
}

TEST_F(LinksTest, TheUpdateTimeIsWrittenToTheUsersCopy) {
    ASSERT_TRUE(KvPublicUtilities::writeUpDataTimeStr("2026-12-10 20:00:00"));
    EXPECT_EQ(KvPublicUtilities::getUpDataTimeStr(), "2026-12-10 20:00:00");
    EXPECT_EQ(KvPublicUtilities::getProductName(), "Harbex");
}

TEST(CommandRunner, ArgumentsReachTheProgramAsTheyAreWithoutAShell) {
    const QString injected = QDir::tempPath() + "/harbex-runner-injected";
    const QString quoted = "it's \"quoted\"; $(touch " + injected + ") `x`";
    const QString longArgument(500, 'a');
    const QString output = KvExecCommand("/bin/echo", {quoted, longArgument});
    ASSERT_FALSE(output.isEmpty());
    QFile file(output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), quoted + " " + longArgument + "\n");
    EXPECT_FALSE(QFile::exists(injected));
    // Each run has a file of its own.
    const QString second = KvExecCommand("/bin/echo", {"x"});
    EXPECT_NE(second, output);
    QFile::remove(output);
    QFile::remove(second);
    EXPECT_TRUE(KvExecCommand("/no/such/program", {}).isEmpty());
}

TEST(DiskInfo, NoneForWhatIsNotABlockDevice) {
    EXPECT_TRUE(KvPublicUtilities::KvGetDiskInfo("/etc/hostname").isEmpty());
    EXPECT_TRUE(KvPublicUtilities::KvGetDiskInfo("/no/such/device").isEmpty());
}

TEST(NetworkCheck, AnswersThroughTheEventLoopNeverInline) {
    QObject context;
    std::optional<bool> answer;
    KvPublicUtilities::isCanBeUseNetWork(&context, [&](bool reachable) { answer = reachable; });
    EXPECT_FALSE(answer.has_value()) << "the caller is never held up";
    // Whatever the network, the answer comes within the check's own limit.
    QDeadlineTimer deadline(20000);
    while (!answer && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(answer.has_value());
}

TEST(NetworkCheck, NoAnswerReachesAnAskerThatIsGone) {
    bool answered = false;
    {
        QObject context;
        KvPublicUtilities::isCanBeUseNetWork(&context, [&](bool) { answered = true; });
    }
    QDeadlineTimer deadline(300);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(answered);
}

}  // namespace
