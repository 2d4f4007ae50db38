#pragma once

#include "../tests/support/TempDir.h"

// A home folder of the benchmark's own, with its own settings and odbc.ini, on the offscreen
// platform: a benchmark never touches the user's settings or data sources.
struct PrivateHome {
    PrivateHome() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("HOME", home.path().c_str());
        qputenv("XDG_CONFIG_HOME", home.file("config").c_str());
        qputenv("XDG_DATA_HOME", home.file("data").c_str());
        qputenv("ODBCINI", home.file("odbc.ini").c_str());
    }
    TempDir home;
};
