#pragma once

// The user's settings ("AppleLanguages", "rsfPath", "Participate",
// "isSelectDesktopDisk", "searchRecent"), kept by QSettings.

#include <QString>
#include <QStringList>
#include <QVariant>

namespace UserDefaults {

QVariant value(const QString& key, const QVariant& fallback = {});
void setValue(const QString& key, const QVariant& value);
bool boolValue(const QString& key);
// The interface languages in order of preference; the system's when unset.
QStringList languages();

}  // namespace UserDefaults
