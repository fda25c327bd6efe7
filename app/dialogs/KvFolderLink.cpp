#include "KvFolderLink.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

#include "Fonts.h"

KvFolderLink::KvFolderLink(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    QFont font = Fonts::helvetica(12);
    font.setUnderline(true);
    setFont(font);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, QColor(24, 90, 166));
    setPalette(colours);
    setCursor(Qt::PointingHandCursor);
}

void KvFolderLink::setPath(const QString& path) {
    setText(path);
    setToolTip(path);
}

void KvFolderLink::open() const {
    if (!text().isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(text()));
}

void KvFolderLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}
