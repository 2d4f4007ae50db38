#pragma once

// The copies of the chosen tables: one after the other, or side by side on sessions of their own,
// each table's result told as it ends and added to the summary in the folder's order.

#include <functional>
#include <vector>

#include "ConsoleDialogs.h"
#include "Interruption.h"
#include "ProgressReport.h"
#include "RunSummary.h"
#include "TransferOptions.h"
#include "data/TableEntry.h"
#include "operations/TableTransfer.h"

// Tells whether the transfer created the table it copied last.
struct CreationWatch : ProgressReport {
    using ProgressReport::ProgressReport;
    void targetCreated(const QString&) override { created = true; }
    // A second Ctrl-C ends the program at once: it says first what the target's journal holds.
    void journalChanged(const QStringList& pending) override {
        Interruption::setLastWords(
            pending.isEmpty()
                ? std::string()
                : "morvane-transfer: ended at once, with steps on the target left part-way; the "
                  "next run on it finishes them, or these statements do:\n" +
                      pending.join(QLatin1Char('\n')).toStdString() + "\n");
    }
    bool created = false;
};

// One copier of tables: a transfer, the dialogs it reports to and the progress it tells.
struct CopyJob {
    TableTransfer& transfer;
    ConsoleDialogs& dialogs;
    CreationWatch& progress;
};

// Copies `tables`, each whole by one job: one after the other with one job; with more, each
// job on a thread of its own takes the next table not yet taken. Every result goes into the
// summary in the order of `tables`, `tableDone` called after each. Refreshes in place are
// written together at the end, by the first job.
void copyAll(const std::vector<TableEntry>& tables, const TransferOptions& options,
             std::vector<CopyJob>& jobs, RunSummary& summary,
             const std::function<void()>& tableDone);
