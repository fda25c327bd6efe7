#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTest>
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

// The widget a real pointer meets at the centre of `control`.
QWidget* WidgetUnder(QWidget* control) {
    return QApplication::widgetAt(control->mapToGlobal(control->rect().center()));
}

// Clicks with the mouse where `control` shows on screen, as a user does.
void ClickOnScreen(QWidget* control) {
    const QPoint centre = control->mapToGlobal(control->rect().center());
    QWidget* hit = QApplication::widgetAt(centre);
    ASSERT_NE(hit, nullptr);
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFromGlobal(centre));
}

// Opens `Dialog` modally from a real click on a button of another window, as
// the pages do, and hands it to `act` inside its run; answers whether the run
// ended before a guard closed it.
template <typename Dialog, typename Act>
bool RunFromAClick(Act act) {
    QPushButton opener("Open");
    opener.resize(100, 30);
    opener.show();
    bool endedByUser = false;
    QObject::connect(&opener, &QPushButton::clicked, [&] {
        Dialog dialog;
        bool guarded = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &dialog, [&] {
            guarded = true;
            ModalRunner::stopModal(&dialog);
        });
        guard.start(3000);
        QTimer::singleShot(50, &dialog, [&] { act(dialog); });
        ModalRunner::runModalForWindow(&dialog);
        endedByUser = !guarded;
    });
    // The click arrives from the application's running event loop.
    QEventLoop running;
    QTimer::singleShot(0, &running, [&] {
        QTest::mouseClick(&opener, Qt::LeftButton);
        running.quit();
    });
    running.exec();
    return endedByUser;
}

TEST(VolumeNotice, AnswersRealClicksWhenOpenedFromAClick) {
    OpenedUrls opened;
    EXPECT_TRUE(RunFromAClick<APFSScanWindowController>([&](APFSScanWindowController& notice) {
        EXPECT_EQ(WidgetUnder(notice.actualizarButton()), notice.actualizarButton());
        ClickOnScreen(notice.actualizarButton());
        EXPECT_EQ(WidgetUnder(notice.actuButton()), notice.actuButton());
        ClickOnScreen(notice.actuButton());
    }));
    EXPECT_EQ(opened.urls.size(), 1);
}

TEST(AboutWindow, AnswersRealClicksWhenOpenedFromAClick) {
    OpenedUrls opened;
    EXPECT_TRUE(RunFromAClick<KvAboutWindowController>([&](KvAboutWindowController& about) {
        EXPECT_EQ(WidgetUnder(about.aboutlink()), about.aboutlink());
        ClickOnScreen(about.aboutlink());
        // The about window ends with its close button.
        TCWindowButton* close = about.standardWindowButton(TCImageWindow::kCloseButton);
        EXPECT_EQ(WidgetUnder(close), close);
        ClickOnScreen(close);
    }));
    EXPECT_EQ(opened.urls.size(), 1);
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
