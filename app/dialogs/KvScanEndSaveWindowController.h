#pragma once

// The dialog shown when a recovery has copied every file: a heading, a
// text, the destination folder as a link that opens it, and OK.

#include <cstdint>

#include "TCImageWindow.h"

class KvDialogFading;
class KvFolderLink;
class QLabel;
class TCImageButton;

class KvScanEndSaveWindowController : public TCImageWindow {
    Q_OBJECT
public:
    explicit KvScanEndSaveWindowController(QWidget* parent = nullptr);
    ~KvScanEndSaveWindowController() override;

    const QString& savePathStr() const { return savePathStr_; }
    // The destination folder the link shows and opens.
    void setSavePathStr(const QString& path);
    // How many of the copied files are whole only in part: the text names
    // them, so that no such copy passes for a whole one.
    void setPartlyRecovered(uint64_t partly);

    // The link's action: opens the folder when there is one.
    void jumpToSavePath();
    // Ends the modal session and closes at once.
    void okButtonAction();

    KvDialogFading* fading() const { return fading_; }
    QLabel* aTitleLabel() const { return aTitleLabel_; }
    KvFolderLink* savePathLabel() const { return savePathLabel_; }
    QLabel* recoveryEndTitle() const { return recoveryEndTitle_; }
    QLabel* recoveryEndNode() const { return recoveryEndNode_; }
    TCImageButton* okButton() const { return okButton_; }

private:
    KvDialogFading* fading_;
    QLabel* aTitleLabel_;
    QString savePathStr_;
    KvFolderLink* savePathLabel_;
    QLabel* recoveryEndTitle_;
    QLabel* recoveryEndNode_;
    TCImageButton* okButton_;
};
