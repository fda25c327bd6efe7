#include "UpdateCheck.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QXmlStreamReader>

UpdateDue IsUpdateCheckDue(const QString& stored, const QDateTime& now) {
    if (stored.isEmpty() || stored == QLatin1String(" "))
        return {true, true};
    const QDateTime last = QDateTime::fromString(stored, QLatin1String(kCheckTimeFormat));
    // A time that cannot be read cannot say a check was made lately.
    if (!last.isValid())
        return {true, false};
    const qint64 days = last.secsTo(now) / 86400;
    return {static_cast<int32_t>(days) >= 7, false};
}

qint64 VersionCheckOf(const QByteArray& propertyList) {
    QXmlStreamReader xml(propertyList);
    bool nextIsVersion = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView element = xml.name();
        if (element == QLatin1String("key")) {
            nextIsVersion = xml.readElementText() == QLatin1String("VersionCheck");
        } else if (nextIsVersion) {
            const bool number =
                element == QLatin1String("integer") || element == QLatin1String("string");
            return number ? xml.readElementText().trimmed().toLongLong() : 0;
        }
    }
    return 0;
}

KvUpdateCheck::KvUpdateCheck(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)), limit_(new QTimer(this)) {
    limit_->setSingleShot(true);
    connect(limit_, &QTimer::timeout, this, [this] { end(false); });
}

void KvUpdateCheck::start(const QString& url, qint64 localVersion, int limitMs) {
    localVersion_ = localVersion;
    limit_->start(limitMs);
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(limitMs);
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::finished, this, [this] {
        const bool read = reply_->error() == QNetworkReply::NoError;
        // A missing list reads as 0, which is never newer.
        end(read && VersionCheckOf(reply_->readAll()) > localVersion_);
    });
}

void KvUpdateCheck::end(bool newer) {
    if (ended_)
        return;
    ended_ = true;
    limit_->stop();
    if (reply_ != nullptr) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
        reply_ = nullptr;
    }
    emit finished(newer);
}
