#pragma once

// How every dialog comes and goes: it fades in when first shown; its close
// control fades it out, after which its modal session ends and it closes.
// Its own close and OK buttons close at once (closeNow). Quitting while a
// dialog is up fades the dialog first and quits when the fade has ended.

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

class KvDialogFading : public QObject {
    Q_OBJECT
public:
    // Watches `window` (its child from now on). A window whose close
    // control has a meaning of its own leaves close events alone.
    explicit KvDialogFading(QWidget* window, bool fadesOnClose = true);

    bool shuttingDown() const { return shuttingDown_; }
    // Ends the window's modal session and closes it without fading.
    void closeNow();
    // True when the application may quit now. Otherwise the dialog fades
    // out, and `terminate` runs once the fade has ended. A window whose close
    // control has a meaning of its own is asked to close instead, and
    // `terminate` runs once it has closed for good (closeNow).
    bool applicationShouldTerminate(std::function<void()> terminate);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void windowShouldClose();
    void animationDidStop();
    void quitIfShuttingDown();

    QPointer<QWidget> window_;
    std::function<void()> terminate_;
    bool fadesOnClose_;
    bool shuttingDown_ = false;
    bool fading_ = false;
    bool closing_ = false;
    bool shown_ = false;
};
