#pragma once

// The weekly update check at start. The time of the last check is kept as
// "yyyy-MM-dd HH:mm:ss" in local time; the program's build number is compared
// with the "VersionCheck" of a property list published at the "IniURL" link.
// The check never blocks: the answer, or its time limit, decides what opens.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

struct UpdateDue {
    bool due = false;
    // No time was stored: a first start.
    bool firstStart = false;
};

inline constexpr const char* kCheckTimeFormat = "yyyy-MM-dd HH:mm:ss";

// The top-level dictionary of a property list: its texts, numbers and
// truth values by key (nested lists are left out); empty when it has none.
QVariantMap PropertyListDictionary(const QByteArray& propertyList);

// A check is due 7 whole days after the last one, when none is stored, and
// when what is stored is not a time.
UpdateDue IsUpdateCheckDue(const QString& stored, const QDateTime& now);
// The integer under "VersionCheck" in a property list; 0 when it has none.
qint64 VersionCheckOf(const QByteArray& propertyList);

// One check: fetches the list, then tells whether a newer build is out.
class KvUpdateCheck : public QObject {
    Q_OBJECT

public:
    explicit KvUpdateCheck(QObject* parent = nullptr);

    // Asks `url` for the list; gives up after `limitMs`.
    void start(const QString& url, qint64 localVersion, int limitMs);

    // After the end: whether the server answered at all (an answer without a
    // list still counts), and the list it sent.
    bool answered() const { return answered_; }
    const QByteArray& list() const { return list_; }

signals:
    // Exactly once: a newer build was announced (false also on failure or timeout).
    void finished(bool newer);

private:
    void end(bool newer);

    QNetworkAccessManager* network_;
    QNetworkReply* reply_ = nullptr;
    QTimer* limit_;
    qint64 localVersion_ = 0;
    QByteArray list_;
    bool answered_ = false;
    bool ended_ = false;
};
