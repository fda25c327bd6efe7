#include "RecentSearches.h"

#include <QJsonArray>

#include "PrivateData.h"
#include "UserDefaults.h"

namespace {

const QString kDefaultsKey = QStringLiteral("searchRecent");
const QString kHistoryKey = QStringLiteral("SearchHistory");

}  // namespace

void RecentSearches::setEntries(const QStringList& entries) {
    entries_ = entries.mid(0, kMaximum);
}

void RecentSearches::remember(const QString& text) {
    if (text.isEmpty())
        return;
    entries_.removeAll(text);
    entries_.prepend(text);
    setEntries(entries_);
}

void RecentSearches::dropNewest() {
    if (!entries_.isEmpty())
        entries_.removeAll(QString(entries_.front()));
}

void RecentSearches::loadFromDefaults() {
    setEntries(UserDefaults::value(kDefaultsKey).toStringList());
}

void RecentSearches::storeInDefaults() const {
    // Written through when the settings object goes: synchronised.
    UserDefaults::setValue(kDefaultsKey, entries_);
}

void RecentSearches::loadFromHistory() {
    QStringList stored;
    for (const QJsonValue& entry : PrivateData::value(kHistoryKey).toArray())
        if (entry.isString())
            stored.append(entry.toString());
    if (!stored.isEmpty())
        setEntries(stored);
}

bool RecentSearches::storeInHistory() const {
    return PrivateData::setValue(kHistoryKey, QJsonArray::fromStringList(entries_));
}
