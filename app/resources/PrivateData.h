#pragma once

// The program's private settings list ("PRODUCTNAME", "SavePath", the links
// per language and the rest). Its default comes with the program; once
// written, the user's copy in the application-data folder is read instead.
// The installed program is never written.

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace PrivateData {

QJsonObject load();
QJsonValue value(const QString& key);
// Writes the whole list atomically; false when it could not be written.
bool write(const QJsonObject& list);
bool setValue(const QString& key, const QJsonValue& value);
// Where the user's copy lives.
QString userCopyPath();

}  // namespace PrivateData
