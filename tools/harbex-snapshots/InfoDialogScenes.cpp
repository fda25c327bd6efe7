// Scenes of the deep-scan offer, the volume notice, the about and update
// windows, the quick preview and a warning alert.

#include <QLabel>
#include <QMessageBox>
#include <QPainter>

#include "APFSScanWindowController.h"
#include "Alert.h"
#include "KvAboutWindowController.h"
#include "KvCheckUpdateWindowController.h"
#include "KvDeepScanViewController.h"
#include "KvRootWindowController.h"
#include "MAAttachedWindow.h"
#include "PrivateData.h"
#include "Scene.h"
#include "SpacePreviewWindow.h"
#include "Tr.h"

namespace {

// One picture of `back` with `front` drawn over it at `at` (centred when null).
std::unique_ptr<QWidget> Composite(QWidget* back, QWidget* front, QPoint at = {-1, -1}) {
    QPixmap picture = back->grab();
    const QPixmap top = front->grab();
    if (at == QPoint(-1, -1))
        at = QPoint((picture.width() - top.width()) / 2, (picture.height() - top.height()) / 2);
    QPainter painter(&picture);
    // A soft shadow, as the desktop draws under a window in front.
    painter.setPen(Qt::NoPen);
    for (int spread = 8; spread > 0; --spread) {
        painter.setBrush(QColor(0, 0, 0, 6));
        painter.drawRoundedRect(
            QRect(at, top.size()).adjusted(-spread, -spread + 3, spread, spread + 3), spread,
            spread);
    }
    painter.drawPixmap(at, top);
    painter.end();
    auto label = std::make_unique<QLabel>();
    label->setPixmap(picture);
    label->resize(picture.size());
    return label;
}

// The update window that shows `face` and does not ask the network.
std::unique_ptr<KvCheckUpdateWindowController> UpdateWindow(bool answers, bool network) {
    KvCheckUpdateWindowController::Source source;
    source.networkTest = [answers, network](QObject*, std::function<void(bool)> done) {
        if (answers)
            done(network);
    };
    return std::make_unique<KvCheckUpdateWindowController>(source);
}

qint64 LocalVersion() {
    return PrivateData::value(QStringLiteral("VersionCheck")).toInteger();
}

}  // namespace

HARBEX_SCENE("dialog-deepscan-offer") {
    // The offer below a point of a grey stand-in for the results window.
    QWidget window;
    window.resize(420, 160);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(QColor(236, 236, 236)));
    auto* view = new KvDeepScanViewController;
    std::unique_ptr<MAAttachedWindow> popup(MAAttachedWindow::create(
        view, QPointF(40, 140), &window, MAAttached::kBelowRightward, 10.0));
    popup->setBorderColor(QColor(200, 200, 200));
    popup->setBorderWidth(1.0);
    return Composite(&window, popup.get(), QPoint(40 - 8, 20 + 10));
}

HARBEX_SCENE("dialog-volume-notice") {
    return std::make_unique<APFSScanWindowController>();
}

HARBEX_SCENE("main-volume-notice") {
    KvRootWindowController main{KvShellWindows()};
    main.windowDidLoad();
    APFSScanWindowController notice;
    return Composite(&main, &notice);
}

HARBEX_SCENE("dialog-about") {
    return std::make_unique<KvAboutWindowController>();
}

HARBEX_SCENE("dialog-update-checking") {
    return UpdateWindow(false, false);
}

HARBEX_SCENE("dialog-update-no-network") {
    return UpdateWindow(true, false);
}

HARBEX_SCENE("dialog-update-none") {
    auto window = UpdateWindow(false, false);
    window->whatIsNewVersionDiff({{"VersionCheck", LocalVersion()}});
    return window;
}

HARBEX_SCENE("dialog-update-new") {
    auto window = UpdateWindow(false, false);
    window->whatIsNewVersionDiff(
        {{"VersionCheck", LocalVersion() + 1},
         {"Version", "1.1.0"},
         {"1", "Scans of exFAT drives find files in damaged folders."},
         {"2", "Saved scan results open twice as fast."},
         {"3",
          "The quick preview shows pictures at their full size when they fit, and "
          "the name of the file in its title bar."}});
    return window;
}

HARBEX_SCENE("dialog-preview") {
    auto preview = std::make_unique<SpacePreviewWindow>();
    QImage picture(360, 240, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient sky(0, 0, 0, 240);
    sky.setColorAt(0, QColor(90, 150, 220));
    sky.setColorAt(1, QColor(240, 200, 120));
    painter.fillRect(picture.rect(), sky);
    painter.setBrush(QColor(60, 110, 60));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(180, 330), 260, 140);
    painter.end();
    preview->setStrName(QStringLiteral("IMG_2041.JPG"));
    preview->setShowImage(picture);
    return preview;
}

HARBEX_SCENE("alert-warning") {
    Alert alert;
    alert.message = Tr("QOV_FOUR_SCAN_STOP_TITLE");
    alert.informativeText = Tr("QOV_FOUR_SCAN_STOP_NODE");
    alert.defaultButton = Tr("QOV_FOUR_SCAN_STOP_YES_BUTTON");
    alert.alternateButton = Tr("QOV_FOUR_SCAN_STOP_NO_BUTTON");
    std::unique_ptr<QMessageBox> box = alert.makeBox();
    box->setWindowModality(Qt::NonModal);
    return box;
}
