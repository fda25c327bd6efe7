#pragma once

// The wait window of a save or a load of a scan result. It follows the
// work's progress notifications, closes itself half a second after the work
// has finished, tells the user when it failed, and after a load that
// succeeded posts "ShowDetailWindow" for the main window. Closing it early
// asks the work to stop; the window still waits for the work's end, and
// then reports failure.

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

class KvDialogFading;
class KvProgressView;
class QLabel;
class QTimer;

class KvProgressWindow : public QWidget {
    Q_OBJECT
public:
    // The closing step waits this long after the work's end.
    static constexpr int kClosingDelayMs = 500;
    // Codes the work ends with that count as success.
    static bool isSuccessCode(uint64_t errorCode) { return errorCode == 0 || errorCode == 6; }

    // Set the notification name and the kind before the window is shown.
    explicit KvProgressWindow(QWidget* parent = nullptr);
    ~KvProgressWindow() override;

    const QString& strPostName() const { return strPostName_; }
    // Follows the work's progress notification `name` from now on.
    void setStrPostName(const QString& name);
    bool bSave() const { return bSave_; }
    // True for a save, false for a load; sets the texts.
    void setBSave(bool save);

    // Shows the window centred over `parent` (or the screen), calls `start`,
    // which starts the work, and waits for the window to close; answers
    // getResult().
    int runModal(QWidget* parent, const std::function<void()>& start);
    // 1 when the work succeeded, else 0.
    int getResult() const { return bSucess_ ? 1 : 0; }
    int32_t getErrorCode() const { return iErrorCode_; }
    bool finished() const { return bFinish_; }

    // Notification handlers and the closing step.
    void changeProgressValue();
    void ProgressFinish();
    void onTimer();
    // The close button: asks the work to stop and waits for its end.
    void closeWindow();

    double progressValue() const { return progressValue_; }
    KvProgressView* progress() const { return progress_; }
    QLabel* title() const { return title_; }
    QLabel* Description() const { return description_; }
    KvDialogFading* fading() const { return fading_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void stopObserving();

    KvDialogFading* fading_;
    QLabel* title_;
    QLabel* description_;
    KvProgressView* progress_;
    QString strPostName_;
    bool bSave_ = false;
    bool bSucess_ = false;
    bool bFinish_ = false;
    bool stopAsked_ = false;
    bool closed_ = false;
    int32_t iErrorCode_ = 0;
    double progressValue_ = 0;
    QPointer<QTimer> timer_;
    QMetaObject::Connection progressObserver_;
    QMetaObject::Connection finishObserver_;
};

// The wait window of a load, as the main window runs it.
int RunLoadWait(QWidget* parent, const std::function<void()>& start);
// The wait window of a save of the results, over the results window.
int RunSaveWait(QWidget* parent, const std::function<void()>& start);
