#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QVariantList>

#include <vector>

#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "StartArguments.h"
#include "UpdateCheck.h"

namespace {

TEST(StartArgumentsTest, LanguageLoaderAndSavedResult) {
    const struct {
        std::vector<const char*> argv;
        bool setLanguage;
        const char* language;
        bool askLoader;
        const char* rsfPath;
    } cases[] = {
        {{"harbex", "de*loaderflag*"}, true, "de", false, ""},
        {{"harbex", "*loaderflag*"}, true, "", false, ""},
        {{"harbex", "fr"}, true, "fr", false, ""},
        {{"harbex", ""}, false, "", true, ""},
        {{"harbex"}, false, "", true, ""},
        {{"harbex", "en", "/home/u/scan.Harbex"}, true, "en", false, "/home/u/scan.Harbex"},
        {{"harbex", "en", "/home/u/old.Harbex/scan"}, true, "en", false, "/home/u/old.Harbex/scan"},
        {{"harbex", "en", "/home/u/scan.txt"}, true, "en", false, ""},
    };
    for (const auto& start : cases) {
        const StartRoad road =
            ReadStartArguments(static_cast<int>(start.argv.size()), start.argv.data());
        const std::string name = start.argv.size() > 1 ? start.argv[1] : "(none)";
        EXPECT_EQ(road.setLanguage, start.setLanguage) << name;
        EXPECT_EQ(road.language, start.language) << name;
        EXPECT_EQ(road.askLoader, start.askLoader) << name;
        EXPECT_EQ(road.rsfPath, start.rsfPath) << name;
    }
    // No loader here: the start goes on.
    EXPECT_FALSE(ZZManRunLoader());
}

TEST(UpdateCheckTest, ACheckIsDueAWeekAfterTheLastOrWhenUnknown) {
    const QDateTime now(QDate(2026, 12, 11), QTime(10, 0));
    const auto ago = [&](qint64 seconds) {
        return now.addSecs(-seconds).toString(QLatin1String(kCheckTimeFormat));
    };
    const struct {
        QString stored;
        bool due;
        bool firstStart;
    } cases[] = {
        {ago(6 * 86400 + 23 * 3600), false, false},
        {ago(7 * 86400), true, false},
        {ago(30 * 86400), true, false},
        {"last tuesday", true, false},
        {"", true, true},
        {" ", true, true},
    };
    for (const auto& check : cases) {
        const UpdateDue due = IsUpdateCheckDue(check.stored, now);
        EXPECT_EQ(due.due, check.due) << check.stored.toStdString();
        EXPECT_EQ(due.firstStart, check.firstStart) << check.stored.toStdString();
    }
}

TEST(UpdateCheckTest, ReadsTheAnnouncedBuild) {
    const QByteArray list =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
        "<key>Links</key><dict><key>Other</key><string>x</string></dict>"
        "<key>VersionCheck</key><integer>42</integer></dict></plist>";
    EXPECT_EQ(VersionCheckOf(list), 42);
    EXPECT_EQ(VersionCheckOf("<plist><dict><key>Name</key><string>7</string></dict></plist>"), 0);
    EXPECT_EQ(VersionCheckOf("not a list"), 0);
    EXPECT_EQ(VersionCheckOf(""), 0);
}

TEST(UpdateCheckTest, AnUnreachableListEndsOnceAndIsNotNewer) {
    KvUpdateCheck check;
    std::vector<bool> answers;
    QObject::connect(&check, &KvUpdateCheck::finished,
                     [&](bool newer) { answers.push_back(newer); });
    // Nothing listens there; the limit ends it if the refusal does not.
    check.start(QStringLiteral("http://127.0.0.1:9/list.plist"), 1, 2000);
    QDeadlineTimer deadline(5000);
    while (answers.empty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_FALSE(answers[0]);
}

}  // namespace
