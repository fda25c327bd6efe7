#include "KvLinkUrl.h"

#include <QDesktopServices>
#include <QJsonObject>
#include <QUrl>

#include "KvPublicUtilities.h"
#include "PrivateData.h"

QString KvLinkUrl::GetUrl(const QString& key) {
    const QJsonObject list = PrivateData::load();
    const QString fallback = list.value("en").toObject().value(key).toString();
    const QString language = KvPublicUtilities::GetCurrentLanaguage();
    const QString local = list.value(language).toObject().value(key).toString();
    return local.isEmpty() ? fallback : local;
}

bool KvLinkUrl::OpenLink(const QString& key) {
    const QUrl url(GetUrl(key), QUrl::StrictMode);
    if (url.isEmpty() || !url.isValid() || url.isRelative())
        return false;
    return QDesktopServices::openUrl(url);
}
