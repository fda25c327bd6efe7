#include "Tr.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "Resources.h"

namespace {

const QJsonObject& Table() {
    static const QJsonObject table = [] {
        InitTextResources();
        QFile file(":/strings/en.json");
        if (!file.open(QIODevice::ReadOnly))
            return QJsonObject();
        return QJsonDocument::fromJson(file.readAll()).object();
    }();
    return table;
}

}  // namespace

QString Tr(const char* key) {
    const QJsonValue value = Table().value(QLatin1String(key));
    return value.isString() ? value.toString() : QString::fromLatin1(key);
}

QString Tr(const char* key, const QString& first) {
    return Tr(key).arg(first);
}

QString Tr(const char* key, const QString& first, const QString& second) {
    return Tr(key).arg(first, second);
}

bool HasTr(const char* key) {
    return Table().value(QLatin1String(key)).isString();
}
