#include "UKLoginItemRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr const char* kEntryName = "harbex";

// The Exec value's own quoting: inside double quotes, ", `, $ and \ take a backslash.
QString QuotedForExec(const QString& program) {
    QString quoted;
    for (const QChar c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    // The desktop file's string escaping doubles each backslash once more.
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return '"' + quoted + '"';
}

// The Exec value, with the desktop file's string escapes undone.
QString ExecOf(const QString& contents) {
    for (const QString& line : contents.split('\n')) {
        if (!line.startsWith(QLatin1String("Exec=")))
            continue;
        const QString raw = line.mid(5).trimmed();
        QString value;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                const QChar next = raw[++i];
                value += next == 's'   ? QChar(' ')
                         : next == 't' ? QChar('\t')
                         : next == 'n' ? QChar('\n')
                         : next == 'r' ? QChar('\r')
                                       : next;
            } else {
                value += raw[i];
            }
        }
        return value;
    }
    return {};
}

QString Canonical(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

}  // namespace

UKLoginItemRegistry::UKLoginItemRegistry(QString program) : program_(std::move(program)) {}

QString UKLoginItemRegistry::autostartFolder() {
    // A relative XDG_CONFIG_HOME is to be ignored.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base =
        QDir::isAbsolutePath(config) ? config : QDir::homePath() + QLatin1String("/.config");
    return base + QLatin1String("/autostart");
}

QString UKLoginItemRegistry::programOfExec(const QString& exec) {
    const QString text = exec.trimmed();
    if (!text.startsWith('"'))
        return text.section(' ', 0, 0, QString::SectionSkipEmpty);
    QString program;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size())
            program += text[++i];
        else if (text[i] == '"')
            return program;
        else
            program += text[i];
    }
    return {};  // no closing quote
}

bool UKLoginItemRegistry::addAppAsLoginItem() const {
    const QDir folder(autostartFolder());
    if (!folder.mkpath(QStringLiteral(".")))
        return false;
    // Each login item is an entry of its own: the first free name.
    QString name = QStringLiteral("%1.desktop").arg(QLatin1String(kEntryName));
    for (int n = 2; folder.exists(name); ++n)
        name = QStringLiteral("%1-%2.desktop").arg(QLatin1String(kEntryName)).arg(n);
    QFile entry(folder.filePath(name));
    if (!entry.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=%1\n"
                             "Exec=%2\n"
                             "X-GNOME-Autostart-enabled=true\n")
                             .arg(QFileInfo(program_).completeBaseName(), QuotedForExec(program_));
    const QByteArray bytes = text.toUtf8();
    return entry.write(bytes) == bytes.size() && entry.flush();
}

bool UKLoginItemRegistry::deleteAppFromLoginItem() const {
    const QDir folder(autostartFolder());
    const QString program = Canonical(program_);
    bool removedAll = true;
    for (const QFileInfo& info :
         folder.entryInfoList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden)) {
        QFile entry(info.filePath());
        if (!entry.open(QIODevice::ReadOnly))
            continue;
        const QString exec = ExecOf(QString::fromUtf8(entry.readAll()));
        entry.close();
        const QString started = programOfExec(exec);
        if (!started.isEmpty() && Canonical(started) == program)
            removedAll = QFile::remove(info.filePath()) && removedAll;
    }
    return removedAll;
}
