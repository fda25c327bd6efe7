#pragma once

// The dialog shown when the user stopped a recovery: how many files were
// copied, the destination folder as a link that opens it, and OK.

#include "TCImageWindow.h"

class KvDialogFading;
class KvFolderLink;
class QLabel;
class TCImageButton;

class KvScanNotEndSaveWindowController : public TCImageWindow {
    Q_OBJECT
public:
    explicit KvScanNotEndSaveWindowController(QWidget* parent = nullptr);
    ~KvScanNotEndSaveWindowController() override;

    // Fills the note with the number of files copied, naming those of them
    // copied only in part, and the link with the destination folder.
    void changeRecoveryFilesPoint(double count, const QString& savePath, double partly = 0);

    // The link's action: opens the folder when there is one.
    void jumpToSavePath();
    // Ends the modal session and closes at once.
    void okButtonAction();

    KvDialogFading* fading() const { return fading_; }
    QLabel* aTitleLabel() const { return aTitleLabel_; }
    QLabel* showRecoveryNoteLabel() const { return showRecoveryNoteLabel_; }
    TCImageButton* okButton() const { return okButton_; }
    KvFolderLink* savePathLabel() const { return savePathLabel_; }
    const QString& savePtahStr() const { return savePtahStr_; }

private:
    KvDialogFading* fading_;
    QLabel* aTitleLabel_;
    QLabel* showRecoveryNoteLabel_;
    TCImageButton* okButton_;
    KvFolderLink* savePathLabel_;
    QString savePtahStr_;
};
