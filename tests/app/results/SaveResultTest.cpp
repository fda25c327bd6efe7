#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <deque>
#include <vector>

#include "Alert.h"
#include "FakeFacade.h"
#include "NoPermissionOverride.h"
#include "SavePanel.h"
#include "ScanResultSaver.h"
#include "Tr.h"

namespace {

// Answers the save panel and the alerts from lists, and records what was shown.
class ScriptedUser {
public:
    ScriptedUser() {
        SavePanel::setAnswerer([this](const SavePanel& panel) {
            panels.push_back(panel);
            if (paths.empty())
                return QString();
            const QString path = paths.front();
            paths.pop_front();
            return path;
        });
        Alert::setAnswerer([this](const Alert& alert) {
            alerts.push_back(alert);
            if (answers.empty())
                return 0;
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    ~ScriptedUser() {
        SavePanel::setAnswerer({});
        Alert::setAnswerer({});
    }

    std::deque<QString> paths;
    std::deque<int> answers;
    std::vector<SavePanel> panels;
    std::vector<Alert> alerts;
};

class SaveResultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        fake.saveFileName = QStringLiteral("USB Stick_12-11-2026 at 04.05.06");
    }

    // The wait window's part: starts the save and reports `waitResult`.
    QString save() {
        return ScanResultSaver::run(nullptr, [this](QWidget*, const std::function<void()>& start) {
            ++waits;
            start();
            return waitResult;
        });
    }

    FakeFacade fake;
    ScriptedUser user;
    QTemporaryDir folder;
    int waitResult = 1;
    int waits = 0;
};

TEST_F(SaveResultTest, CancellingThePanelSavesNothing) {
    EXPECT_TRUE(save().isEmpty());
    EXPECT_EQ(user.panels.size(), 1u);
    EXPECT_TRUE(user.alerts.empty());
    EXPECT_EQ(waits, 0);
    EXPECT_TRUE(fake.savePath.isEmpty());
    EXPECT_TRUE(fake.plistSavePath.isEmpty());
}

TEST_F(SaveResultTest, SavesUnderTheProposedNameAsAResultFileAndRemembersIt) {
    user.paths.push_back(folder.filePath(QStringLiteral("monday")));
    const QString expected = folder.filePath(QStringLiteral("monday.Harbex"));

    EXPECT_EQ(save(), expected);
    ASSERT_EQ(user.panels.size(), 1u);
    EXPECT_EQ(user.panels[0].nameFieldStringValue, fake.saveFileName);
    EXPECT_EQ(user.panels[0].allowedFileType, QStringLiteral("Harbex"));
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(fake.savePath, expected);
    EXPECT_EQ(fake.plistSavePath, expected);
}

TEST_F(SaveResultTest, AFailedSaveRecordsNoPath) {
    waitResult = 0;
    user.paths.push_back(folder.filePath(QStringLiteral("r.Harbex")));
    EXPECT_TRUE(save().isEmpty());
    EXPECT_EQ(waits, 1);
    EXPECT_TRUE(fake.plistSavePath.isEmpty());
}

// The folder that will hold the file decides, not its parent.
TEST_F(SaveResultTest, AFolderThatCannotBeWrittenIsRefusedThoughItsParentCanBe) {
    const QString locked = folder.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    NoPermissionOverride asUser;
    ASSERT_TRUE(ScanResultSaver::canWriteInto(folder.path()));
    ASSERT_FALSE(ScanResultSaver::canWriteInto(locked));

    struct Case {
        int answer;
        size_t panels;
    };
    // Another folder: the panel again with the proposed name; cancel: the end.
    for (const Case& c : {Case{1, 2}, Case{0, 1}}) {
        SCOPED_TRACE(c.answer);
        user.panels.clear();
        user.alerts.clear();
        user.paths = {locked + QStringLiteral("/r.Harbex")};
        user.answers = {c.answer};

        EXPECT_TRUE(save().isEmpty());
        ASSERT_EQ(user.alerts.size(), 1u);
        EXPECT_EQ(user.alerts[0].informativeText, Tr("SAVE_CANNOT_WRITE"));
        EXPECT_EQ(user.alerts[0].defaultButton, Tr("CHANG_DESTINATION"));
        ASSERT_EQ(user.panels.size(), c.panels);
        EXPECT_EQ(user.panels.back().nameFieldStringValue, fake.saveFileName);
        EXPECT_EQ(waits, 0);
    }
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(SaveResultTest, OnTheScannedDeviceTheUserChoosesAnotherFolderStopsOrSavesThere) {
    fake.recoveryOnSameDevice = true;
    const QString path = folder.filePath(QStringLiteral("r.Harbex"));
    struct Case {
        int answer;
        size_t panels;
        bool saved;
    };
    for (const Case& c : {Case{1, 2, false}, Case{0, 1, false}, Case{-1, 1, true}}) {
        SCOPED_TRACE(c.answer);
        user.panels.clear();
        user.alerts.clear();
        fake.savePath.clear();
        user.paths = {path};
        user.answers = {c.answer};

        EXPECT_EQ(save(), c.saved ? path : QString());
        ASSERT_EQ(user.alerts.size(), 1u);
        EXPECT_EQ(user.alerts[0].message, Tr("SAVE_SAME_DISK_WARNING"));
        EXPECT_EQ(user.alerts[0].informativeText, Tr("SAVE_SAME_DISK_PROMPT"));
        EXPECT_FALSE(user.alerts[0].otherButton.isEmpty());
        EXPECT_EQ(user.panels.size(), c.panels);
        EXPECT_EQ(fake.savePath, c.saved ? path : QString());
    }
}

}  // namespace
