#pragma once

// The tile of a file category: a wide picture that switches to its
// highlighted picture while the tile is selected. A new tile is selected and
// reacting; a press toggles the selection, then the tile acts as a button.
// The page reads isSelected() and buttonTag() (the category's bit index).

#include <QAbstractButton>
#include <QPixmap>

class QLabel;

class QOVCustemButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit QOVCustemButton(QWidget* parent = nullptr);

    // Takes the tile's picture and its highlighted picture by name.
    void setIconImage(const QString& icon, const QString& hoverIcon);
    // Selects (highlighted picture) or clears the tile.
    void changeButtonStart(bool selected);
    // A tile that does not react ignores presses entirely.
    void setButtonEnabled(bool reacts);
    bool isDisabled() const { return reacts_; }
    // The text form of a tile: a title and a description beside the picture,
    // over a background that lights up under the pointer.
    void setTitleStr(const QString& title, const QString& description);
    void setHoverBgImage();

    bool isFocus() const { return focus_; }
    void setIsFocus(bool focus) { focus_ = focus; }
    bool isSelected() const { return selected_; }
    void setIsSelected(bool selected) { selected_ = selected; }
    int buttonTag() const { return tag_; }
    void setButtonTag(int tag) { tag_ = tag; }

    QLabel* iconImageView() const { return iconView_; }
    QLabel* titleTextField() const { return title_; }
    QLabel* nodeTextField() const { return description_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void showIcon();

    QPixmap normalImage_;
    QPixmap hoverImage_;
    QPixmap disableImage_;
    QPixmap iconImage_;
    QPixmap iconHoverImage_;
    QLabel* iconView_;
    QLabel* title_ = nullptr;
    QLabel* description_ = nullptr;
    QRect dstRect_;
    QRect srcRect_;
    bool focus_ = false;
    bool reacts_ = true;
    bool selected_ = true;
    bool tracksHover_ = false;
    bool pressed_ = false;
    int tag_ = 0;
};
