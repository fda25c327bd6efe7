#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QSettings>
#include <QStringDecoder>

#include <cctype>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "FileNode.h"
#include "KvCPPPublic.h"
#include "KvUIPublic.h"

namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kSecondsFrom1601To1970 = 11644473600;

bool IsAscii(const char* text) {
    for (; *text != '\0'; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    }
    return true;
}

bool ContainsIgnoringAsciiCase(const char* name, const char* key) {
    const size_t keyLength = std::strlen(key);
    for (; *name != '\0'; ++name) {
        size_t i = 0;
        while (i < keyLength && name[i] != '\0' &&
               std::tolower(static_cast<unsigned char>(name[i])) ==
                   std::tolower(static_cast<unsigned char>(key[i])))
            ++i;
        if (i == keyLength)
            return true;
    }
    return false;
}

bool FileMatches(const char* key, IFileNode* file, bool desktopMode) {
    if (!desktopMode)
        return KvUIPublic::IsStringInString(key, file->GetFileName());
    IFileNode* parent = file->GetParent();
    const char* folder = parent != nullptr ? parent->GetFileName() : nullptr;
    return folder != nullptr && std::strcmp(folder, "Desktop") == 0;
}

}  // namespace

QString KvUIPublic::GetPathByFileNode(IFileNode* node) {
    if (node == nullptr)
        return {};
    std::vector<const char*> parts;
    for (int level = 0; node != nullptr && level < KvCPPPublic::kMostLevels; ++level) {
        IFileNode* parent = node->GetParent();
        const char* part = node->GetFileName();
        if (parent == nullptr) {
            // The top folder stands for its volume; one that names none
            // (not a file-system root) shows its own name.
            const char* volume = node->GetVolumeName();
            if (volume != nullptr && volume[0] != '\0')
                part = volume;
        }
        parts.push_back(part != nullptr ? part : "");
        node = parent;
    }
    QString path;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        path += QLatin1Char('/');
        path += QString::fromUtf8(*part);
    }
    return path;
}

QString KvUIPublic::FormatFileTimeToString(_FILETIME time) {
    if (time == 0)
        return {};
    const QDateTime local = QDateTime::fromSecsSinceEpoch(
        static_cast<qint64>(convertWindowsTimeToUnixTime(time)));
    const QLocale locale = QLocale::system();
    return locale.toString(local.date(), QLocale::LongFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), QLocale::ShortFormat);
}

uint64_t KvUIPublic::convertWindowsTimeToUnixTime(_FILETIME time) {
    const uint64_t seconds = time / kTicksPerSecond;
    return seconds > kSecondsFrom1601To1970 ? seconds - kSecondsFrom1601To1970 : 0;
}

bool KvUIPublic::IsStringInString(const char* key, const char* name) {
    if (key == nullptr || key[0] == '\0')
        return true;
    if (name == nullptr)
        return false;
    if (IsAscii(key) && IsAscii(name))
        return ContainsIgnoringAsciiCase(name, key);
    return QString::fromUtf8(name).contains(QString::fromUtf8(key), Qt::CaseInsensitive);
}

bool KvUIPublic::IsStringInFileNode(const char* key, IFileNode* node) {
    return IsStringInFileNode(key, node, IsDesktopMode());
}

bool KvUIPublic::IsStringInFileNode(const char* key, IFileNode* node, bool desktopMode) {
    if (key == nullptr || key[0] == '\0')
        return true;
    if (node == nullptr)
        return false;
    if (!node->IsDirectory())
        return FileMatches(key, node, desktopMode);
    // A folder matches through anything below it. The walk keeps to what it
    // has not seen, so looping links end it.
    std::unordered_set<IFileNode*> seen{node};
    std::vector<IFileNode*> folders{node};
    while (!folders.empty()) {
        IFileNode* folder = folders.back();
        folders.pop_back();
        for (IFileNode* child = folder->GetFirstChild(); child != nullptr && seen.insert(child).second;
             child = child->GetNextNode()) {
            if (child->IsDirectory())
                folders.push_back(child);
            else if (FileMatches(key, child, desktopMode))
                return true;
        }
    }
    return false;
}

bool KvUIPublic::IsDesktopMode() {
    return QSettings().value(QStringLiteral("isSelectDesktopDisk"), false).toBool();
}

QString KvUIPublic::LocalizedString(const char* key) {
    return QCoreApplication::translate("Localizable", key);
}

QString KvUIPublic::Utf8OrUnknown(const char* text) {
    if (text == nullptr)
        return {};
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder(QByteArrayView(text));
    return decoder.hasError() ? QStringLiteral("Unknown") : decoded;
}
