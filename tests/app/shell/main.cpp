#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    // Each test runs as a process of its own, often side by side: each gets a
    // home of its own for the settings and the private list.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
