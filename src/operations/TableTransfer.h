#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "DefinitionWriter.h"
#include "JournalRepair.h"
#include "ReferringKeys.h"
#include "TableCheck.h"
#include "TableLayout.h"
#include "TableRefresh.h"
#include "TargetNames.h"
#include "ado/BulkSession.h"
#include "ado/Canceller.h"
#include "ado/Cursor.h"
#include "data/ConnectionSettings.h"
#include "data/TableEntry.h"
#include "data/TypedMapping.h"
#include "data/products/TargetProduct.h"
#include "paradox/ChangeStamp.h"

class Dialogs;
class ErrorTrap;
class RunJournal;
class QWidget;

namespace ado {
class Connection;
class RecordSet;
}  // namespace ado

// What a caller shows of a running transfer.
class TransferObserver {
  public:
    virtual ~TransferObserver() = default;
    // Row `row` (from 0) of `rows` is about to be copied.
    virtual void rowStarting(long long row, long long rows) = 0;
    // A table was done with, copied or not.
    virtual void tableEnded() = 0;
    virtual void targetDropped(const QString& name) = 0;
    virtual void targetCreated(const QString& name) = 0;
    // Whether the transfer is to stop before its next row, the table being copied left as a
    // failed one is (the command line's answer to Ctrl-C).
    virtual bool stopRequested() const { return false; }
    // A statement that takes locks another session may hold (a create, drop or rename, a key
    // to another table) starts or ends; only then can a slow answer be a wait on another session.
    virtual void statementMayWait(bool /*waits*/) {}
    // The source of `table` changed while it was copied; copy `copy` of at most `copies` starts.
    virtual void copyingAgain(const QString& /*table*/, int /*copy*/, int /*copies*/) {}
    // What the journal on the target holds open for this run changed: the statements that
    // finish its steps, for a person who acts without the program.
    virtual void journalChanged(const QStringList& /*pending*/) {}
};

// Copies Paradox tables, structure and rows, into the target, and checks what arrived: one
// prepared insert per table, run once per row with the row's values bound, and no transaction.
// Every failure goes through the caller's error trap with the line it has in the transfer's
// numbering; a rejected row loses that row only, a lost connection ends the transfer.
//
// A table the target has is replaced only by a complete copy: the rows go into a work table of
// their own name, are checked, and only then is the old table dropped and the work table given
// its name; whatever fails first leaves the old table as it was. A copy made in one transaction
// goes through a work table too, since the target may commit a new table at once.
class TableTransfer {
  public:
    // Skipped: the table failed or was left alone, and the next one follows. TransferEnds: the
    // connection was lost. Interrupted: the caller asked to stop.
    enum class Outcome { Done, Skipped, TransferEnds, Interrupted };
    // One statement per row, each standing on its own; or, fast, each table in one transaction
    // (its drop included) with one prepared insert and bound parameters.
    enum class Mode { StatementPerRow, Fast };

    // `targetTables` are the tables the target has as the caller lists them; `owner` is the
    // window the overwrite question belongs to.
    TableTransfer(ErrorTrap& trap, Dialogs& dialogs, QWidget* owner, TransferObserver& observer,
                  QStringList targetTables, Mode mode = Mode::StatementPerRow);
    ~TableTransfer();

