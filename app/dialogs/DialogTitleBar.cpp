#include "DialogTitleBar.h"

#include <QLabel>

#include "Geometry.h"
#include "TCImageWindow.h"

QLabel* AddTitleLabel(TCImageWindow* window, const QRectF& frame, const QFont& font) {
    auto* label = new QLabel(window->titleBarView());
    label->setGeometry(FromBottomLeft(frame, window->titleBarHeight()));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setFont(font);
    label->show();
    return label;
}

void RetargetCloseButton(TCImageWindow* window, std::function<void()> action) {
    TCWindowButton* close = window->standardWindowButton(TCImageWindow::kCloseButton);
    QObject::disconnect(close, &QAbstractButton::clicked, window, nullptr);
    QObject::connect(close, &QAbstractButton::clicked, window, std::move(action));
}
