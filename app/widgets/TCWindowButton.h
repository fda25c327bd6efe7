#pragma once

// A window button (close, minimise, zoom) that can stand in for one of a
// TCImageWindow's own. It shows one of five pictures: enabled in the active
// window, enabled in an inactive one, disabled, rollover and pressed. Buttons
// with the same group identifier share one rollover state: while the pointer
// is over any of them, every enabled button of the group shows its rollover
// picture.

#include <QAbstractButton>
#include <QPixmap>
#include <QString>

#include <cstdint>

// Buttons sharing a rollover state, registered by identifier for the life of
// the process. Main thread only.
class TCWindowButtonGroup {
public:
    // Posted on the notification centre, with the group as object, whenever
    // the number of buttons holding the pointer changes.
    static constexpr const char* kDidUpdateRolloverStateNotification =
        "TCWindowButtonGroupDidUpdateRolloverStateNotification";
    // The group of buttons made without an identifier.
    static constexpr const char* kDefaultIdentifier =
        "org.harbex.TCImageWindow.defaultWindowButtonGroup";

    // The registered group, made on first use; an empty identifier names the default group.
    static TCWindowButtonGroup* groupWithIdentifier(const QString& identifier);

    const QString& identifier() const { return identifier_; }
    int64_t numberOfCaptures() const { return captures_; }
    // Ignores negative counts, so extra releases leave it at 0.
    void setNumberOfCaptures(int64_t count);
    void didCaptureMousePointer() { setNumberOfCaptures(captures_ + 1); }
    void didReleaseMousePointer() { setNumberOfCaptures(captures_ - 1); }
    void resetMouseCaptures() { setNumberOfCaptures(0); }
    bool shouldDisplayRollOver() const { return captures_ > 0; }

private:
    explicit TCWindowButtonGroup(QString identifier) : identifier_(std::move(identifier)) {}

    QString identifier_;
    int64_t captures_ = 0;
};

class TCWindowButton : public QAbstractButton {
    Q_OBJECT
public:
    TCWindowButton(const QSize& size, const QString& groupIdentifier, QWidget* parent = nullptr);

    const QString& groupIdentifier() const { return groupIdentifier_; }
    TCWindowButtonGroup* group() const;

    void setActiveImage(const QPixmap& image);
    void setActiveNotKeyWindowImage(const QPixmap& image);
    void setInactiveImage(const QPixmap& image);
    void setRolloverImage(const QPixmap& image);
    // Shown while the button is held down.
    void setPressedImage(const QPixmap& image);
    const QPixmap& activeImage() const { return active_; }
    const QPixmap& activeNotKeyWindowImage() const { return activeNotKey_; }
    const QPixmap& inactiveImage() const { return inactive_; }
    const QPixmap& rolloverImage() const { return rollover_; }
    const QPixmap& pressedImage() const { return pressed_; }

    // The picture the button shows when not held down.
    const QPixmap& image() const { return shown_; }
    // Enabled: the active or not-key picture by the window's state; else the inactive one.
    void updateImage();
    void updateActiveImage();
    void updateRollOverImage();

    // The window rebuilt its hover tracking (moved, resized, reactivated):
    // captures taken before no longer hold.
    void trackingRebuilt();
    // Full screen hides the button; both ways the group's captures are cleared.
    void windowWillEnterFullScreen();
    void windowWillExitFullScreen();

    QSize sizeHint() const override { return fixedSize_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showImage(const QPixmap& image);

    QString groupIdentifier_;
    QSize fixedSize_;
    QPixmap active_;
    QPixmap activeNotKey_;
    QPixmap inactive_;
    QPixmap rollover_;
    QPixmap pressed_;
    QPixmap shown_;
};

Q_DECLARE_METATYPE(TCWindowButtonGroup*)
