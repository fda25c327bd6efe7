#include "UserDefaults.h"

#include <QLocale>
#include <QSettings>

namespace UserDefaults {

QVariant value(const QString& key, const QVariant& fallback) {
    return QSettings().value(key, fallback);
}

void setValue(const QString& key, const QVariant& value) {
    QSettings().setValue(key, value);
}

bool boolValue(const QString& key) {
    return value(key, false).toBool();
}

QStringList languages() {
    QStringList chosen = value("AppleLanguages").toStringList();
    if (chosen.isEmpty())
        chosen = QLocale::system().uiLanguages();
    for (QString& language : chosen)
        language.replace('_', '-');
    return chosen;
}

}  // namespace UserDefaults
