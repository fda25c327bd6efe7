#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include "Fader.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings the pages write stay out of the user's own.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    Fader::setEnabled(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
