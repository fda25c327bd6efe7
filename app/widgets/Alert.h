#pragma once

// A classic alert: a message, an informative text and up to three buttons. The
// default button answers 1, the alternate 0 and the other -1. Tests install an
// answerer that replies in place of the user.

#include <QString>

#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

class Alert {
public:
    // The widest a long informative text is laid out before it wraps.
    static constexpr int kInformativeWidth = 380;

    QString message;
    QString informativeText;
    QString defaultButton;  // "OK" when empty
    QString alternateButton;
    QString otherButton;
    QString iconName = "warning";

    // An alert whose texts are the string table's under these keys; a null
    // button key leaves that button out.
    static Alert fromKeys(const char* message, const char* informative, const char* defaultKey,
                          const char* alternateKey = nullptr, const char* otherKey = nullptr);

    // Modal for the application, or for `window` only (a sheet below its title bar).
    int run(QWidget* window = nullptr) const;
    // The dialog run() shows, built but not shown.
    std::unique_ptr<QMessageBox> makeBox(QWidget* window = nullptr) const;

    using Answerer = std::function<int(const Alert&)>;
    // Replaces the user while set; an empty answerer restores the dialog.
    static void setAnswerer(Answerer answerer);
};