    // Opens both sides; false, reported, when either cannot be opened.
    bool open(const ConnectionSettings& connection);
    // Copies one table, asking first when the target has one of its name. A table whose rows
    // were all sent is then checked against its source; a difference, or a check that cannot be
    // made, is reported at line 268.
    Outcome copy(const TableEntry& table);
    // Copies with the typed mapping (real column types, the key, the AutoInc counter) rather
    // than the tables screen's; set before open().
    void useTypedMapping() { typedRequested_ = true; }
    // Names the tables and columns it makes by `style` rather than as Paradox names them; set
    // before open().
    void nameTargets(NameRule::Style style) { namesStyle_ = style; }
    // Gives the columns `casts` names the types chosen there rather than the mapping's.
    void castColumns(ColumnCasts casts) { casts_ = std::move(casts); }
    // Puts the tables in `schema` (a MariaDB database, a SQL Anywhere owner), made first where
    // it is missing and `mayMake`; set before open().
    void putTablesIn(const QString& schema, bool mayMake) {
        schema_ = schema;
        mayMakeSchema_ = mayMake;
    }
    // What open() did about the schema, for a line of its own; "" when nothing.
    const QString& schemaNote() const { return schemaNote_; }
    // How the tables and columns are named, once open() has found out what the target is.
    const NameRule& names() const { return names_; }
    // The typed mapping, once open() has found out what the target is.
    const std::optional<TypedMapping::Mapping>& typedMapping() const { return typed_; }
    // The target's product, once open() has found out what it is.
    const TargetProduct& product() const { return *product_; }
    // What copy() would give the target for a table, for a dry run that writes nothing: the
    // statements in the order it runs them (the rows go in after the first), and a line for
    // each thing it would refuse or leave out, saying why. Throws what keeps the source from
    // being read.
    struct Plan {
        QStringList statements;
        QStringList notes;
    };
    Plan plan(const TableEntry& entry, bool overwrite);
    // The foreign keys makeRelationships() would make once the planned tables are there.
    Plan planRelationships();
    // What becomes of a damaged table (one the strict reading refuses): refused, as a failure;
    // copied by the salvage reading, which takes every row it can read; or asked about.
    enum class DamagedTables { Refuse, Salvage, Ask };
    void setDamagedTables(DamagedTables damaged) { damaged_ = damaged; }
    // The last table's losses, when it was damaged and read by the salvage reading.
    const std::optional<px::SalvageReport>& lastSalvage() const { return lastSalvage_; }
    // What the salvage reading could copy of the last table, when it was refused as damaged:
    // "the 987 rows that can be read".
    const QString& salvageOffer() const { return salvageOffer_; }
    // How many times a table whose source changes while it is read is copied before it fails
    // (at least once).
    void setCopyAttempts(int attempts) { attempts_ = std::max(attempts, 1); }
    // How many times the last table was copied, and whether its source changed the last time.
    int copies() const { return copies_; }
    bool sourceMoved() const { return sourceMoved_; }
    // Leaves copied tables unchecked.
    void skipChecks() { checking_ = false; }
    // This transfer is job `job` (from 2) of a run that copies tables side by side, each job on
    // sessions of its own: its journal's steps are its own run's; set before open().
    void copyAlongside(int job) { job_ = job; }
    // Sends the rows as inserts even where the product has a load of its own; set before open().
    void sendAsInserts() { loadAllowed_ = false; }
    // Why the product's own load is not used, once open; "" when it is or it has none.
    const QString& loadNote() const { return loadNote_; }
    // The product's own load the rows go by ("COPY"), once open; "" for inserts.
    QString loadName() const;
    // Why the product's own load, refused by the server at the last table, was given up for
    // inserts; once, then "".
    QString takeLoadRefusal() { return std::exchange(loadRefusal_, QString()); }
    // Whether the last table, typed, got its key and its counter (a table whose rows break its
    // key arrives without it).
    bool keyMade() const { return keyMade_; }
    // The check of the last table, when it was made.
    const std::optional<TableCheck::Result>& lastCheck() const { return lastCheck_; }
    // Typed: makes the foreign keys of the tables copied so far, once they are all on the
    // target (line 278); a stop leaves the rest out. The tables whose foreign keys it left out.
    QStringList makeRelationships();
    // Takes over the relationships that `other`, a job beside this one, left waiting and the
    // tables it made, so that this transfer makes every table's foreign keys once all are on
    // the target.
    void takeOverRelationships(TableTransfer& other);
    // What of the tables' definitions could not be carried, since the last call: each as its
    // report's text, so that a caller can tell it from a failed copy.
    std::vector<DefinitionWriter::Problem> takeDefinitionProblems();
    // Completes what runs that are gone left part-way on the target, before anything is copied
    // (line 142).
    JournalRepair::Outcome repairTarget();
    // What the journal holds open for this run, as statements a person can run.
    QStringList pendingStatements() const;
    // How long a statement may wait on another session's lock, in seconds; set before open().
    void setLockWait(int seconds) { lockWaitSeconds_ = seconds; }
    // The line that says how long a statement waits on another session's lock, once open.
    const QString& lockWaitNote() const { return lockWaitNote_; }
    // Refreshes tables the target has rather than asking to overwrite them: a table whose
    // source is as its record of a verified copy says is left alone; a keyed one is brought in
    // step in place; any other is replaced. A table with no record, or recorded with the other
    // mapping, is refused unless `replaceUnrecorded`. Set before the first copy.
    void refreshTables(bool replaceUnrecorded) {
        refreshing_ = true;
        replaceUnrecorded_ = replaceUnrecorded;
    }
    // The window's overwrite: asked as before, and a Yes refreshes the table by the same rules,
    // replacing what it cannot refresh; a table is compared with its source even when its
    // source's stamp is its record's, so that what the answer brings is always the source.
    void refreshOnYes() {
        refreshTables(true);
        askFirst_ = true;
    }
    struct Refresh {
        enum class Kind { Copied, Unchanged, Refreshed, Replaced };
        Kind kind = Kind::Copied;
        TableRefresh::Counts counts;
        QString why;        // why a table was replaced rather than refreshed
        QString since;      // when the recorded copy was made
        bool held = false;  // compared, its rows written at writeRefreshes()
    };
    // What the last copy() did, when refreshing.
    const Refresh& lastRefresh() const { return refresh_; }
    // A table to refresh in place is compared at its turn, and written with the others at
    // writeRefreshes(), so that related tables change together: every table's deletes, each
    // before the deletes of the tables its foreign keys refer to, then every table's updates
    // and inserts in the opposite order,
    // then each table checked against its source, in one transaction, committed only when all
    // are verified. Its copy() ends with lastRefresh().held.
    struct Written {
        TableEntry entry;
        QString table;
        TableRefresh::Counts counts;
        std::optional<TableCheck::Result> check;
        long long sourceRows = 0;
        QString failure;  // why nothing was written, or ""
        bool stopped = false;
    };
    std::vector<Written> writeRefreshes();
    // A line for each recorded table whose source file is gone: named, never dropped.
    QStringList recordsWithoutSource();
    // Checks every table the target has a record of against its source, writing nothing;
    // each table's result by its name, or why it could not be checked.
    struct Verified {
        QString table;
        QString sourceFile;
        std::optional<TableCheck::Result> check;
        QString problem;
    };
    std::vector<Verified> verifyRecorded();
    // Closes both sides.
    void close();
    // From any thread, at once: cancels the statement that runs now on the target, so that a
    // stop ends the copy there; a commit is never cancelled. The copy stops, the target as the
    // stop leaves it (a rolled-back table, an old table kept, the journal's steps).
    void cancelRunningStatement();
    // The rows of the last table: in its source, and those the target took (none when its
    // transaction was rolled back).
    long long sourceRows() const { return sourceRows_; }
    long long rowsWritten() const { return rowsWritten_; }
    // Whether the last table, not copied whole, stays on the target as far as it got: rows sent
    // one by one under its own name.
    bool leftStanding() const { return leftStanding_; }

