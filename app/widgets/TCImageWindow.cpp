#include "TCImageWindow.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <cmath>

#include "Fonts.h"
#include "Geometry.h"
#include "Images.h"
#include "TCWindowButton.h"
#include "UserDefaults.h"

namespace {

// A path around `rect` (top-left terms) with round top corners and square bottom ones.
QPainterPath RoundTopPath(const QRectF& rect, double radius) {
    QPainterPath path;
    path.moveTo(rect.left(), rect.bottom());
    path.lineTo(rect.left(), rect.top() + radius);
    path.arcTo(QRectF(rect.left(), rect.top(), 2 * radius, 2 * radius), 180, -90);
    path.lineTo(rect.right() - radius, rect.top());
    path.arcTo(QRectF(rect.right() - 2 * radius, rect.top(), 2 * radius, 2 * radius), 90, -90);
    path.lineTo(rect.right(), rect.bottom());
    path.closeSubpath();
    return path;
}

// The controls a screen puts in its bar, which follow the window's activity.
bool IsControl(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLabel*>(widget) ||
           qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QAbstractSlider*>(widget);
}

const char* const kButtonNames[] = {"close", "minimize", "zoom"};

TCWindowButton* MakeStandardButton(int kind, QWidget* parent) {
    const double side = TCImageWindow::kTrafficLightButtonSize;
    auto* button = new TCWindowButton(QSize(side, side), QString(), parent);
    const QString base = QStringLiteral("window_%1_").arg(kButtonNames[kind]);
    button->setActiveImage(Images::named(base + "active"));
    button->setActiveNotKeyWindowImage(Images::named(base + "notkey"));
    button->setInactiveImage(Images::named(base + "inactive"));
    button->setRolloverImage(Images::named(base + "rollover"));
    button->setPressedImage(Images::named(base + "pressed"));
    return button;
}

}  // namespace

// --- INTitlebarContainer ---------------------------------------------------

void INTitlebarContainer::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

// --- INTitlebarView --------------------------------------------------------

TCImageWindow* INTitlebarView::imageWindow() const {
    return qobject_cast<TCImageWindow*>(window());
}

QRectF INTitlebarView::titleFrame(QFont* font, QColor* colour) const {
    TCImageWindow* owner = imageWindow();
    const bool main = owner && owner->isDrawnAsMain();
    const QFont titleFont = Fonts::helvetica(Fonts::kSystemFontSize);
    QColor chosen =
        owner ? (main ? owner->titleTextColor : owner->inactiveTitleTextColor) : QColor();
    if (!chosen.isValid())
        chosen = QColor(56, 56, 56, main ? 255 : 128);
    if (font)
        *font = titleFont;
    if (colour)
        *colour = chosen;
    const QSizeF size = QFontMetricsF(titleFont).size(Qt::TextSingleLine, window()->windowTitle());
    const QRectF bounds = rect();
    return QRectF(bounds.center().x() - size.width() / 2, bounds.height() - size.height() - 2.0,
                  size.width(), size.height());
}

void INTitlebarView::paintEvent(QPaintEvent*) {
    TCImageWindow* owner = imageWindow();
    if (!owner)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    const bool main = owner->isDrawnAsMain();
    const bool fullScreen = owner->isFullScreen();
    if (owner->titleBarDrawingBlock) {
        owner->titleBarDrawingBlock(painter, main, bounds,
                                    RoundTopPath(bounds, TCImageWindow::kCornerRadius));
    } else {
        if (fullScreen)
            painter.fillRect(bounds, Qt::white);
        // The bar's top line stays clear of the round corners.
        painter.setClipPath(
            RoundTopPath(bounds.adjusted(0, 1, 0, 0), TCImageWindow::kCornerRadius));
        painter.fillRect(bounds, Qt::white);
        if (owner->showsBaselineSeparator())
            painter.fillRect(QRectF(0, bounds.bottom() - 2, bounds.width(), 2), Qt::white);
    }
    if (owner->showsTitle() && (!fullScreen || owner->showsTitleInFullscreen())) {
        QFont font;
        QColor colour;
        // Bottom-left frame in this view, drawn top-down.
        const QRectF frame = FromBottomLeft(titleFrame(&font, &colour), bounds.height());
        painter.setClipping(false);
        painter.setFont(font);
        painter.setPen(QColor(255, 255, 255, 128));
        painter.drawText(frame.translated(0, 1), Qt::AlignLeft | Qt::AlignTop,
                         owner->windowTitle());
        painter.setPen(colour);
        painter.drawText(frame, Qt::AlignLeft | Qt::AlignTop, owner->windowTitle());
    }
}

void INTitlebarView::mousePressEvent(QMouseEvent* event) {
    doubleClicked_ = false;
    if (event->button() == Qt::LeftButton && window()->windowHandle())
        window()->windowHandle()->startSystemMove();
}

