#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "KvDeepScanViewController.h"
#include "Tr.h"

namespace {

// Collects what the program writes to its log while it lives.
class LogLines {
public:
    LogLines() {
        lines().clear();
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { lines() << text; });
    }
    ~LogLines() { qInstallMessageHandler(previous_); }
    static QStringList& lines() {
        static QStringList collected;
        return collected;
    }

private:
    QtMessageHandler previous_;
};

TEST(DeepScanView, TheWordsDeepScanStandOutInTheNote) {
    KvDeepScanViewController view;
    const QString text = view.deepScanNodeLabel()->text();
    EXPECT_EQ(view.deepScanNodeLabel()->textFormat(), Qt::RichText);
    EXPECT_TRUE(text.contains("font-size:14px\">Deep Scan</span>")) << text.toStdString();

    // Markup in the note is shown as text.
    view.setTextFiled(QStringLiteral("<b>Try</b> Deep Scan"));
    EXPECT_TRUE(view.deepScanNodeLabel()->text().startsWith("&lt;b&gt;Try&lt;/b&gt; <span"));
}

TEST(DeepScanView, ANoteWithoutTheWordsLeavesTheLabelAsItWas) {
    KvDeepScanViewController view;
    const QString before = view.deepScanNodeLabel()->text();
    LogLines log;
    view.setTextFiled(QStringLiteral("Essayez l'analyse approfondie"));
    EXPECT_EQ(view.deepScanNodeLabel()->text(), before);
    EXPECT_EQ(LogLines::lines(), (QStringList{"Failed _1", "Failed _2"}));
}

TEST(DeepScanView, ItsCloseButtonAsksForThePopUpToGo) {
    KvDeepScanViewController view;
    QSignalSpy hidden(&view, &KvDeepScanViewController::popupViewHidden);
    view.closeButton()->click();
    EXPECT_EQ(hidden.count(), 1);
}

}  // namespace
