// Saving the result: the save button and the save of the scan result to a file.

#include <QLabel>

#include "Geometry.h"
#include "KvDeletailWindowController.h"
#include "KvProgressWindow.h"
#include "ScanResultSaver.h"
#include "TCImageButton.h"
#include "Tr.h"

void KvDeletailWindowController::createExportButton(int show) {
    if (isImport == 1) {
        if (exportButton != nullptr)
            exportButton->hide();
        advButton->hide();
        return;
    }
    if (exportButton == nullptr) {
        exportButton = new TCImageButton(blowView);
        exportButton->setObjectName(QStringLiteral("exportButton"));
        exportButton->setGeometry(FromBottomLeft(QRectF(80, 15, 60, 60), kControlStripHeight));
        exportButton->setImageFromFileNormalName("icon_export_normal", "icon_export_press",
                                                 "icon_export_hover", "icon_export_disable");
        exportButton->setButtonEnabled(false);
        exportButton->setToolTip(Tr("QOV_FOUR_SAVE_BUTTON_TIP"));
        connect(exportButton, &QAbstractButton::clicked, this,
                &KvDeletailWindowController::exportButtonAction);
        exportButton->hide();
    }
    if (show != 0) {
        if (exportLabel != nullptr)
            exportLabel->show();
        exportButton->show();
    }
}

void KvDeletailWindowController::exportButtonAction() {
    if (!ScanResultSaver::run(this, RunSaveWait).isEmpty())
        bSave = 1;
    activateWindow();
}