void INTitlebarView::mouseDoubleClickEvent(QMouseEvent* event) {
    doubleClicked_ = event->button() == Qt::LeftButton;
}

void INTitlebarView::mouseReleaseEvent(QMouseEvent*) {
    const bool twice = doubleClicked_;
    doubleClicked_ = false;
    if (twice && UserDefaults::boolValue(QStringLiteral("AppleMiniaturizeOnDoubleClick")))
        window()->showMinimized();
}

// --- TCImageWindow ---------------------------------------------------------

TCImageWindow::TCImageWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
    contentView_ = new QWidget(this);
    container_ = new INTitlebarContainer(this);
    setTitleBarView(new INTitlebarView);
    for (int kind = kCloseButton; kind <= kZoomButton; ++kind) {
        standard_[kind] = MakeStandardButton(kind, this);
        standard_[kind]->raise();
    }
    connect(standard_[kCloseButton], &QAbstractButton::clicked, this, &QWidget::close);
    connect(standard_[kMinimizeButton], &QAbstractButton::clicked, this, &QWidget::showMinimized);
    connect(standard_[kZoomButton], &QAbstractButton::clicked, this,
            [this] { isMaximized() ? showNormal() : showMaximized(); });
    layoutTrafficLightsAndContent();
    rebuildTracking();
}

TCImageWindow::~TCImageWindow() = default;

void TCImageWindow::setContentView(QWidget* view) {
    if (view == nullptr || view == contentView_)
        return;
    // The old view goes out of sight at once: its deletion waits for the
    // event loop, which a modal run started from a click does not return to.
    if (contentView_) {
        contentView_->hide();
        contentView_->deleteLater();
    }
    contentView_ = view;
    view->setParent(this);
    view->lower();
    view->setGeometry(0, qRound(titleBarHeight_), width(), height() - qRound(titleBarHeight_));
    view->show();
    repositionContentView();
}

void TCImageWindow::setTitleBarView(QWidget* view) {
    if (view == nullptr || view == titleBarView_)
        return;
    if (titleBarView_) {
        titleBarView_->hide();
        titleBarView_->deleteLater();
    }
    titleBarView_ = view;
    view->setParent(container_);
    view->setGeometry(container_->rect());
    view->show();
}

void TCImageWindow::setTitleBarHeight(double height) {
    if (height == titleBarHeight_)
        return;
    titleBarHeight_ = cachedTitleBarHeight_ = height;
    layoutTrafficLightsAndContent();
    titleBarView_->update();
}

void TCImageWindow::setTrafficLightButtonsLeftMargin(double margin) {
    if (margin == leftMargin_)
        return;
    leftMargin_ = margin;
    layoutTrafficLightsAndContent();
    titleBarView_->update();
    rebuildTracking();
}

void TCImageWindow::setTrafficLightSeparation(double separation) {
    if (separation == separation_)
        return;
    separation_ = separation;
    layoutTrafficLightsAndContent();
    rebuildTracking();
}

void TCImageWindow::setCenterTrafficLightButtons(bool centre) {
    if (centre == centerButtons_)
        return;
    centerButtons_ = centre;
    layoutTrafficLightsAndContent();
    rebuildTracking();
}

void TCImageWindow::setVerticalTrafficLightButtons(bool vertical) {
    if (vertical == verticalButtons_)
        return;
    verticalButtons_ = vertical;
    layoutTrafficLightsAndContent();
    rebuildTracking();
}

void TCImageWindow::setShowsBaselineSeparator(bool shows) {
    if (shows == showsBaseline_)
        return;
    showsBaseline_ = shows;
    titleBarView_->update();
}

void TCImageWindow::setShowsTitle(bool shows) {
    if (shows == showsTitle_)
        return;
    showsTitle_ = shows;
    titleBarView_->update();
}

void TCImageWindow::setCustomButton(ButtonKind kind, TCWindowButton* button) {
    if (button == custom_[kind])
        return;
    if (custom_[kind])
        custom_[kind]->deleteLater();
    custom_[kind] = button;
    if (button == nullptr)
        return;
    button->setParent(this);
    switch (kind) {
        case kCloseButton:
            connect(button, &QAbstractButton::clicked, this, &QWidget::close);
            break;
        case kMinimizeButton:
            connect(button, &QAbstractButton::clicked, this, &QWidget::showMinimized);
            break;
        case kZoomButton:
            connect(button, &QAbstractButton::clicked, this,
                    [this] { isMaximized() ? showNormal() : showMaximized(); });
            break;
    }
    button->move(standard_[kind]->pos());
    button->show();
    button->raise();
}

TCWindowButton* TCImageWindow::buttonToLayout(ButtonKind kind) const {
    if (custom_[kind]) {
        standard_[kind]->hide();
        return custom_[kind];
    }
    if (!fullScreen_)
        standard_[kind]->show();
    return standard_[kind];
}

