#include "DialogParts.h"

#include <QLabel>

#include "Fonts.h"
#include "Geometry.h"
#include "Images.h"
#include "TCImageButton.h"
#include "TCImageWindow.h"
#include "Tr.h"

namespace DialogParts {

QLabel* setUpTitleBar(TCImageWindow* window, double labelX) {
    window->setTitleBarHeight(kTitleBarHeight);
    window->setTrafficLightButtonsLeftMargin(kTrafficLightMargin);
    auto* label = new QLabel(Tr("WINDOW_TOP_TITLE"), window->titleBarView());
    label->setGeometry(FromBottomLeft(QRectF(labelX, 5, 300, 25), kTitleBarHeight));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setFont(Fonts::helveticaLight(14));
    label->show();
    return label;
}

QWidget* setUpContent(TCImageWindow* window, double width, double height) {
    window->setFixedSize(width, kTitleBarHeight + height);
    return addContentView(window, width, height);
}

QWidget* addContentView(TCImageWindow* window, double width, double height) {
    auto* content = new QWidget;
    window->setContentView(content);
    content->resize(width, height);
    return content;
}

TCImageButton* makeButton(QWidget* parent, const QString& caption, const QRectF& frame,
                          double parentHeight) {
    auto* button = new TCImageButton(parent);
    button->setGeometry(FromBottomLeft(frame, parentHeight));
    button->setImageFromFileNormalName("btn_dialog_normal", "btn_dialog_press", "btn_dialog_hover",
                                       "btn_dialog_disable");
    button->setTextWithName(caption, button->geometry());
    return button;
}

QLabel* makeText(QWidget* parent, const QRectF& frame, double parentHeight, double points,
                 bool wraps) {
    auto* label = new QLabel(parent);
    label->setGeometry(FromBottomLeft(frame, parentHeight));
    label->setFont(Fonts::helvetica(points));
    label->setWordWrap(wraps);
    label->setAlignment(Qt::AlignLeft | (wraps ? Qt::AlignTop : Qt::AlignVCenter));
    return label;
}

QLabel* makeImage(QWidget* parent, const QString& name, const QRectF& frame, double parentHeight) {
    auto* image = new QLabel(parent);
    image->setGeometry(FromBottomLeft(frame, parentHeight));
    image->setPixmap(Images::named(name));
    image->setScaledContents(true);
    return image;
}

}  // namespace DialogParts
