#pragma once

// Web addresses by link key ("OnlineHelp", "SupportTeam", "APFS_HELP_URL" and
// the rest), in the interface language, falling back to English.

#include <QString>

class KvLinkUrl {
public:
    // Empty when neither the language nor English has the key.
    static QString GetUrl(const QString& key);
};
