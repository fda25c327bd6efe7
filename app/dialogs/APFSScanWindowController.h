#pragma once

// The notice the main window shows instead of the results window when the
// chosen disk or volume cannot be opened: what happened, a link to a help
// page and an OK button. It runs modally and fades in and out.

#include "TCImageWindow.h"

class KvDialogFading;
class KvHandButton;
class QLabel;
class TCImageButton;

class APFSScanWindowController : public TCImageWindow {
    Q_OBJECT

public:
    static constexpr double kTitleBarHeight = 22.0;
    static constexpr double kTrafficLightLeftMargin = 13.0;

    explicit APFSScanWindowController(QWidget* parent = nullptr);

    void awakeFromNib();
    void windowDidLoad();
    void linkButtonAction();
    void okButtonAction();
    // Ends the modal run and closes at once.
    void closeWindow();

    int iClickCount() const { return iClickCount_; }
    QLabel* textField() const { return textField_; }
    QLabel* textField1() const { return textField1_; }
    KvHandButton* actualizarButton() const { return actualizarButton_; }
    TCImageButton* actuButton() const { return actuButton_; }
    QLabel* aTitleLabel() const { return aTitleLabel_; }
    KvDialogFading* fading() const { return fading_; }

private:
    KvDialogFading* fading_;
    int iClickCount_ = 0;
    QLabel* textField_;
    QLabel* textField1_;
    QLabel* actualizarLabel_;
    KvHandButton* actualizarButton_;
    TCImageButton* actuButton_;
    QLabel* aTitleLabel_ = nullptr;
};

// Shows the notice over `parent`, modally, and brings `parent` back to the front.
void ShowVolumeNotice(QWidget* parent);
