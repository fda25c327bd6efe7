#include "PrivateData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

#include "Resources.h"

namespace PrivateData {

namespace {

QJsonObject Read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

}  // namespace

QString userCopyPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/PrivateData.json";
}

QJsonObject load() {
    if (QFileInfo::exists(userCopyPath()))
        return Read(userCopyPath());
    InitTextResources();
    return Read(":/PrivateData.json");
}

QJsonValue value(const QString& key) {
    return load().value(key);
}

bool write(const QJsonObject& list) {
    const QString path = userCopyPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = QJsonDocument(list).toJson();
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

bool setValue(const QString& key, const QJsonValue& value) {
    QJsonObject list = load();
    list.insert(key, value);
    return write(list);
}

}  // namespace PrivateData
