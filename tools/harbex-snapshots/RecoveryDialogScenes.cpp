// Scenes of the recovery dialogs and the wait window of a save or load.

#include "FakeFacade.h"
#include "KvNotificationNames.h"
#include "KvProgressWindow.h"
#include "KvScanEndSaveWindowController.h"
#include "KvScanNotEndSaveWindowController.h"
#include "KvShowScanProgressWindowController.h"
#include "Scene.h"

namespace {

constexpr const char* kFolder = "/media/harbex/Backup/Recovered 2026-12-11";

// A copy of 2,000 bytes running, 42 % done.
std::unique_ptr<KvShowScanProgressWindowController> Copying(FakeFacade& facade) {
    facade.recoveryTotal = 2000;
    facade.DoRecovery({}, kFolder, kvnote::kDoRecovery);
    auto dialog = std::make_unique<KvShowScanProgressWindowController>();
    dialog->changeProgressValue(42, "Pictures/2025/Holiday/IMG_4711.JPG");
    return dialog;
}

std::unique_ptr<QWidget> Waiting(FakeFacade& facade, bool save) {
    auto window = std::make_unique<KvProgressWindow>();
    const char* note = save ? kvnote::kQueryProgressInfo : kvnote::kNormalScanValue;
    window->setStrPostName(note);
    window->setBSave(save);
    facade.RestorPostUIUpdate(note, save);
    facade.beginSaveOrRestoreNode(save ? 1 : 0, "/home/harbex/Scan.Harbex", QString());
    facade.advanceSaveOrLoad(35, 100);
    return window;
}

}  // namespace

HARBEX_SCENE("dialog-recovery-progress") {
    return Copying(facade);
}

HARBEX_SCENE("dialog-recovery-stop") {
    auto dialog = Copying(facade);
    dialog->stopProgressButtonAction();
    return dialog;
}

HARBEX_SCENE("dialog-recovery-no-space") {
    auto dialog = Copying(facade);
    // The destination is full: the copy pauses and says why.
    constexpr int64_t kDestinationFull = 0x0102000300000D03;
    facade.advanceRecovery(840, "Pictures/2025/Holiday/IMG_4712.JPG", kDestinationFull);
    dialog->setNoMemeryViewHidden(kDestinationFull);
    return dialog;
}

HARBEX_SCENE("dialog-recovery-finished") {
    auto dialog = std::make_unique<KvScanEndSaveWindowController>();
    dialog->setSavePathStr(kFolder);
    return dialog;
}

HARBEX_SCENE("dialog-recovery-stopped") {
    auto dialog = std::make_unique<KvScanNotEndSaveWindowController>();
    dialog->changeRecoveryFilesPoint(12, kFolder);
    return dialog;
}

HARBEX_SCENE("dialog-wait-save") {
    return Waiting(facade, true);
}

HARBEX_SCENE("dialog-wait-load") {
    return Waiting(facade, false);
}
