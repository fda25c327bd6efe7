#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "Fader.h"
#include "Fonts.h"
#include "MyNSApplication.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings and private data the tests write go to a folder of their own.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    qputenv("XDG_DATA_HOME", settings.path().toUtf8());
    MyNSApplication app(argc, argv);
    Fonts::install();
    Fader::setEnabled(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
