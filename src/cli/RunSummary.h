#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "NameChanges.h"
#include "data/TableEntry.h"
#include "operations/JournalRepair.h"
#include "operations/TableCheck.h"
#include "operations/TableRefresh.h"
#include "paradox/Salvage.h"

class ProgressReport;

// What became of one table of a run.
struct TableResult {
    enum class State {
        Copied,       // whole, as the source holds it
        Unkeyed,      // whole, but its key or its counter could not be made
        Failed,       // nothing of it stays on the target (rolled back, or never written)
        Incomplete,   // row by row: some of its rows arrived, not all
        Interrupted,  // rolled back when the run was stopped
        NotCopied,    // the run ended before its turn
        Skipped,      // the target has a table of its name, and --skip-existing said to leave it
        Salvaged,     // damaged: every row that could be read arrived; its losses and repairs named
    };
    TableEntry entry;
    State state = State::NotCopied;
    long long sourceRows = 0;
    long long rowsWritten = 0;
    QStringList causes;    // what went wrong, the first cause first
    QStringList warnings;  // what of its definition could not be carried
    QStringList losses;    // what other tables lost with its replacement (a foreign key)
    double seconds = 0;
    int copies = 0;  // more than one when its source changed while it was copied
    std::optional<TableCheck::Result> check;   // made when its rows were all sent
    std::optional<px::SalvageReport> salvage;  // read by the salvage reading, damaged
    // A refresh: what it did with the table, the rows it changed, why it replaced it.
    enum class Refresh { None, Copied, Unchanged, Refreshed, Replaced };
    Refresh refresh = Refresh::None;
    TableRefresh::Counts changes;
    QString replacedBecause;
    QString refreshedSince;  // when the record's copy was made
};

// The results of a run and what the command line says of them at its end: one summary line,
// then each table that did not arrive whole with its cause, and each warning; the exit status.
class RunSummary {
  public:
    void add(TableResult result) { results_.push_back(std::move(result)); }
    void warn(const QString& warning) { warnings_ << warning; }
    // What the run noticed that changes nothing of its outcome (lock files beside the tables).
    void note(const QString& note) { notes_ << note; }
    const QStringList& notes() const { return notes_; }
    // A part of `table`'s definition (its name on the target) that could not be carried: on
    // its table's entry, or the run's where no table of the run has that name.
    void warnOn(const QString& table, const QString& warning);
    // Whether `text` was told as a table's warning.
    bool warnedOf(const QString& text) const;
    // The run was stopped by a signal; its exit status.
    void interrupted(int exitStatus) { interruptedStatus_ = exitStatus; }
    const std::vector<TableResult>& results() const { return results_; }
    const QStringList& warnings() const { return warnings_; }
    // What the run completed of runs that ended part-way, told at once through `report`.
    void repairedTarget(const JournalRepair::Outcome& outcome, ProgressReport& report);
    const JournalRepair::Outcome& repair() const { return repair_; }
    // The tables whose names, or whose columns' names, the target gets changed.
    void namesChanged(std::vector<NameChanges::Table> tables) { names_ = std::move(tables); }
    const std::vector<NameChanges::Table>& names() const { return names_; }
    // Why the run wrote nothing, "" when it ran.
    void refused(const QString& reason) { refusal_ = reason; }
    const QString& refusal() const { return refusal_; }

    // Prints the summary through `report` (errors even when quiet); the seconds of the run.
    void print(ProgressReport& report, bool quiet, double seconds) const;
    // 0 every table copied (or skipped as asked, or salvaged without a loss); 3 every table
    // arrived whole, but a part of a definition was not carried; 1 some table not whole, a
    // salvage that lost rows or values, another table's lost key, what an earlier run left that
    // could not be repaired, or another warning; the signal's status when the run was stopped.
    int exitStatus() const;

  private:
    // ": 3 unchanged, 1 refreshed (+1 ~1 −1), 1 replaced" for a refresh, else "".
    QString refreshCounts() const;

    std::vector<TableResult> results_;
    QStringList warnings_;
    QStringList notes_;
    int interruptedStatus_ = 0;
    QString refusal_;
    JournalRepair::Outcome repair_;
    std::vector<NameChanges::Table> names_;
};
