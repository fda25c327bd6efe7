#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    // Each test runs as a process of its own, often side by side: each gets a
    // home of its own for the settings and the private list.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
