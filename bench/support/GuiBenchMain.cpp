// The main() of the benchmarks that drive the program's windows: an
// offscreen application without fades, its private data in a folder of its
// own.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "Fader.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    QApplication app(argc, argv);
    // Fades would only stretch the first steps.
    Fader::setEnabled(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
