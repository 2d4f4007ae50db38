// Screen tests run offscreen, with a home folder of their own, so that no real setting, folder
// or data source of the user is touched.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "TempDir.h"

int main(int argc, char** argv) {
    static TempDir home;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.file("config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", home.file("data").c_str(), 1);
    ::setenv("ODBCINI", home.file("odbc.ini").c_str(), 1);
    ::setenv("ODBCSYSINI", home.path().c_str(), 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
