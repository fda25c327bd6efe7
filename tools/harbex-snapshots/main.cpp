// Writes screenshots of the program's scenes, built over a scripted facade.
//   harbex-snapshots [--list] OUTPUT_DIR [SCENE...]
// Without scene names every scene is written.

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

#include "Fader.h"
#include "FakeFacade.h"
#include "Fonts.h"
#include "MyNSApplication.h"
#include "Scene.h"
#include "StringTableTranslator.h"

namespace snapshots {

std::vector<Scene>& Scenes() {
    static std::vector<Scene> scenes;
    return scenes;
}

}  // namespace snapshots

namespace {

bool Write(const snapshots::Scene& scene, const QDir& out) {
    FakeFacade facade;
    std::unique_ptr<QWidget> widget = scene.make(facade);
    widget->show();
    widget->activateWindow();
    if (!QTest::qWaitForWindowExposed(widget.get()))
        std::fprintf(stderr, "harbex-snapshots: %s was not shown\n", scene.name.c_str());
    if (!QTest::qWaitForWindowActive(widget.get(), 500))
        std::fprintf(stderr, "harbex-snapshots: %s is drawn inactive\n", scene.name.c_str());
    // Let queued posts and layouts settle.
    QTest::qWait(50);
    const QString path = out.filePath(QString::fromStdString(scene.name) + ".png");
    if (!widget->grab().save(path, "PNG")) {
        std::fprintf(stderr, "harbex-snapshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Scenes count what they show (the deep-scan offer) in private data of their own.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    MyNSApplication app(argc, argv);
    StringTableTranslator texts;
    QCoreApplication::installTranslator(&texts);
    Fonts::install();
    Fader::setEnabled(false);
    QStringList args = app.arguments().mid(1);
    std::vector<snapshots::Scene>& scenes = snapshots::Scenes();
    std::sort(scenes.begin(), scenes.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    if (args.value(0) == "--list") {
        for (const snapshots::Scene& scene : scenes)
            std::printf("%s\n", scene.name.c_str());
        return 0;
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: harbex-snapshots [--list] OUTPUT_DIR [SCENE...]\n");
        return 2;
    }
    const QDir out(args.takeFirst());
    if (!out.mkpath(".")) {
        std::fprintf(stderr, "harbex-snapshots: cannot make %s\n", qPrintable(out.path()));
        return 1;
    }
    int failures = 0;
    for (const QString& wanted : args)
        if (std::none_of(scenes.begin(), scenes.end(),
                         [&](const auto& s) { return QString::fromStdString(s.name) == wanted; })) {
            std::fprintf(stderr, "harbex-snapshots: no scene %s\n", qPrintable(wanted));
            ++failures;
        }
    for (const snapshots::Scene& scene : scenes)
        if (args.isEmpty() || args.contains(QString::fromStdString(scene.name)))
            failures += Write(scene, out) ? 0 : 1;
    return failures == 0 ? 0 : 1;
}
