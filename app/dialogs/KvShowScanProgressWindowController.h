#pragma once

// The modal dialog of a recovery: the progress of the copy with the name of
// the file being copied, a stop confirmation, and a prompt when the
// destination is full. It leaves the copy itself to its delegate, the
// results window, which it tells of every answer through stopButtonAction.

#include <QString>

#include <cstdint>

#include "TCImageWindow.h"

class KvDialogFading;
class KvProgressView;
class QLabel;
class TCImageButton;

class KvShowScanProgressWindowController : public TCImageWindow {
    Q_OBJECT
public:
    // What stopButtonAction asks of the delegate.
    enum StopRequest {
        kPauseOrResume = 1,  // pause a running copy, or resume a paused one
        kStopForGood = 2,    // the dialog's modal session has ended already
    };

    explicit KvShowScanProgressWindowController(QWidget* parent = nullptr);
    ~KvShowScanProgressWindowController() override;

    // Moves the bar to `percent`; a null `fileName` keeps the name shown.
    void changeProgressValue(double percent, const QString& fileName);
    // Shows the out-of-space prompt when the copy's `errorCode` says the
    // destination is full and the copy is paused for it; answers whether it
    // did. Send it with every error code above 0 the copy reports.
    bool setNoMemeryViewHidden(int64_t errorCode);
    // The copy's error code says the destination is full.
    static bool isNoSpaceError(int64_t errorCode);

    // The buttons' actions.
    void stopProgressButtonAction();
    void noButtonAction();
    void yesButtonAction();
    void continueButtonAction();
    void cancelButtonAction();

    KvDialogFading* fading() const { return fading_; }
    QLabel* aTitleLabel() const { return aTitleLabel_; }
    QLabel* scaningFileName() const { return scaningFileName_; }
    KvProgressView* progressBar() const { return progressBar_; }
    double progressValue() const { return progressValue_; }
    QLabel* titleLabel() const { return titleLabel_; }
    TCImageButton* stopButton() const { return stopButton_; }
    QWidget* recoveryProgressView() const { return recoveryProgressView_; }
    QWidget* noMemeryView() const { return noMemeryView_; }
    QWidget* warningView() const { return warningView_; }
    QLabel* warningTitle() const { return warningTitle_; }
    QLabel* warningNode() const { return warningNode_; }
    TCImageButton* noButton() const { return noButton_; }
    TCImageButton* yesButton() const { return yesButton_; }
    QLabel* noMemeryTitle() const { return noMemeryTitle_; }
    QLabel* noMemeryNode() const { return noMemeryNode_; }
    TCImageButton* noMemeryContinueButton() const { return noMemeryContinueButton_; }
    TCImageButton* noMemeryCancelButton() const { return noMemeryCancelButton_; }

signals:
    // A StopRequest for the delegate.
    void stopButtonAction(int request);

private:
    // A face with a heading, a text and two answers.
    struct Prompt {
        QWidget* view;
        QLabel* title;
        QLabel* node;
        TCImageButton* no;
        TCImageButton* yes;
    };

    QWidget* makeFace();
    Prompt makePrompt(const char* title, const char* node, const char* no, const char* yes);
    void showFace(QWidget* face);

    KvDialogFading* fading_;
    QLabel* aTitleLabel_ = nullptr;
    QWidget* recoveryProgressView_ = nullptr;
    QLabel* titleLabel_ = nullptr;
    QLabel* scaningFileName_ = nullptr;
    KvProgressView* progressBar_ = nullptr;
    TCImageButton* stopButton_ = nullptr;
    QWidget* warningView_ = nullptr;
    QLabel* warningTitle_ = nullptr;
    QLabel* warningNode_ = nullptr;
    TCImageButton* noButton_ = nullptr;
    TCImageButton* yesButton_ = nullptr;
    QWidget* noMemeryView_ = nullptr;
    QLabel* noMemeryTitle_ = nullptr;
    QLabel* noMemeryNode_ = nullptr;
    TCImageButton* noMemeryContinueButton_ = nullptr;
    TCImageButton* noMemeryCancelButton_ = nullptr;
    double progressValue_ = 0;
    QString fileName_;
};
