#pragma once

// The about window: the program's picture, name and version, and a link to
// its web page. It runs modally and fades in and out.

#include "TCImageWindow.h"

class KvDialogFading;
class KvHandButton;
class QLabel;

class KvAboutWindowController : public TCImageWindow {
    Q_OBJECT

public:
    explicit KvAboutWindowController(QWidget* parent = nullptr);

    void windowDidLoad();
    void linkButtonAction();
    // Ends the modal run and closes at once.
    void closeWindow();

    QLabel* titleLabel() const { return titleLabel_; }
    KvHandButton* aboutlink() const { return aboutlink_; }
    KvDialogFading* fading() const { return fading_; }

private:
    KvDialogFading* fading_;
    QLabel* titleLabel_ = nullptr;
    KvHandButton* aboutlink_;
};

// Shows the about window modally, then brings `parent` (when given) back to the front.
void ShowAbout(QWidget* parent);
