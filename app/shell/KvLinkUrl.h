#pragma once

// Web addresses by link key ("OnlineHelp", "SupportTeam", "APFS_HELP_URL" and
// the rest), in the interface language, falling back to English.

#include <QString>

class KvLinkUrl {
public:
    // Empty when neither the language nor English has the key.
    static QString GetUrl(const QString& key);
    // Opens the link of `key` in the browser; false, opening nothing, when
    // it has no well-formed address.
    static bool OpenLink(const QString& key);
};
