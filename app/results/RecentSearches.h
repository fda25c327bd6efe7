#pragma once

// The search field's recent searches, newest first, at most ten. Kept in the
// user's settings ("searchRecent") and, when the user goes home, in the
// private settings list ("SearchHistory").

#include <QString>
#include <QStringList>

class RecentSearches {
public:
    static constexpr int kMaximum = 10;

    const QStringList& entries() const { return entries_; }
    // Keeps the first kMaximum of `entries`.
    void setEntries(const QStringList& entries);
    bool isEmpty() const { return entries_.isEmpty(); }

    // A search was sent: `text` becomes the newest entry, once.
    void remember(const QString& text);
    // Removes the newest entry and every entry equal to it.
    void dropNewest();
    void clear() { entries_.clear(); }

    // "searchRecent" in the user's settings.
    void loadFromDefaults();
    void storeInDefaults() const;
    // "SearchHistory" of the private settings list; an empty stored list
    // leaves the entries as they are.
    void loadFromHistory();
    bool storeInHistory() const;

private:
    QStringList entries_;
};
