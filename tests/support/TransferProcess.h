#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// morvane-transfer run as a user runs it: the built program in a process of its own.
struct TransferRun {
    int status = -1;  // the exit status, -1 when it did not exit normally
    QString out;
    QString err;
};

// The warnings a run printed at its end, each without its "Warning: ".
QStringList warningsOf(const TransferRun& run);
// What a typed copy of the whole corpus cannot carry of its definition: two lookups whose
// parent has no key.
QStringList corpusDefinitionWarnings();

// Runs it to its end.
TransferRun transfer(const QStringList& arguments);
// The same with standard error (and output) on a pseudo-terminal.
TransferRun transferOnATerminal(const QStringList& arguments);
// The same as the unprivileged user, with `environment` ("NAME=value") for its environment.
TransferRun transferUnprivileged(const QStringList& arguments, const QStringList& environment);
// Starts it, for a test that signals it while it runs; standard error is kept apart.
void startTransfer(QProcess& process, const QStringList& arguments);
// The result of a process started so, once it has ended (within `seconds`).
TransferRun finishedTransfer(QProcess& process, int seconds = 120);
// Reads standard error of a process started so into `seen` until it holds `text` (true), the
// process ends or a minute passes.
bool waitForOutput(QProcess& process, QString& seen, const QString& text);
