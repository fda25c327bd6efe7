#pragma once

// The quick look at a found file: a small window with the file's name in its
// title bar and its picture below. It is not modal; closing it only closes it.

#include <QImage>
#include <QString>

#include "TCImageWindow.h"

class QLabel;

class SpacePreviewWindow : public TCImageWindow {
    Q_OBJECT

public:
    static constexpr double kTitleBarHeight = 20.0;
    static constexpr double kTrafficLightLeftMargin = 8.0;

    explicit SpacePreviewWindow(QWidget* parent = nullptr);

    // Sets the title bar up and shows the name and the picture.
    void windowDidLoad();
    // Marks the preview closed and closes it.
    void closeWindow();
    bool isClosed() const { return bClose_; }
    // Puts the window in the middle of its screen.
    void center();

    const QString& strName() const { return strName_; }
    void setStrName(const QString& name);
    const QImage& showImage() const { return showImage_; }
    void setShowImage(const QImage& image);

    QLabel* titleLabel() const { return titleLabel_; }
    QLabel* imageView() const { return imageView_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showPicture();

    QString strName_;
    QImage showImage_;
    QLabel* titleLabel_ = nullptr;
    QLabel* imageView_;
    bool bClose_ = false;
};