QRectF TCImageWindow::buttonFrame(TCWindowButton* button) const {
    return ToBottomLeft(button->geometry(), height());
}

void TCImageWindow::placeButton(TCWindowButton* button, const QRectF& frame) {
    button->move(FromBottomLeft(frame, height()).topLeft());
}

void TCImageWindow::layoutTrafficLightsAndContent() {
    const double frameHeight = height();
    const QRectF bar(0, frameHeight - titleBarHeight_, width(), titleBarHeight_);
    container_->setGeometry(FromBottomLeft(bar, frameHeight));
    if (titleBarView_)
        titleBarView_->setGeometry(container_->rect());

    TCWindowButton* close = buttonToLayout(kCloseButton);
    TCWindowButton* minimize = buttonToLayout(kMinimizeButton);
    TCWindowButton* zoom = buttonToLayout(kZoomButton);
    QRectF c = buttonFrame(close);
    QRectF m = buttonFrame(minimize);
    QRectF z = buttonFrame(zoom);
    if (verticalButtons_) {
        const double stack = c.height() + m.height() + z.height() + 2 * (separation_ - 2);
        const double base = centerButtons_ ? std::round(bar.center().y() - stack / 2)
                                           : bar.bottom() - stack - topMargin_;
        c.moveLeft(leftMargin_);
        m.moveLeft(leftMargin_);
        z.moveLeft(leftMargin_);
        z.moveTop(base);
        m.moveTop(z.bottom() + separation_ - 2);
        c.moveTop(m.bottom() + separation_ - 2);
    } else {
        // In bottom-left terms QRectF's top() is the lower edge and bottom() the upper one.
        const double base = centerButtons_ ? std::round(bar.center().y() - c.height() / 2)
                                           : bar.bottom() - c.height() - topMargin_;
        c.moveTop(base + moveUp_);
        m.moveTop(base + moveUp_);
        z.moveTop(base + moveUp_);
        c.moveLeft(leftMargin_);
        m.moveLeft(c.right() + separation_);
        z.moveLeft(m.right() + separation_);
    }
    placeButton(close, c);
    placeButton(minimize, m);
    placeButton(zoom, z);
    repositionContentView();
}

void TCImageWindow::repositionContentView() {
    if (!contentView_)
        return;
    // The content spans the window and ends at the bar's bottom.
    const QRect wanted(0, qRound(titleBarHeight_), width(), height() - qRound(titleBarHeight_));
    if (wanted != contentView_->geometry()) {
        contentView_->setGeometry(wanted);
        contentView_->update();
    }
}

void TCImageWindow::updateTitlebarView() {
    if (!titleBarView_)
        return;
    titleBarView_->update();
    const bool main = isDrawnAsMain();
    for (QWidget* child : titleBarView_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (IsControl(child))
            child->setEnabled(main);
}

void TCImageWindow::rebuildTracking() {
    for (TCWindowButton* button : findChildren<TCWindowButton*>(Qt::FindDirectChildrenOnly))
        button->trackingRebuilt();
}

QRectF TCImageWindow::positionSheet(const QRectF& rect) const {
    QRectF placed = rect;
    placed.moveTop(height() - titleBarHeight_);
    return placed;
}

void TCImageWindow::placeSheet(QWidget* sheet) const {
    const QPoint topLeft((width() - sheet->width()) / 2, qRound(titleBarHeight_));
    sheet->move(mapToGlobal(topLeft));
}

void TCImageWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutTrafficLightsAndContent();
}

void TCImageWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    layoutTrafficLightsAndContent();
}

void TCImageWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
        case QEvent::ActivationChange:
            for (TCWindowButton* button : findChildren<TCWindowButton*>(Qt::FindDirectChildrenOnly))
                button->updateImage();
            updateTitlebarView();
            layoutTrafficLightsAndContent();
            if (isActiveWindow())
                rebuildTracking();
            break;
        case QEvent::WindowTitleChange:
            layoutTrafficLightsAndContent();
            if (titleBarView_)
                titleBarView_->update();
            break;
        case QEvent::WindowStateChange: {
            const bool fullScreen = isFullScreen();
            if (fullScreen == fullScreen_)
                break;
            fullScreen_ = fullScreen;
            for (TCWindowButton* button : findChildren<TCWindowButton*>(Qt::FindDirectChildrenOnly))
                fullScreen ? button->windowWillEnterFullScreen()
                           : button->windowWillExitFullScreen();
            if (hideTitleBarInFullScreen_) {
                titleBarHeight_ = fullScreen ? 0.0 : cachedTitleBarHeight_;
                titleBarView_->setVisible(!fullScreen);
            }
            layoutTrafficLightsAndContent();
            break;
        }
        default:
            break;
    }
}
