#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QTest>
#include <QUrl>

#include <vector>

#include "KvFolderLink.h"
#include "KvScanEndSaveWindowController.h"
#include "KvScanNotEndSaveWindowController.h"

// Records what the desktop was asked to open, in place of the file manager.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() { QDesktopServices::setUrlHandler("file", this, "open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler("file"); }
    std::vector<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

namespace {

void ExpectLinkTo(const KvFolderLink& link, const QString& path) {
    EXPECT_EQ(link.text(), path);
    EXPECT_EQ(link.toolTip(), path);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(24, 90, 166));
    EXPECT_TRUE(link.font().underline());
}

TEST(RecoveryEndDialogs, TheFolderLinkShowsThePathAndAClickOpensIt) {
    const QString path = "/media/backup/Recovered Files 2026-12-11";
    OpenedUrls opened;
    KvScanEndSaveWindowController finished;
    finished.setSavePathStr(path);
    ExpectLinkTo(*finished.savePathLabel(), path);
    KvScanNotEndSaveWindowController stopped;
    stopped.changeRecoveryFilesPoint(3, path);
    ExpectLinkTo(*stopped.savePathLabel(), path);

    finished.show();
    QTest::mouseClick(finished.savePathLabel(), Qt::LeftButton);
    stopped.jumpToSavePath();
    EXPECT_EQ(opened.urls, std::vector<QUrl>(2, QUrl::fromLocalFile(path)));
}

TEST(RecoveryEndDialogs, AnEmptyPathOpensNothing) {
    OpenedUrls opened;
    KvScanEndSaveWindowController finished;
    finished.setSavePathStr(QString());
    finished.jumpToSavePath();
    KvScanNotEndSaveWindowController stopped;
    stopped.changeRecoveryFilesPoint(0, "");
    stopped.jumpToSavePath();
    EXPECT_TRUE(opened.urls.empty());
    EXPECT_TRUE(finished.savePathLabel()->text().isEmpty());
}

TEST(RecoveryEndDialogs, TheStoppedNoteCountsTheCopiedFiles) {
    KvScanNotEndSaveWindowController stopped;
    stopped.changeRecoveryFilesPoint(0, "/tmp/out");
    EXPECT_EQ(stopped.showRecoveryNoteLabel()->text(), "Recovery stopped. 0 files were recovered.");
    stopped.changeRecoveryFilesPoint(1234, "/tmp/out");
    EXPECT_EQ(stopped.showRecoveryNoteLabel()->text(),
              "Recovery stopped. 1234 files were recovered.");
}

// Files copied only in part are named in both notes, never counted as whole.
TEST(RecoveryEndDialogs, PartlyCopiedFilesAreNamed) {
    KvScanNotEndSaveWindowController stopped;
    stopped.changeRecoveryFilesPoint(5, "/tmp/out", 2);
    EXPECT_EQ(stopped.showRecoveryNoteLabel()->text(),
              "Recovery stopped. 5 files were recovered, 2 of them only in part.");
    KvScanEndSaveWindowController finished;
    finished.setPartlyRecovered(3);
    EXPECT_EQ(finished.recoveryEndNode()->text(),
              "Your files were recovered into the folder you chose, 3 of them only in part.");
    finished.setPartlyRecovered(0);
    EXPECT_EQ(finished.recoveryEndNode()->text(),
              "Your files were recovered into the folder you chose.");
}

}  // namespace

#include "RecoveryEndDialogsTest.moc"
