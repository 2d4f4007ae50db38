#pragma once

// The program's own table on a target, one per database ("morvane_journal"): before a step that
// commits on its own, and before the work table a copy writes to, a row that says what the step
// is and what finishes or undoes it, committed first; once the step is done, the row is marked
// done. Each row names its run, whose lock the server frees when the run's connection ends, so
// that a later run completes the steps of a run that is gone and never those of one at work.
//
// A row holds its step in fields (tables, a key's columns and rules), never a statement: the
// program builds each statement from them as it builds any other, and a row it cannot read is
// named, not acted on.

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "data/products/TableDefinition.h"

class TargetProduct;

namespace ado {
class Connection;
}

struct JournalEntry {
    enum class Kind {
        WorkTable,    // a copy is written to `work` for `table`; `verified` once it was checked
        Replacement,  // `table` is replaced by the verified copy in `work`: dropped, then renamed
        ForeignKey,   // `child`'s foreign key `key` to `table` is dropped, and must be made again
    };
    QString run;
    int step = 0;
    Kind kind = Kind::WorkTable;
    bool open = true;
    QString at;  // when the row was written, UTC, as "2026-12-10 22:14:05"
    QString table;
    QString work;
    bool verified = false;
    QString child;
    ForeignKey key;
    QString schema;  // the schema its tables are in, "" for the connection's own
};

class RunJournal {
  public:
    static const QString kTable;

    // `job`: which of the sessions of a run that copies tables side by side this one is, from
    // 1; each has a run of its own.
    RunJournal(ado::Connection& target, const TargetProduct& product, int job = 1);

    // This run's name: its host, process and the process's start.
    const QString& run() const { return run_; }
    // Whether `table` is the journal's.
    static bool isJournal(const QString& table);

    // Makes the table where it is missing and takes this run's lock, outside any transaction;
    // false, with why in `problem`, where the target will not keep a journal (no right to make
    // tables).
    bool prepare(QString& problem);
    bool ready() const { return ready_; }
    // Writes `entry` as this run's next step; its number. Inside a transaction the row commits
    // with it.
    int write(JournalEntry entry);
    void markVerified(int step);
    void markDone(int step);
    // The statement that marks a step done, for a caller that runs it with its step; then
    // doneWith() once it ran.
    QString doneStatement(int step) const;
    void doneWith(int step);
    // Marks another run's row done, once this run finished or undid its step.
    void markDone(const JournalEntry& entry);
    // Forgets this run's rows marked done; those of `run`.
    void forgetDone();
    void forget(const QString& run);

    // The open rows of runs other than this one, by run, and a line for each row that cannot be
    // read. Nothing when there is no journal.
    struct Reading {
        std::map<QString, std::vector<JournalEntry>> byRun;
        QStringList unreadable;
    };
    Reading openEntriesOfOthers();
    // Every row, for a listing.
    std::vector<JournalEntry> allEntries();
    // Whether the run that wrote `run`'s rows is gone, and this connection holds its lock from
    // now on: true, false, or nothing where it cannot be told.
    std::optional<bool> claim(const QString& run);
    // The statements that finish what this run's open rows leave to do, for a person who acts
    // without the program: each replacement's rename, each foreign key made again.
    QStringList pendingStatements() const;

    const std::map<int, JournalEntry>& openSteps() const { return open_; }
    // Called whenever this run's open rows change.
    void onChange(std::function<void()> changed) { changed_ = std::move(changed); }

    // Whether the journal on `target` has `column` (a quoted name): a journal made by an earlier
    // version lacks the later ones.
    static bool hasColumn(ado::Connection& target, const TargetProduct& product,
                          const char* column);

  private:
    bool exists();
    // The table, where it is missing, and the columns the records added to it.
    void makeTable();
    void addRecordColumns();
    std::vector<JournalEntry> read(const QString& where, QStringList* unreadable);
    QString literal(const QString& text) const;
    // The chosen schema as a literal for its column, NULL for the connection's own.
    QString schemaLiteral() const;

    ado::Connection& target_;
    const TargetProduct& product_;
    QString run_;
    bool ready_ = false;
    int nextStep_ = 1;
    std::map<int, JournalEntry> open_;  // this run's open rows, by step
    std::function<void()> changed_;
};

// The statements that make `child`'s foreign key `key` on `product`.
QStringList foreignKeyStatements(const TargetProduct& product, const QString& child,
                                 const ForeignKey& key);

// A list of names as a journal row holds it (a JSON array), and back: nothing for text that is
// not such a list.
QString journalNamesText(const QStringList& names);
std::optional<QStringList> journalNamesOf(const QString& text);
