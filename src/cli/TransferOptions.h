#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "data/ColumnCasts.h"
#include "data/NameRule.h"

// What the command line asks for.
struct TransferOptions {
    QString folder;
    QString dataSource;
    QStringList tables;  // none: every table of the folder
    bool list = false;
    bool overwrite = false;
    bool skipExisting = false;
    bool quiet = false;
    bool rowByRow = false;  // one statement per row, no transaction; else a table per transaction
    bool inserts = false;   // rows as the driver's inserts, never the server's own load
    bool verify = true;     // each copied table read back and compared with its source
    bool typed = false;     // real column types, keys and counters; else the screen's mapping
    bool dryRun = false;    // print the statements that would make each table; write nothing
    QString reportFile;     // "" for none: the JSON report of the run
    int jobs = 1;           // tables copied at once, each on sessions of its own
    int copyAttempts = 3;   // copies of a table whose source changes while it is read
    bool salvage = false;   // damaged tables copied by the salvage reading; else refused
    bool repair = false;    // only complete what runs that ended part-way left on the target
    int lockWait = 60;      // seconds a statement waits on another session's lock; 0: the server's
    bool refresh = false;   // tables the target has brought in step by their records of copies
    bool verifyRecorded = false;  // only check every recorded table against its source
    NameRule::Style names = NameRule::Style::AsIs;  // how the target's tables and columns are named
    ColumnCasts casts;                              // column types chosen over the mapping's
    QString schema;  // the schema the tables go to, "" for the data source's own
};

// Parses the arguments (argv[0] first). Prints help or the version and gives 0 as `exitCode`
// when asked for them; prints what is wrong and gives 2 for bad usage.
std::optional<TransferOptions> parseTransferOptions(const QStringList& arguments, int& exitCode);