  private:
    // One copy of the table under the target's spelling of its name.
    Outcome copyOnce(const TableEntry& entry, const QString& table, bool overwrite);
    // One refresh of a table the target has, by its record.
    Outcome refreshOnce(const TableEntry& entry, const QString& table);
    // The record of a verified copy of `table`, run after its last step: a failure leaves the
    // table unrecorded, which the next refresh names.
    QStringList recordStatements(const TableEntry& entry, const QString& table,
                                 const TableLayout& layout);
    // The mapping and a digest of the statements that make the table: a record's layout.
    QString layoutText(const TableEntry& entry, const TableLayout& layout,
                       const QString& table) const;
    // The source's stamp as a record keeps it, its definition's files included.
    QString recordedStamp(const TableEntry& entry) const;
    // Moves a typed table's AutoInc counter above its values (line 267).
    bool moveCounter(const TableLayout& layout, const QString& table);
    // Whether the source differs from its stamp (and so from now on); false with no stamp.
    bool sourceChanged();
    // A trap step that reads the source: a failure while the source moved is not reported; the
    // copy is made again. False when it failed or the source moved.
    bool readStep(int line, const std::function<void()>& read);
    // False when a stop was asked for during the pause.
    bool pauseBeforeCopyingAgain();
    // With which reading to copy the table: a damaged one is salvaged, refused (the rows the
    // salvage reading would copy noted), or asked about, where No refuses it.
    void chooseReading(const TableEntry& entry, const QString& table);
    // The target's spelling of the table's name, and whether to go on with it: true when the
    // target has no such table or the user answered Yes (then `overwrite` is set).
    bool askToOverwrite(QString& table, bool& overwrite);
    // Opens the source, lays the table out, and checks that no name stands in the way of
    // writing it; typed, reads the source through for its AutoInc field. False, reported at the
    // line of the step that failed.
    bool readyToWrite(const TableEntry& entry, const QString& table, ado::RecordSet& source,
                      std::optional<TableLayout>& layout);
    bool namesFit(const TableLayout& layout, const QString& table);
    // A refresh of a table the target lacks whose source was copied under another name: said,
    // and true.
    bool copiedUnderAnotherName(const TableEntry& entry, const QString& table);
    // Moves the target connection into the chosen schema, made first where it may be.
    void enterSchema();
    // What a first reading of the whole source (every value, blobs included) tells of its
    // AutoInc field, typed. Throws when the source cannot be read to its end.
    struct SourceScan {
        bool blankCounter = false;
        long long highestCounter = 0;
    };
    SourceScan scanSource(const TableEntry& entry, const TableLayout& layout);
    // copyInto() inside one transaction, committed when the table is whole.
    Outcome copyInTransaction(ado::RecordSet& source, const TableLayout& layout,
                              const QString& table);
    // Creates the table and copies its rows.
    Outcome copyInto(ado::RecordSet& source, const TableLayout& layout, const QString& table);
    Outcome createTable(const TableLayout& layout, const QString& table);
    // Drops a work table that a run stopped outright left behind, unless it may hold the only
    // copy of `table`: then false, reported.
    bool removeLeftover(const QString& work, const QString& table);
    long long rowsIn(const QString& table);
    // Why a work table of `rows` rows whose own table is missing is left alone.
    QString onlyCopyNote(const QString& work, const QString& table, long long rows) const;
    // Drops the work table of a copy that failed, where the target still has it.
    void discard(const QString& work);
    // Puts the complete copy in `work` in `table`'s place, as a TableSwap: drops the old table
    // (when `overwrite`) and renames the work table.
    Outcome putInPlace(const QString& work, const QString& table, bool overwrite,
                       const TableLayout& layout);
    // Other tables' foreign keys to `table`, and whether the copy in `work` can take them all;
    // false, reported, when it cannot or they cannot be read.
    bool readReferringKeys(const QString& table, const QString& work, ReferringKeys& keys);
    // Makes the journal ready before the first step that needs it, outside any transaction; a
    // target that keeps none is told once.
    void prepareJournal();
    // A statement that may wait on another session's lock starts or ends.
    void mayWait(bool waits);
    // Runs statements that may wait on another session's lock, and can be cancelled then.
    void runCancellable(const QString& table, const std::function<void()>& statements);
    // The typed table's key (line 266) and its AutoInc counter (line 267).
    void addKeyAndCounter(const TableLayout& layout, const QString& table);
    // The typed table's column rules and indexes (line 270); its relationships wait.
    void addDefinition(const TableEntry& entry, const TableLayout& layout, const QString& table);
    // Statements that take effect together or not at all.
    void runTogether(const QStringList& statements);
    // Reads the copied table back (from `readFrom`) and compares it with its source; false
    // when it differs or cannot be checked.
    bool check(const TableEntry& entry, const QString& table, const QString& readFrom,
               const std::vector<CheckedColumn>& columns);

