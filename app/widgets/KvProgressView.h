#pragma once

// The thin progress strip: a light grey-blue track with a blue bar whose width
// follows a percentage.

#include <QWidget>

// The filled part of the strip.
class NSProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit NSProgressBar(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class KvProgressView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBarHeight = 4;
    // A bar is never narrower than this, so 0 % still shows a stub.
    static constexpr float kMinimumBar = 10.0f;

    explicit KvProgressView(QWidget* parent = nullptr);

    // Sets the bar's width from `percent` (0 to 100). The bar keeps its width
    // when the track is resized until this is called again.
    void changeProgressValue(float percent);
    NSProgressBar* pProgress1() const { return bar_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    NSProgressBar* bar_;
};
