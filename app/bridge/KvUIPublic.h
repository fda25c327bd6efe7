#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>

#include "EngineTypes.h"

class IFileNode;

// Posting from any thread to the notification centre on the main thread, and
// the texts the interface shows for found files.
class KvUIPublic {
public:
    // Queues the post on the main thread and returns at once; posts from one
    // thread arrive in the order they were queued, and a name still waiting
    // to be posted is posted once.
    static void NotifyMainThread(const QString& name, const QVariant& object = {});
    // Runs `work` on a thread of its own, then queues the post: it never arrives
    // before `work` has returned.
    static void NotifyMainThreadByPostKey(const QString& name, std::function<void()> work);
    // Queues the post to be made after `delayMs` on the main thread.
    static void NotifyMainThreadLater(int delayMs, std::function<void()> action);

    // "/" + volume name + "/" + each folder + "/" + the name, walked up from
    // the node (at most 1024 levels); empty for a null node.
    static QString GetPathByFileNode(IFileNode* node);
    // The time in the user's locale (long date, short time); empty for a
    // missing (0) time. Times before 1970 show as its first second.
    static QString FormatFileTimeToString(_FILETIME time);
    // Seconds since 1970; 0 for any time before it.
    static uint64_t convertWindowsTimeToUnixTime(_FILETIME time);

    // Does `key` occur in `name`, ignoring case? Yes for a null or empty key,
    // no for a null name. Both are UTF-8.
    static bool IsStringInString(const char* key, const char* name);
    // The search's match of one node: a file by its name (or, in desktop
    // mode, by lying directly in a folder named "Desktop"), a folder when
    // something below it matches.
    static bool IsStringInFileNode(const char* key, IFileNode* node);
    static bool IsStringInFileNode(const char* key, IFileNode* node, bool desktopMode);
    // The user default "isSelectDesktopDisk".
    static bool IsDesktopMode();

    // The name in front of the numbered output folder of a searcher type's
    // recovered files; empty for NTFS and unknown types.
    static QString GetFileSystemStrByType(int type);

    // The interface text of `key` from the application's string table; the
    // key itself when the table has none.
    static QString LocalizedString(const char* key);
    // The UTF-8 text, or "Unknown" when it is not valid UTF-8.
    static QString Utf8OrUnknown(const char* text);
};
