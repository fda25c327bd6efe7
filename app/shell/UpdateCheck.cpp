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

QVariantMap PropertyListDictionary(const QByteArray& propertyList) {
    QVariantMap dictionary;
    QXmlStreamReader xml(propertyList);
    // Depth 0 outside the top dictionary, 1 on its keys and values.
    int depth = -1;
    QString key;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (depth > 0 &&
                (xml.name() == QLatin1String("dict") || xml.name() == QLatin1String("array")))
                --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView element = xml.name();
        if (depth < 0) {
            if (element == QLatin1String("dict"))
                depth = 1;
            continue;
        }
        if (depth > 1) {
            if (element == QLatin1String("dict") || element == QLatin1String("array"))
                ++depth;
            continue;
        }
        if (element == QLatin1String("key")) {
            key = xml.readElementText();
        } else if (element == QLatin1String("dict") || element == QLatin1String("array")) {
            ++depth;
        } else if (element == QLatin1String("integer")) {
            dictionary.insert(key, xml.readElementText().trimmed().toLongLong());
        } else if (element == QLatin1String("true") || element == QLatin1String("false")) {
            dictionary.insert(key, element == QLatin1String("true"));
        } else {
            dictionary.insert(key, xml.readElementText());
        }
    }
    return dictionary;
}

qint64 VersionCheckOf(const QByteArray& propertyList) {
    return PropertyListDictionary(propertyList).value(QStringLiteral("VersionCheck")).toLongLong();
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
        answered_ = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        const bool read = reply_->error() == QNetworkReply::NoError;
        if (read)
            list_ = reply_->readAll();
        // A missing list reads as 0, which is never newer.
        end(read && VersionCheckOf(list_) > localVersion_);
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
