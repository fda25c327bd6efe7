// Scenes of searching a finished scan by name (the hits listed, the menu of
// recent searches) and of a recovery running from the results window (its
// progress, and a full destination holding it).

#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>

#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvNotificationNames.h"
#include "KvSearchField.h"
#include "KvShowScanProgressWindowController.h"
#include "Scene.h"

namespace {

constexpr const char* kFolder = "/media/harbex/Backup/Recovered";

// A finished scan of 2,000 files with its path tree shown.
std::unique_ptr<KvDeletailWindowController> FinishedScan(FakeFacade& facade) {
    facade.tree = std::make_shared<SyntheticTree>(2000, 100, QStringLiteral("PHOTOS"));
    auto window = std::make_unique<KvDeletailWindowController>();
    window->setSelectDiskVolumeData(FakeFacade::MakeDevice("PHOTOS", 16007561216, 1, 0, 7));
    window->getData();
    facade.advanceScan(100);
    facade.finishScan();
    QCoreApplication::processEvents();
    window->allDiskArr.push_back(facade.tree->pathRoot(facade.tree->folders().size()));
    window->reloadTreesFromRoots();
    window->search->setEnabled(true);
    return window;
}

// `front` drawn over `back` at `at` (a pop-up or a dialog over the window),
// as one picture.
std::unique_ptr<QWidget> Over(QWidget& back, QWidget& front, QPoint at) {
    QPixmap picture = back.grab();
    QPainter painter(&picture);
    painter.drawPixmap(at, front.grab());
    painter.end();
    auto label = std::make_unique<QLabel>();
    label->setPixmap(picture);
    label->resize(picture.size());
    return label;
}

QPoint Centred(const QWidget& back, const QWidget& front) {
    return back.rect().center() - front.rect().center();
}

// A recovery of the checked files 42 % through.
std::unique_ptr<KvShowScanProgressWindowController> Copying(FakeFacade& facade) {
    facade.recoveryTotal = 2000;
    facade.DoRecovery({}, kFolder, kvnote::kDoRecovery);
    auto dialog = std::make_unique<KvShowScanProgressWindowController>();
    dialog->changeProgressValue(42, "PHOTOS/Folder 3/File 212.jpg");
    return dialog;
}

}  // namespace

HARBEX_SCENE("results-search-hits") {
    auto window = FinishedScan(facade);
    window->search->setText("jpg");
    window->doSearch();
    return window;
}

HARBEX_SCENE("results-search-menu") {
    auto window = FinishedScan(facade);
    window->searchField->recents().setEntries({"jpg", "Holiday", "report 2025"});
    window->resize(KvDeletailWindowController::kWindowWidth,
                   KvDeletailWindowController::kWindowHeight);
    window->show();
    QCoreApplication::processEvents();
    QMenu* menu = window->searchField->buildMenu();
    menu->adjustSize();
    const QPoint below = window->search->mapTo(window.get(), window->search->rect().bottomLeft());
    return Over(*window, *menu, below);
}

HARBEX_SCENE("results-recovery-progress") {
    auto window = FinishedScan(facade);
    auto dialog = Copying(facade);
    return Over(*window, *dialog, Centred(*window, *dialog));
}

HARBEX_SCENE("results-recovery-no-space") {
    auto window = FinishedScan(facade);
    auto dialog = Copying(facade);
    constexpr int64_t kDestinationFull = 0x0102000300000D03;
    facade.advanceRecovery(840, "PHOTOS/Folder 3/File 213.jpg", kDestinationFull);
    dialog->setNoMemeryViewHidden(kDestinationFull);
    return Over(*window, *dialog, Centred(*window, *dialog));
}
