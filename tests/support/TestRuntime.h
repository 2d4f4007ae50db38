#pragma once

#include <QUrl>

#include <memory>
#include <vector>

#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "data/Settings.h"
#include "ui/Runtime.h"

// A runtime for screen tests: settings in a temporary folder, scripted dialogs, an application
// folder of the test's own, a draw that never hits the home page unless told, no browser.
struct TestRuntime {
    TestRuntime();

    TempDir home;
    ScriptedDialogs dialogs;
    Settings settings;
    int draw = 50;
    std::vector<QUrl> openedUrls;
    int programEnds = 0;  // the times a closed screen ended the program
    int endedAtOnce = 0;  // the times the program was ended at once
    Runtime runtime;

    QString applicationFolder() const { return runtime.applicationFolder; }
};