    Outcome copyRows(ado::RecordSet& source, const TableLayout& layout, const QString& table);
    Outcome copyRowsInBulk(ado::RecordSet& source, const TableLayout& layout, const QString& table);
    // The statement the rows of `table` go by: the product's load, or the batched insert where
    // there is none or the server refuses it.
    std::unique_ptr<ado::InsertStatement> prepareRows(const TableLayout& layout,
                                                      const QString& table);
    // Reports the inserts that failed; false when the connection was lost.
    bool tellFailedInserts();
    // The same once every queued insert has run.
    bool finishInserts();
    void finishTable(ado::RecordSet& source);
    void announceCreated(const QString& table);
    Outcome failedOn(const std::exception_ptr& failure) const;

    ErrorTrap& trap_;
    Dialogs& dialogs_;
    QWidget* owner_;
    TransferObserver& observer_;
    Mode mode_;
    TargetNames targetNames_;
    std::unique_ptr<ado::Connection> paradox_;
    std::unique_ptr<ado::Connection> target_;
    std::unique_ptr<TargetProduct> product_;
    std::unique_ptr<DefinitionWriter> definitions_;
    std::unique_ptr<RunJournal> journal_;
    bool journalTold_ = false;  // a target that keeps no journal was told so
    QString copying_;           // the table being copied, under the target's spelling
    int workStep_ = 0;          // the journal's row of its work table, 0 for none
    int lockWaitSeconds_ = 60;
    QString lockWaitNote_;
    QString schema_;
    bool mayMakeSchema_ = false;
    QString schemaNote_;
    std::unique_ptr<ado::Canceller> canceller_;
    // The product's own load, on a session of its own: its work table commits before it is
    // filled, as on a target whose definitions commit at once.
    std::unique_ptr<ado::BulkSession> load_;
    bool loadAllowed_ = true;
    bool loading_ = false;  // the table being copied goes by the load
    int job_ = 1;
    QStringList made_;  // the tables this transfer made (or replaced) on the target
    QString loadNote_;
    QString loadRefusal_;
    struct SourceStamp {
        std::string file;
        px::ChangeStamp stamp;
    };
    std::optional<SourceStamp> stamp_;  // the source as it was before this copy read it
    bool sourceMoved_ = false;
    DamagedTables damaged_ = DamagedTables::Refuse;
    std::optional<px::SalvageReport> lastSalvage_;
    QString salvageOffer_;
    int attempts_ = 3;
    int copies_ = 0;
    std::map<QString, QStringList> plannedKeys_;  // a dry run's tables (lower case): their keys
    bool keysUnknownTold_ = false;  // the driver could not list other tables' foreign keys
    long long sourceRows_ = 0;
    long long rowsWritten_ = 0;
    bool checking_ = true;
    bool replacing_ = false;    // the table being copied replaces one: the first refusal ends it
    bool rowsRefused_ = false;  // the target refused a row of the table being copied
    bool created_ = false;      // the table being copied was created
    bool leftStanding_ = false;
    bool keyMade_ = true;
    bool connectionLost_ = false;
    bool typedRequested_ = false;
    std::optional<TypedMapping::Mapping> typed_;
    NameRule::Style namesStyle_ = NameRule::Style::AsIs;
    NameRule names_;
    ColumnCasts casts_;
    std::optional<TableCheck::Result> lastCheck_;
    struct Held {
        TableEntry entry;
        QString table;
        std::unique_ptr<TableLayout> layout;
        std::unique_ptr<TableRefresh> refresh;
        SourceStamp stamp;
    };
    std::vector<Held> held_;  // refreshes in place waiting for writeRefreshes()
    // held_ with each table after the tables whose foreign keys on the target refer to it.
    void childrenFirst();
    bool refreshing_ = false;
    bool askFirst_ = false;  // the overwrite question is asked before a refresh
    bool replaceUnrecorded_ = false;
    Refresh refresh_;
};
