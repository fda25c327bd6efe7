#include "StartArguments.h"

#include <QStringList>

#include <cstdio>

#include "UserDefaults.h"

namespace {

constexpr char kLoaderFlag[] = "*loaderflag*";
constexpr char kSavedResultMark[] = ".Harbex";

}  // namespace

StartRoad ReadStartArguments(int argc, const char* const* argv) {
    StartRoad road;
    const QString first = argc >= 2 ? QString::fromLatin1(argv[1]) : QString();
    if (first.endsWith(QLatin1String(kLoaderFlag))) {
        road.setLanguage = true;
        road.language = first.chopped(static_cast<int>(sizeof(kLoaderFlag) - 1));
    } else if (!first.isEmpty()) {
        road.setLanguage = true;
        road.language = first;
    } else {
        road.askLoader = true;
    }
    road.rsfPath = QString();
    if (argc >= 3) {
        const QString second = QString::fromLatin1(argv[2]);
        if (second.contains(QLatin1String(kSavedResultMark)))
            road.rsfPath = second;
    }
    return road;
}

void setCurLanguage(const QString& language) {
    std::printf("argv = %s\n", language.toLatin1().constData());
    qInfo("set lanague to = %s", qPrintable(language));
    UserDefaults::setValue(QStringLiteral("AppleLanguages"), QStringList{language});
}

bool ZZManRunLoader() {
    return false;
}
