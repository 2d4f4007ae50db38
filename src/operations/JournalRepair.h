#pragma once

// The first thing every run does on a target: it reads the journal of the program's steps and
// completes what runs that are gone left part-way, before it copies anything. Per table of such
// a run, from what the target holds now:
// - a replacement: where the old table still stands, its copy goes and the old table keeps its
//   place; where the old table was dropped, the copy takes its name;
// - a copy's work table: dropped unless it was verified and its table is not there (then it
//   takes the name), so that the table is copied again;
// - another table's foreign key that the run had dropped: made again with its own rules.
// A run at work is left alone, and a row that cannot be read is named.

#include <QString>
#include <QStringList>

#include <set>

#include <functional>

class RunJournal;
class TargetProduct;

namespace ado {
class Connection;
}

class JournalRepair {
  public:
    JournalRepair(ado::Connection& target, const TargetProduct& product, RunJournal& journal)
        : target_(target), product_(product), journal_(journal) {}

    struct Outcome {
        // "PRIMARY: a replacement ended part-way at ...; 2 foreign keys of other tables made
        // again", a line for each table repaired.
        QStringList repaired;
        // What could not be repaired, and stays in the journal for the next run.
        QStringList failures;
        // Runs at work, and rows that cannot be read: left as they are.
        QStringList notes;
        // The schemas of runs left to a repair there: their tables are reached through them.
        std::set<QString> otherSchemas;
        bool empty() const { return repaired.isEmpty() && failures.isEmpty() && notes.isEmpty(); }
    };
    Outcome run();

  private:
    ado::Connection& target_;
    const TargetProduct& product_;
    RunJournal& journal_;
};

// Whether the target has `table`, as an unqualified name reaches it.
bool targetHasTable(ado::Connection& target, const QString& table);

// The repair on a connection of its own to the data source, before a run lists or copies
// anything. Throws what keeps the data source from being opened.
JournalRepair::Outcome repairDataSource(const QString& dataSourceName);
// The same on `home`, a connection to the data source that has chosen no schema; the runs of
// other schemas on connections of their own.
JournalRepair::Outcome repairFrom(ado::Connection& home, const TargetProduct& product,
                                  const QString& dataSourceName);
// The open rows of runs that ended part-way, for a dry run that writes nothing: how many there
// are; 0 where there is no journal.
int stepsLeftOn(const QString& dataSourceName);
