#include "DialogLink.h"

#include "Fonts.h"
#include "Geometry.h"
#include "KvHandButton.h"

KvHandButton* MakeDialogLink(QWidget* parent, const QString& text, const QRectF& frame,
                             double parentHeight) {
    auto* link = new KvHandButton(text, parent);
    link->setGeometry(FromBottomLeft(frame, parentHeight));
    link->setFont(Fonts::helvetica(13));
    link->setStyleSheet(QStringLiteral(
        "QPushButton { color: rgb(24, 90, 166); text-decoration: underline; text-align: left;"
        " border: none; background: transparent; padding: 0; }"));
    return link;
}
