#pragma once

// The window of every screen and dialog: a frameless top-level widget that
// draws its own white title bar. The bar (INTitlebarContainer holding an
// INTitlebarView) lies across the top; screens add their own controls to
// titleBarView(). The close, minimise and zoom buttons are the window's own,
// placed from margins; the content ends at the bar's bottom edge. Dragging
// the bar moves the window, and sheets hang from the bar's bottom edge.
// Frames and margins are points in bottom-left terms, as the layouts give them.

#include <QColor>
#include <QPainterPath>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <functional>

#include "TCWindowButton.h"
class TCImageWindow;

// Holds the title-bar view; drags that reach it go no further.
class INTitlebarContainer : public QWidget {
    Q_OBJECT
public:
    explicit INTitlebarContainer(QWidget* parent) : QWidget(parent) {}

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

// Draws the bar: white with round top corners, a white baseline and, when
// asked, the window title. A press on the bar itself moves the window.
class INTitlebarView : public QWidget {
    Q_OBJECT
public:
    explicit INTitlebarView(QWidget* parent = nullptr) : QWidget(parent) {}

    // Where the title goes in this view, bottom-left terms, and how it looks.
    QRectF titleFrame(QFont* font, QColor* colour) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TCImageWindow* imageWindow() const;
    bool doubleClicked_ = false;
};

class TCImageWindow : public QWidget {
    Q_OBJECT
public:
    // What the frame of a titled window would give: the height of the
    // system's title bar, where its first button sits and the gap between buttons.
    static constexpr double kMinimumTitleBarHeight = 22.0;
    static constexpr double kDefaultTrafficLightLeftMargin = 8.0;
    static constexpr double kDefaultTrafficLightSeparation = 6.0;
    static constexpr double kTrafficLightButtonSize = 14.0;
    static constexpr double kCornerRadius = 4.0;

    enum ButtonKind { kCloseButton = 0, kMinimizeButton = 1, kZoomButton = 2 };

    explicit TCImageWindow(QWidget* parent = nullptr);
    ~TCImageWindow() override;

    QWidget* contentView() const { return contentView_; }
    // Takes `view` as the content, below the title bar.
    void setContentView(QWidget* view);
    QWidget* themeFrameView() { return this; }

    QWidget* titleBarView() const { return titleBarView_; }
    // Replaces the view in the container; the old one goes.
    void setTitleBarView(QWidget* view);
    INTitlebarContainer* titleBarContainer() const { return container_; }

    double titleBarHeight() const { return titleBarHeight_; }
    void setTitleBarHeight(double height);
    double cachedTitleBarHeight() const { return cachedTitleBarHeight_; }
    double trafficLightButtonsLeftMargin() const { return leftMargin_; }
    void setTrafficLightButtonsLeftMargin(double margin);
    double trafficLightButtonsTopMargin() const { return topMargin_; }
    void setTrafficLightButtonsTopMargin(double margin) { topMargin_ = margin; }
    double trafficLightSeparation() const { return separation_; }
    void setTrafficLightSeparation(double separation);
    // Added to the buttons' y in the row layout, from the next layout on.
    double topButtonMoveUp() const { return moveUp_; }
    void setTopButtonMoveUp(double moveUp) { moveUp_ = moveUp; }
    bool centerTrafficLightButtons() const { return centerButtons_; }
    void setCenterTrafficLightButtons(bool centre);
    bool verticalTrafficLightButtons() const { return verticalButtons_; }
    void setVerticalTrafficLightButtons(bool vertical);
    bool showsBaselineSeparator() const { return showsBaseline_; }
    void setShowsBaselineSeparator(bool shows);
    bool showsTitle() const { return showsTitle_; }
    void setShowsTitle(bool shows);
    bool showsTitleInFullscreen() const { return showsTitleInFullscreen_; }
    void setShowsTitleInFullscreen(bool shows) { showsTitleInFullscreen_ = shows; }
    bool hideTitleBarInFullScreen() const { return hideTitleBarInFullScreen_; }
    void setHideTitleBarInFullScreen(bool hide) { hideTitleBarInFullScreen_ = hide; }

    // Title colours while the window is drawn as active / otherwise; invalid
    // for the default grey.
    QColor titleTextColor;
    QColor inactiveTitleTextColor;
    // Draws the bar's background in place of the white one: (painter, active,
    // bar rectangle, clip path with round top corners).
    std::function<void(QPainter&, bool, const QRectF&, const QPainterPath&)> titleBarDrawingBlock;

    // The window's own buttons and the caller's replacements (owned; null
    // gives the window's own back).
    TCWindowButton* standardWindowButton(ButtonKind kind) const { return standard_[kind]; }
    TCWindowButton* closeButton() const { return custom_[kCloseButton]; }
    TCWindowButton* minimizeButton() const { return custom_[kMinimizeButton]; }
    TCWindowButton* zoomButton() const { return custom_[kZoomButton]; }
    void setCloseButton(TCWindowButton* button) { setCustomButton(kCloseButton, button); }
    void setMinimizeButton(TCWindowButton* button) { setCustomButton(kMinimizeButton, button); }
    void setZoomButton(TCWindowButton* button) { setCustomButton(kZoomButton, button); }

    // Drawn as active: the active window of an active application.
    bool isDrawnAsMain() const { return isActiveWindow(); }

    // Where a sheet of `sheet` size goes, in bottom-left terms: `rect` with
    // its y at the bar's bottom edge.
    QRectF positionSheet(const QRectF& rect) const;
    // Places a window-modal dialog of this window there, centred across it.
    void placeSheet(QWidget* sheet) const;

    // Re-places the bar, the buttons and the content.
    void layoutTrafficLightsAndContent();
    // Redraws the bar and enables its controls only while drawn as active.
    void updateTitlebarView();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TCWindowButton* buttonToLayout(ButtonKind kind) const;
    void setCustomButton(ButtonKind kind, TCWindowButton* button);
    void repositionContentView();
    void rebuildTracking();
    void placeButton(TCWindowButton* button, const QRectF& frame);
    QRectF buttonFrame(TCWindowButton* button) const;

    INTitlebarContainer* container_;
    QPointer<QWidget> titleBarView_;
    QPointer<QWidget> contentView_;
    TCWindowButton* standard_[3] = {};
    QPointer<TCWindowButton> custom_[3];
    double titleBarHeight_ = kMinimumTitleBarHeight;
    double cachedTitleBarHeight_ = kMinimumTitleBarHeight;
    double leftMargin_ = kDefaultTrafficLightLeftMargin;
    double topMargin_ = 3.0;
    double separation_ = kDefaultTrafficLightSeparation;
    double moveUp_ = 0.0;
    bool centerButtons_ = true;
    bool verticalButtons_ = false;
    bool showsBaseline_ = true;
    bool showsTitle_ = false;
    bool showsTitleInFullscreen_ = false;
    bool hideTitleBarInFullScreen_ = false;
    bool fullScreen_ = false;
};
