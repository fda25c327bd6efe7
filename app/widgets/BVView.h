#pragma once

// The 120 x 100 tile of a found file: check box, thumbnail, name, a mark for
// deleted files and a lighter background while the mouse is over it.

#include <QWidget>

class IFileNode;
class QLabel;
class QPushButton;

class BVViewDelegate {
public:
    virtual ~BVViewDelegate() = default;
    // The tile's check mark changed.
    virtual void reLoadItemData() = 0;
};

class BVView : public QWidget {
    Q_OBJECT

public:
    static QSize itemSize() { return {120, 100}; }

    explicit BVView(QWidget* parent = nullptr);

    QPushButton* button() const { return button_; }
    QLabel* imageView() const { return imageView_; }
    QLabel* titleLabel() const { return titleLabel_; }
    QLabel* deleteIamgeView() const { return deleteIamgeView_; }
    IFileNode* listData() const { return listData_; }
    void setListData(IFileNode* file) { listData_ = file; }
    BVViewDelegate* delegate() const { return delegate_; }
    void setDelegate(BVViewDelegate* delegate) { delegate_ = delegate; }

    // The pictures shown by name: the check box's and the background's.
    void setButtonImage(const QString& name);
    QString buttonImage() const { return buttonImage_; }
    QString backgroundImage() const { return backgroundImage_; }

    // The check box was clicked: nothing while a scan runs or is paused;
    // otherwise an unchecked file becomes checked and any other unchecked.
    void changeButtonState();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setBackgroundImage(const QString& name);

    QLabel* bgImageView_;
    QLabel* imageView_;
    QLabel* titleLabel_;
    QPushButton* button_;
    QLabel* deleteIamgeView_;
    IFileNode* listData_ = nullptr;
    BVViewDelegate* delegate_ = nullptr;
    QString buttonImage_;
    QString backgroundImage_;
};
