#include <gtest/gtest.h>

#include <QCoreApplication>

#include "FileTypeLists.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // The filter is made once, from the lists set before it.
    SetFileTypeLists();
    return RUN_ALL_TESTS();
}
