#pragma once

// The push button of the screens and dialogs: one of four pictures (normal,
// pressed, hover, disabled) in place of a bezel, an optional centred label,
// and a "usable" flag of its own beside the enabled state, so a screen can
// grey a button out without touching what it is connected to.

#include <QAbstractButton>
#include <QPixmap>
#include <QRect>

class QLabel;

class TCImageButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TCImageButton(QWidget* parent = nullptr);

    // Takes the four pictures by name; they are drawn at the normal picture's size.
    void setImageFromFileNormalName(const QString& normal, const QString& active,
                                    const QString& hover, const QString& disable);
    // Adds a centred label over `frame`; the pictures are then drawn into
    // (frame width - 4) x (frame height).
    void setTextWithName(const QString& label, const QRect& frame);
    // The usable flag: an unusable button shows its disabled picture with a
    // grey label and sends no clicks, while it stays enabled.
    void setButtonEnabled(bool usable);
    bool isDisabled() const { return usable_; }
    // The pressed look, as the type page shows a chosen tile.
    void setButtonClicked(bool pressed);
    bool isFocus() const { return hovered_; }
    void setIsFocus(bool hovered) { hovered_ = hovered; }

    QLabel* textField() const { return label_; }
    QRect dstRect() const { return target_; }
    // The picture the button shows now (null when it shows none).
    QPixmap currentImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QSize sizeHint() const override;

private:
    void refreshLabelColour();

    QPixmap normal_;
    QPixmap active_;
    QPixmap hover_;
    QPixmap disable_;
    QLabel* label_ = nullptr;
    bool pressed_ = false;
    bool hovered_ = false;
    bool usable_ = true;
    QRect target_;
};
