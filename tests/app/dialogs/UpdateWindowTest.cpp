#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include "KvCheckUpdateWindowController.h"
#include "PrivateData.h"

namespace {

using Face = KvCheckUpdateWindowController::Face;

qint64 LocalVersion() {
    return PrivateData::value(QStringLiteral("VersionCheck")).toInteger();
}

QByteArray ListWith(qint64 version, const QStringList& features) {
    QByteArray list =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
        "<key>VersionCheck</key><integer>" +
        QByteArray::number(version) + "</integer><key>Version</key><string>2.0</string>";
    for (int i = 0; i < features.size(); ++i) {
        list += "<key>" + QByteArray::number(i + 1) + "</key><string>" +
                features[i].toHtmlEscaped().toUtf8() + "</string>";
    }
    return list + "</dict></plist>";
}

// Serves `list` to every request; a silent server accepts and never answers.
class ListServer {
public:
    explicit ListServer(QByteArray list, bool silent = false) : list_(std::move(list)) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this, silent] {
            QTcpSocket* socket = server_.nextPendingConnection();
            ++connections;
            if (silent)
                return;
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write(
                    "HTTP/1.0 200 OK\r\nContent-Type: application/xml\r\n"
                    "Content-Length: " +
                    QByteArray::number(list_.size()) + "\r\n\r\n" + list_);
                socket->disconnectFromHost();
            });
        });
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/latest.plist").arg(server_.serverPort());
    }
    void close() { server_.close(); }
    int connections = 0;

private:
    QByteArray list_;
    QTcpServer server_;
};

KvCheckUpdateWindowController::Source SourceFor(const QString& url, int limitMs = 10000,
                                                bool network = true) {
    return {url, [network](QObject*, std::function<void(bool)> done) { done(network); }, limitMs};
}

bool WaitForAnswer(const KvCheckUpdateWindowController& window, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (window.face() == Face::kChecking && !deadline.hasExpired())
        QTest::qWait(10);
    return window.face() != Face::kChecking;
}

TEST(UpdateWindow, EqualVersionsMeanNoUpdate) {
    ListServer server(ListWith(LocalVersion(), {"Faster"}));
    KvCheckUpdateWindowController window(SourceFor(server.url()));
    ASSERT_TRUE(WaitForAnswer(window));
    EXPECT_EQ(window.face(), Face::kNoUpdate);
}

TEST(UpdateWindow, ANewerVersionListsItsFeaturesAsPlainText) {
    ListServer server(ListWith(LocalVersion() + 1,
                               {"Faster scans", "<b>Bold</b> claims", QString(300, QChar('w'))}));
    KvCheckUpdateWindowController window(SourceFor(server.url()));
    ASSERT_TRUE(WaitForAnswer(window));
    ASSERT_EQ(window.face(), Face::kHaveUpdate);
    EXPECT_EQ(window.titleLable()->text(), "Harbex 2.0 has been released.");
    EXPECT_EQ(window.versionLabel()->text(), "New features of Version 2.0:");

    const QList<QLabel*> lines = window.showVersionScrollView()->findChildren<QLabel*>();
    ASSERT_EQ(lines.size(), 3);
    int top = -1;
    for (QLabel* line : lines) {
        EXPECT_GE(line->height(), 25);
        EXPECT_EQ(line->textFormat(), Qt::PlainText);
        EXPECT_GT(line->y(), top);  // numbered downwards from the top
        top = line->y();
    }
    EXPECT_EQ(lines[0]->text(), "1.Faster scans");
    EXPECT_EQ(lines[1]->text(), "2.<b>Bold</b> claims");
    EXPECT_EQ(lines[1]->toolTip(), "<b>Bold</b> claims");
    EXPECT_GE(window.showVersionScrollView()->height(), 99);
    // The long feature wraps into several lines and takes their height.
    EXPECT_GT(lines[2]->height(), 30);
}

TEST(UpdateWindow, AListWithoutFeaturesGivesAnEmptyListOfTheLeastHeight) {
    KvCheckUpdateWindowController window(SourceFor(QString(), 10000, false));
    window.whatIsNewVersionDiff({{"VersionCheck", LocalVersion() + 3}, {"Version", "3.0"}});
    EXPECT_EQ(window.face(), Face::kHaveUpdate);
    EXPECT_EQ(window.showVersionScrollView()->height(), 99);
    EXPECT_TRUE(window.showVersionScrollView()->findChildren<QLabel*>().isEmpty());

    window.whatIsNewVersionDiff({});
    EXPECT_EQ(window.face(), Face::kNoUpdate);
}

TEST(UpdateWindow, NoServerOrNoNetworkShowsTheNoNetworkFace) {
    ListServer gone(ListWith(LocalVersion() + 1, {}));
    const QString url = gone.url();
    gone.close();
    KvCheckUpdateWindowController refused(SourceFor(url));
    ASSERT_TRUE(WaitForAnswer(refused));
    EXPECT_EQ(refused.face(), Face::kNoNetwork);

    ListServer server(ListWith(LocalVersion() + 1, {}));
    KvCheckUpdateWindowController offline(SourceFor(server.url(), 10000, false));
    EXPECT_EQ(offline.face(), Face::kNoNetwork);
    QTest::qWait(50);
    EXPECT_EQ(server.connections, 0);
}

TEST(UpdateWindow, ASilentServerKeepsTheCheckingFaceUntilTheLimitWithoutBlocking) {
    ListServer silent(QByteArray(), true);
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start(10);

    KvCheckUpdateWindowController window(SourceFor(silent.url(), 400));
    EXPECT_EQ(window.face(), Face::kChecking);
    QTest::qWait(200);
    EXPECT_EQ(window.face(), Face::kChecking);
    ASSERT_TRUE(WaitForAnswer(window));
    EXPECT_EQ(window.face(), Face::kNoNetwork);
    EXPECT_EQ(silent.connections, 1);
    // The window's thread went on serving events while the server kept quiet.
    EXPECT_GT(ticks, 20);
}

TEST(UpdateWindow, TextHeightsFollowTheLineCountAtWidth200) {
    QFont font = QApplication::font();
    font.setPixelSize(10);
    const double one = KvCheckUpdateWindowController::heightForStringDrawing("Faster", font, 200);
    const double many = KvCheckUpdateWindowController::heightForStringDrawing(
        QString(40, QChar('w')) + " " + QString(40, QChar('w')), font, 200);
    EXPECT_GT(one, 0);
    EXPECT_GE(many, 2 * one);
    EXPECT_EQ(KvCheckUpdateWindowController::heightForStringDrawing("", font, 200), 0.0);
}

TEST(UpdateWindow, ClosingGoesOnToWhatWaitsForIt) {
    int closed = 0;
    QTimer::singleShot(0, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* update = qobject_cast<KvCheckUpdateWindowController*>(window))
                update->standardWindowButton(TCImageWindow::kCloseButton)->click();
        }
    });
    RunUpdateWindow([&] { ++closed; });
    EXPECT_EQ(closed, 1);
}

}  // namespace
