#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QUrl>

#include "APFSScanWindowController.h"
#include "Fader.h"
#include "KvAboutWindowController.h"
#include "KvHandButton.h"
#include "KvLinkUrl.h"
#include "ModalRunner.h"
#include "TCImageButton.h"

namespace {

// Stands in for the browser while it lives.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~OpenedUrls() override {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls << url; }
};

// Runs `window` modally and presses its title-bar close button with fading on;
// answers how long the run took to end.
qint64 CloseWithTheTitleBarButton(TCImageWindow* window) {
    Fader::setEnabled(true);
    QElapsedTimer clock;
    QTimer::singleShot(0, window, [window, &clock] {
        clock.start();
        window->standardWindowButton(TCImageWindow::kCloseButton)->click();
    });
    ModalRunner::runModalForWindow(window);
    const qint64 ms = clock.elapsed();
    Fader::setEnabled(false);
    return ms;
}

TEST(VolumeNotice, TitleBarAndLink) {
    APFSScanWindowController notice;
    EXPECT_EQ(notice.titleBarHeight(), 22.0);
    EXPECT_EQ(notice.trafficLightButtonsLeftMargin(), 13.0);
    EXPECT_EQ(notice.aTitleLabel()->geometry(), QRect(80, 2, 300, 18));
    EXPECT_EQ(notice.iClickCount(), 0);

    OpenedUrls opened;
    notice.actualizarButton()->click();
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl(KvLinkUrl::GetUrl("APFS_HELP_URL"))});
}

TEST(VolumeNotice, TheCloseButtonEndsTheRunAtOnce) {
    APFSScanWindowController notice;
    EXPECT_LT(CloseWithTheTitleBarButton(&notice), 200);
    EXPECT_FALSE(notice.isVisible());
    EXPECT_EQ(ModalRunner::depth(), 0);
}

TEST(VolumeNotice, OkEndsTheRun) {
    APFSScanWindowController notice;
    QTimer::singleShot(0, &notice, [&] { notice.actuButton()->click(); });
    ModalRunner::runModalForWindow(&notice);
    EXPECT_FALSE(notice.isVisible());
}

TEST(AboutWindow, TitleAndLink) {
    KvAboutWindowController about;
    EXPECT_EQ(about.titleLabel()->geometry(), QRect(70, 0, 300, 22));
    EXPECT_FALSE(about.titleLabel()->text().isEmpty());

    OpenedUrls opened;
    about.aboutlink()->click();
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl(KvLinkUrl::GetUrl("AboutURL"))});
}

TEST(AboutWindow, TheCloseButtonEndsTheRunAtOnce) {
    KvAboutWindowController about;
    EXPECT_LT(CloseWithTheTitleBarButton(&about), 200);
    EXPECT_FALSE(about.isVisible());
}

}  // namespace

#include "NoticeAndAboutTest.moc"
