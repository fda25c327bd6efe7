#include <gtest/gtest.h>

#include "Fader.h"
#include "Fonts.h"
#include "MyNSApplication.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings and private data go to the process's own folders (OwnFolders.cpp).
    MyNSApplication app(argc, argv);
    Fonts::install();
    Fader::setEnabled(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
