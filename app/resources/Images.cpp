#include "Images.h"

#include <QGuiApplication>
#include <QPixmapCache>

#include "Resources.h"

namespace Images {

QPixmap named(const QString& name) {
    InitArtResources();
    const bool sharp = qGuiApp && qGuiApp->devicePixelRatio() > 1.0;
    const QString key = QStringLiteral("harbex:%1:%2").arg(name).arg(sharp ? 2 : 1);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    if (sharp && pixmap.load(QStringLiteral(":/images/%1@2x.png").arg(name)))
        pixmap.setDevicePixelRatio(2.0);
    else if (!pixmap.load(QStringLiteral(":/images/%1.png").arg(name)))
        return QPixmap();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

}  // namespace Images
