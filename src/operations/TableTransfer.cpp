#include "TableTransfer.h"

#include "JournalRepair.h"
#include "ReferringKeys.h"
#include "RunJournal.h"
#include "TableSwap.h"
#include "TogetherStatements.h"
#include "ado/Connection.h"
#include "ado/DataSourceError.h"
#include "data/Datatype.h"
#include "data/ParadoxModule.h"
#include "data/SybaseModule.h"
#include "data/TypedMapping.h"
#include "paradox/FormatError.h"
#include "paradox/Table.h"
#include "runtime/Dialogs.h"
#include "runtime/ErrorTrap.h"
#include "runtime/EventPump.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

namespace {

// A copy in one transaction hands its rows to the connection's thread this many at a time, or
// fewer when they hold this many bytes (long memos).
constexpr size_t kChunkRows = 256;
constexpr size_t kChunkBytes = size_t(1) << 20;

// A failure that ends the whole transfer: a connection that was lost or never made.
bool isConnectionFailure(const std::exception_ptr& failure) {
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const ado::DataSourceError& error) {
        return error.isConnectionFailure();
    } catch (...) {
    }
    return false;
}

QString insertPrefix(const QString& table) {
    return QStringLiteral("INSERT INTO ") + Datatype::QuotedName(table) + QStringLiteral(" VALUES");
}

std::unique_ptr<ado::InsertStatement> prepareInsert(ado::Connection& target,
                                                    const TableLayout& layout, const QString& table,
                                                    ado::Batching batching) {
    return target.PrepareInsert(insertPrefix(table), layout.parameterRow(), layout.parameterTypes(),
                                batching);
}

}  // namespace

TableTransfer::TableTransfer(ErrorTrap& trap, Dialogs& dialogs, QWidget* owner,
                             TransferObserver& observer, QStringList targetTables, Mode mode)
    : trap_(trap),
      dialogs_(dialogs),
      owner_(owner),
      observer_(observer),
      mode_(mode),
      targetNames_(std::move(targetTables)),
      paradox_(std::make_unique<ado::Connection>()),
      target_(std::make_unique<ado::Connection>()) {}

TableTransfer::~TableTransfer() {
    trap_.setQuiet({});
    // A cancel that a server keeps waiting goes on with the program: so must its connection.
    if (canceller_ && canceller_->busy()) {
        canceller_.reset();
        static_cast<void>(target_.release());
    }
}

bool TableTransfer::open(const ConnectionSettings& connection) {
    // Without both connections there is nothing to copy: one report, and the transfer ends.
    return trap_.step(114, [&] {
        paradox_->Open(Paradox::ParadoxConnectionString(connection.paradoxFolder));
    }) && trap_.step(118, [&] {
        target_->Open(Sybase::DsnConnectionString(connection.dataSourceName));
        canceller_ = std::make_unique<ado::Canceller>(*target_);
        // After a stop, a statement's failure is the cancel the stop sent: the stop says what it
        // left, not each cancel.
        trap_.setQuiet([this](const std::exception& failure) {
            const auto* refused = dynamic_cast<const ado::DataSourceError*>(&failure);
            return refused && !refused->isConnectionFailure() && observer_.stopRequested();
        });
        // A key over many rows or a drop waiting on another session's lock: the window goes on
        // handling its events meanwhile, and its Stop is heard.
        target_->RunWaitingCallsWith(RunLettingEventsRun);
        product_ = TargetProduct::of(*target_);
        if (!schema_.isEmpty())
            enterSchema();
        definitions_ = std::make_unique<DefinitionWriter>(trap_, *target_, *product_);
        journal_ = std::make_unique<RunJournal>(*target_, *product_, job_);
        journal_->onChange([this] { observer_.journalChanged(journal_->pendingStatements()); });
        // A statement that waits on another session's lock ends after a while, and says so:
        // the journal keeps what it leaves to do.
        if (lockWaitSeconds_ > 0)
            if (const auto wait = product_->lockWait(lockWaitSeconds_)) {
                target_->Execute(wait->statement);
                lockWaitNote_ = QStringLiteral(
                                    "a statement waits at most %1 s for another "
                                    "session's lock (%2 %3)")
                                    .arg(lockWaitSeconds_)
                                    .arg(product_->displayName(), wait->setting);
            }
        if (typedRequested_)
            typed_.emplace(*product_);
        names_ = NameRule(namesStyle_, *product_);
        if (mode_ == Mode::Fast && loadAllowed_) {
            QString refused;
            load_ = product_->openBulkSession(*target_, refused);
            if (!refused.isEmpty())
                loadNote_ = refused + QStringLiteral(": the rows go as batched inserts");
        }
    });
}

QString TableTransfer::loadName() const {
    return load_ ? load_->name() : QString();
}

void TableTransfer::enterSchema() {
    if (!product_->schemaExists(*target_, schema_)) {
        if (!mayMakeSchema_) {
            schemaNote_ = QStringLiteral(
                              "the schema %1 is not on the target yet: a run makes it "
                              "first")
                              .arg(schema_);
            return;
        }
        if (!product_->createSchema(*target_, schema_))
            throw std::runtime_error(
                (product_->displayName() + QStringLiteral(" has no user ") + schema_ +
                 QStringLiteral(" to own the tables, and this program makes no users"))
                    .toStdString());
        schemaNote_ = QStringLiteral("the schema %1 was made on the target").arg(schema_);
    }
    product_->useSchema(*target_, schema_);
}

void TableTransfer::cancelRunningStatement() {
    if (canceller_)
        canceller_->cancel();
}

void TableTransfer::prepareJournal() {
    // Making its table may wait on another session's lock, as any definition does.
    QString problem;
    bool ready = false;
    runCancellable(copying_, [&] { ready = journal_->prepare(problem); });
    if (ready || journalTold_ || observer_.stopRequested())
        return;
    journalTold_ = true;
    trap_.report(142, std::runtime_error(problem.toStdString() +
                                         "; a run ended part-way leaves its steps to the user"));
}

JournalRepair::Outcome TableTransfer::repairTarget() {
    JournalRepair::Outcome outcome;
    trap_.step(142, [&] { outcome = JournalRepair(*target_, *product_, *journal_).run(); });
    return outcome;
}

QStringList TableTransfer::pendingStatements() const {
    return journal_ ? journal_->pendingStatements() : QStringList{};
}

void TableTransfer::close() {
    // Steps done need no row; those left open are for the next run.
    if (journal_ && target_->isOpen())
        trap_.step(272, [&] { journal_->forgetDone(); });
    trap_.step(274, [&] { target_->Close(); });
    trap_.step(276, [&] { paradox_->Close(); });
}

TableTransfer::Outcome TableTransfer::failedOn(const std::exception_ptr& failure) const {
    if (isConnectionFailure(failure))
        return Outcome::TransferEnds;
    // A statement a stop cancelled is the stop's doing.
    return observer_.stopRequested() ? Outcome::Interrupted : Outcome::Skipped;
}

bool TableTransfer::askToOverwrite(QString& table, bool& overwrite) {
    overwrite = false;
    if (!trap_.test(134, [&] { return targetNames_.has(table); }))
        return true;
    // The target's own spelling of the name is used from here on.
    table = targetNames_.spellingOf(table);
    // A refresh decides by the table's record, without asking, unless the window asks.
    if (refreshing_ && !askFirst_)
        return overwrite = true;
    bool yes = false;
    trap_.step(136, [&] {
        yes = dialogs_.question(
            owner_, QStringLiteral("Would you like to overwrite ") + table + QLatin1Char('?'),
            QStringLiteral("Overwrite?"));
    });
    overwrite = yes;
    return yes;
}

TableTransfer::Outcome TableTransfer::createTable(const TableLayout& layout, const QString& table) {
    // Rows go only into a table this transfer has just created. A work table is in the journal
    // first, so that a run ended before its copy takes its place leaves it to the next run.
    if (!trap_.step(210, [&] {
            if (table != copying_ && journal_->ready()) {
                JournalEntry entry;
                entry.kind = JournalEntry::Kind::WorkTable;
                entry.table = copying_;
                entry.work = table;
                workStep_ = journal_->write(entry);
            }
            runCancellable(table, [&] { target_->Execute(layout.createStatement(table)); });
        }))
        return failedOn(trap_.lastFailure());
    created_ = true;
    return Outcome::Done;
}

TableTransfer::Outcome TableTransfer::copyRows(ado::RecordSet& source, const TableLayout& layout,
                                               const QString& table) {
    long long rows = 0;
    if (!trap_.step(218, [&] { sourceRows_ = rows = source.RecordCount(); }))
        return Outcome::Skipped;
    std::unique_ptr<ado::InsertStatement> insert;
    if (!trap_.step(
            252, [&] { insert = prepareInsert(*target_, layout, table, ado::Batching::RowByRow); }))
        return failedOn(trap_.lastFailure());
    const int columns = source.FieldCount();
    // The inserts run on the connection's own thread while the next rows are read, so that a
    // slow statement never holds up the window; each failure is told before the next row.
    // A copy that replaces a table ends at the first row refused: it can no longer be whole.
    const auto finish = [&](Outcome outcome) {
        // After a stop nothing more is sent: what is queued is dropped, the running insert
        // cancelled.
        if (outcome == Outcome::Interrupted)
            target_->Cancel(LetEventsRunNow);
        const bool connected = outcome == Outcome::Interrupted || finishInserts();
        rowsWritten_ = insert->rowsWritten();
        if (!connected)
            return Outcome::TransferEnds;
        return outcome == Outcome::Done && replacing_ && rowsRefused_ ? Outcome::Skipped : outcome;
    };
    for (long long row = 0; row < rows; ++row) {
        LetEventsRun();
        if (observer_.stopRequested())
            return finish(Outcome::Interrupted);
        if (replacing_ && rowsRefused_)
            return finish(Outcome::Skipped);
        observer_.rowStarting(row, rows);
        std::vector<ado::Variant> values(static_cast<size_t>(columns));
        if (!readStep(232, [&] {
                for (int column = 0; column < columns; ++column) {
                    LetEventsRun();
                    values[static_cast<size_t>(column)] = source.Fields(column).Value();
                }
            }))
            return finish(Outcome::Skipped);
        if (!tellFailedInserts())
            return finish(Outcome::TransferEnds);
        ado::Connection::Rows one;
        one.push_back(std::move(values));
        target_->InsertAsync(*insert, std::move(one), LetEventsRunNow);
        // A table that cannot be read on is reported once, and the next table follows.
        if (!readStep(254, [&] { source.MoveNext(); }))
            return finish(Outcome::Skipped);
    }
    return finish(Outcome::Done);
}

bool TableTransfer::tellFailedInserts() {
    // A rejected row loses that row only; a lost connection ends the transfer.
    while (const std::exception_ptr failure = target_->TakeExecutionFailure()) {
        rowsRefused_ = true;
        trap_.step(252, [&] { std::rethrow_exception(failure); });
        if (isConnectionFailure(failure)) {
            target_->Cancel(LetEventsRunNow);
            return false;
        }
    }
    return true;
}

bool TableTransfer::finishInserts() {
    do {
        target_->WaitForExecution(LetEventsRunNow);
        if (!tellFailedInserts())
            return false;
    } while (target_->isExecuting());
    return true;
}

void TableTransfer::finishTable(ado::RecordSet& source) {
    if (const px::SalvageReport* salvaged = source.Salvaged(); salvaged && salvaged->damaged())
        lastSalvage_ = *salvaged;
    observer_.tableEnded();
    trap_.step(260, [&] { source.Close(); });
}

void TableTransfer::announceCreated(const QString& table) {
    trap_.step(262, [&] {
        targetNames_.add(table);
        made_ << table;
        observer_.targetCreated(table);
    });
}

namespace {

// While a table is being replaced, every failure says that the target keeps the old one.
class ReplacementNotice {
  public:
    ReplacementNotice(ErrorTrap& trap, const QString& table, bool replacing)
        : trap_(trap),
          prefix_(replacing ? table + QStringLiteral(" was not replaced: the target keeps its "
                                                     "table as it was: ")
                            : QString()) {
        trap_.setPrefix(prefix_);
    }
    ~ReplacementNotice() { done(); }
    void done() { trap_.setPrefix({}); }
    void resume() { trap_.setPrefix(prefix_); }

  private:
    ErrorTrap& trap_;
    QString prefix_;
};

}  // namespace

namespace {

// What the strict reading finds wrong with the table file, in its structure or in any record,
// or "" when it reads (or is no table).
QString damageOf(const std::string& path) {
    try {
        px::Table probe(path);
        probe.checkEveryRecord();
    } catch (const px::NotATable&) {
        return {};  // no table at all: the copy says so
    } catch (const px::FormatError& failure) {
        return QString::fromStdString(failure.what());
    } catch (const std::exception&) {
    }
    return {};
}

// What the salvage reading would copy, "the 987 rows that can be read (3 of their values
// cannot be)", where it can read the table at all.
QString salvageOfferFor(const std::string& path) {
    try {
        px::Table table(path, px::Table::Reading::Salvage);
        std::vector<px::Value> row;
        while (table.next(row)) {
        }
        const px::SalvageReport& report = table.salvaged();
        uint64_t values = 0;
        for (const auto& [field, lost] : report.valuesLost)
            values += lost;
        for (const auto& [field, cut] : report.memosCut)
            values += cut;
        const QLocale english(QLocale::English);
        return QStringLiteral("the ") + english.toString(qulonglong(report.rowsFound)) +
               (report.rowsFound == 1 ? QStringLiteral(" row that can be read")
                                      : QStringLiteral(" rows that can be read")) +
               (values == 0 ? QString()
                            : QStringLiteral(" (") + english.toString(qulonglong(values)) +
                                  QStringLiteral(" of their values cannot be)"));
    } catch (const std::exception&) {
        return {};  // not even its header
    }
}

}  // namespace

TableTransfer::Outcome TableTransfer::copy(const TableEntry& entry) {
    QString table = names_(entry.name);
    bool overwrite = false;
    copies_ = 0;
    sourceMoved_ = false;
    lastSalvage_.reset();
    salvageOffer_.clear();
    if (!askToOverwrite(table, overwrite) || copiedUnderAnotherName(entry, table)) {
        rowsWritten_ = sourceRows_ = 0;
        lastCheck_.reset();
        return Outcome::Skipped;
    }
    chooseReading(entry, table);
    // Salvaging is decided per table, and ends with its copy.
    const struct SalvagingEnds {
        ado::Connection& paradox;
        ~SalvagingEnds() { paradox.SalvageDamagedTables(false); }
    } salvagingEnds{*paradox_};
    // Rows copied one by one under the table's own name stay where they arrived.
    const bool rowsStay = mode_ == Mode::StatementPerRow && !overwrite;
    const bool refresh = refreshing_ && overwrite;
    refresh_ = {};
    for (;;) {
        const std::string file = QFile::encodeName(entry.file).toStdString();
        stamp_ = SourceStamp{file, px::changeStampOf(file)};
        sourceMoved_ = false;
        ++copies_;
        const Outcome outcome =
            refresh ? refreshOnce(entry, table) : copyOnce(entry, table, overwrite);
        if (!sourceMoved_) {
            // A table refused as damaged: what the salvage reading would bring of it.
            if (damaged_ == DamagedTables::Refuse && outcome != Outcome::Done) {
                const std::string path = QFile::encodeName(entry.file).toStdString();
                if (!damageOf(path).isEmpty())
                    salvageOffer_ = salvageOfferFor(path);
            }
            // The window names what it did to a table it was asked to salvage in one box.
            if (damaged_ == DamagedTables::Ask && lastSalvage_ && outcome == Outcome::Done)
                trap_.report(232,
                             std::runtime_error((table + QStringLiteral(" was salvaged: ") +
                                                 QString::fromStdString(lastSalvage_->describe()))
                                                    .toStdString()));
            return outcome;
        }
        if (rowsStay || copies_ >= attempts_) {
            const ReplacementNotice notice(trap_, table, overwrite);
            const QString moved = table + QStringLiteral(
                                              " changed while it was copied: a program "
                                              "is writing to it");
            trap_.report(232, std::runtime_error(
                                  (moved + (rowsStay ? QStringLiteral(", and the rows that "
                                                                      "arrived may mix two states "
                                                                      "of it")
                                                     : QStringLiteral("; copied %1 %2")
                                                           .arg(copies_)
                                                           .arg(copies_ == 1 ? "time" : "times")))
                                      .toStdString()));
            return Outcome::Skipped;
        }
        observer_.copyingAgain(table, copies_ + 1, attempts_);
        if (!pauseBeforeCopyingAgain())
            return Outcome::Interrupted;
    }
}

void TableTransfer::chooseReading(const TableEntry& entry, const QString& table) {
    // The salvage reading reads an intact table as the strict one does; a refused table is
    // looked at only once its copy failed.
    paradox_->SalvageDamagedTables(damaged_ == DamagedTables::Salvage);
    if (damaged_ != DamagedTables::Ask)
        return;
    const std::string path = QFile::encodeName(entry.file).toStdString();
    QString damage = damageOf(path);
    if (damage.isEmpty() || (salvageOffer_ = salvageOfferFor(path)).isEmpty())
        return;
    if (damage.endsWith(QLatin1Char('.')))
        damage.chop(1);
    bool yes = false;
    trap_.step(136, [&] {
        yes = dialogs_.question(owner_,
                                table + QStringLiteral(" is damaged: ") + damage +
                                    QStringLiteral(". Copy ") + salvageOffer_ + QLatin1Char('?'),
                                QStringLiteral("Damaged table"));
    });
    // No: the copy goes on as it would have, and fails on the damage.
    paradox_->SalvageDamagedTables(yes);
}

bool TableTransfer::pauseBeforeCopyingAgain() {
    // Long enough for a program's save to end; a stop is answered at once.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500 * copies_);
    while (std::chrono::steady_clock::now() < until) {
        LetEventsRun();
        if (observer_.stopRequested())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool TableTransfer::sourceChanged() {
    if (!sourceMoved_ && stamp_ && px::changeStampOf(stamp_->file) != stamp_->stamp)
        sourceMoved_ = true;
    return sourceMoved_;
}

bool TableTransfer::readStep(int line, const std::function<void()>& read) {
    return trap_.step(line, [&] {
        try {
            read();
        } catch (const std::exception&) {
            // A reading that fails because the source moved under it is no damage.
            if (!sourceChanged())
                throw;
        }
    }) && !sourceMoved_;
}

TableTransfer::Outcome TableTransfer::copyOnce(const TableEntry& entry, const QString& table,
                                               bool overwrite) {
    rowsWritten_ = 0;
    sourceRows_ = 0;
    keyMade_ = true;
    rowsRefused_ = false;
    created_ = false;
    lastCheck_.reset();
    replacing_ = overwrite;
    const std::exception_ptr failedBefore = trap_.lastFailure();
    const QString work = overwrite || mode_ == Mode::Fast ? product_->workTableName(table) : table;
    copying_ = table;
    workStep_ = 0;
    if (work != table)
        prepareJournal();
    ReplacementNotice notice(trap_, table, overwrite);
    ado::RecordSet source;
    std::optional<TableLayout> layout;
    if (!readyToWrite(entry, table, source, layout) ||
        (work != table && !removeLeftover(work, table))) {
        finishTable(source);
        return Outcome::Skipped;
    }
    Outcome outcome = mode_ == Mode::StatementPerRow ? copyInto(source, *layout, work)
                                                     : copyInTransaction(source, *layout, work);
    // Rows read while the source moved may mix two of its states: not a copy.
    if ((outcome == Outcome::Done || outcome == Outcome::Skipped) && sourceChanged())
        outcome = Outcome::Skipped;
    // A new table made under its own name is the target's, whole or not.
    leftStanding_ = work == table && created_ && outcome != Outcome::Done;
    if (work == table && created_)
        announceCreated(table);
    // A copy under its work table's name gets its key and counter there, is checked after
    // them, since they may change its rows, and takes the table's name only when verified.
    if (outcome == Outcome::Done && work != table) {
        if (layout->typed()) {
            notice.done();  // a table without its key still arrives
            addKeyAndCounter(*layout, work);
            notice.resume();
        }
        if (checking_ && !check(entry, table, work, layout->checkedColumns()))
            outcome = Outcome::Skipped;
        else if (workStep_ != 0 && !trap_.step(144, [&] { journal_->markVerified(workStep_); }))
            outcome = failedOn(trap_.lastFailure());
    }
    if (outcome == Outcome::Done && work != table)
        outcome = putInPlace(work, table, overwrite, *layout);
    if (outcome != Outcome::Done) {
        connectionLost_ = connectionLost_ || outcome == Outcome::TransferEnds;
        // A stop that no failure has told yet.
        if (overwrite && outcome == Outcome::Interrupted && trap_.lastFailure() == failedBefore)
            trap_.report(144, std::runtime_error("the run was stopped"));
        if (work != table)
            discard(work);
        return outcome;
    }
    notice.done();
    if (layout->typed()) {
        if (work == table)
            addKeyAndCounter(*layout, table);
        addDefinition(entry, *layout, table);
    }
    // A copy under its own name from the start (row by row) is checked where it stands.
    if (checking_ && !rowsRefused_ && !lastCheck_)
        check(entry, table, table, layout->checkedColumns());
    if (lastCheck_ && lastCheck_->exact() && !sourceMoved_) {
        prepareJournal();
        try {
            runTogether(recordStatements(entry, table, *layout));
        } catch (const std::exception&) {
            // Unrecorded, the table is named by the next refresh.
        }
    }
    return outcome;
}

void TableTransfer::addDefinition(const TableEntry& entry, const TableLayout& layout,
                                  const QString& table) {
    std::optional<SourceDefinition> definition;
    if (trap_.step(270, [&] {
            definition =
                readSourceDefinition(entry.file, table, *product_, layout.sourceFields(),
                                     layout.keyFieldCount(), layout.blankCounter(), names_);
        }))
        definitions_->addTo(std::move(*definition));
}

QStringList TableTransfer::makeRelationships() {
    // After a lost connection there is no target to make them on.
    if (!definitions_ || connectionLost_)
        return {};
    return definitions_->makeRelationships(targetNames_,
                                           [this] { return observer_.stopRequested(); });
}

void TableTransfer::takeOverRelationships(TableTransfer& other) {
    for (const QString& table : other.made_)
        if (!targetNames_.has(table))
            targetNames_.add(table);
    if (definitions_ && other.definitions_)
        definitions_->takeWaiting(*other.definitions_);
}

std::vector<DefinitionWriter::Problem> TableTransfer::takeDefinitionProblems() {
    return definitions_ ? definitions_->takeProblems() : std::vector<DefinitionWriter::Problem>{};
}

bool TableTransfer::removeLeftover(const QString& work, const QString& table) {
    if (!targetNames_.has(work))
        return true;
    return trap_.step(144, [&] {
        const QString leftover = targetNames_.spellingOf(work);
        // Without its own table, a work table with rows may be the only copy there is (a
        // replacement whose rename failed): it is left for the user.
        if (const long long rows = rowsIn(leftover); !targetNames_.has(table) && rows > 0)
            throw std::runtime_error(onlyCopyNote(leftover, table, rows).toStdString());
        runCancellable(leftover, [&] {
            target_->Execute(QStringLiteral("DROP TABLE ") + Datatype::QuotedName(leftover));
        });
        targetNames_.remove(leftover);
        observer_.targetDropped(leftover);
    });
}

long long TableTransfer::rowsIn(const QString& table) {
    const auto counted =
        target_->Query(QStringLiteral("SELECT count(*) FROM ") + Datatype::QuotedName(table),
                       {ado::ValueType::Integer});
    return counted->Eof() ? 0 : counted->Fields(0).Value().asInteger();
}

QString TableTransfer::onlyCopyNote(const QString& work, const QString& table,
                                    long long rows) const {
    return work + QStringLiteral(" holds ") + QString::number(rows) +
           QString::fromLatin1(rows == 1 ? " row" : " rows") +
           QStringLiteral(" and the target has no ") + table +
           QStringLiteral(": it may be the only copy of ") + table + QStringLiteral("; ") +
           product_->renameStatement(work, table) +
           QStringLiteral(" gives it its name, or drop it to copy the table again");
}

void TableTransfer::discard(const QString& work) {
    // A lost connection leaves the work table for the next copy of the table to remove.
    if (!created_ || !target_->isOpen())
        return;
    try {
        target_->Execute(QStringLiteral("DROP TABLE ") + Datatype::QuotedName(work));
        if (workStep_ != 0)
            journal_->markDone(std::exchange(workStep_, 0));
    } catch (const std::exception& failure) {
        if (!isConnectionFailure(std::current_exception()))
            trap_.report(144, std::runtime_error("the work table " + work.toStdString() +
                                                 " cannot be dropped: " + failure.what()));
    }
    rowsWritten_ = 0;
}

TableTransfer::Outcome TableTransfer::putInPlace(const QString& work, const QString& table,
                                                 bool overwrite, const TableLayout& layout) {
    if (observer_.stopRequested())
        return Outcome::Interrupted;
    ReferringKeys keys;
    if (overwrite && !readReferringKeys(table, work, keys))
        return failedOn(trap_.lastFailure());
    TableSwap swap(*product_, work, table, overwrite, std::move(keys), layout.sourceFields());
    TableSwap::Context context{*target_,
                               *journal_,
                               *definitions_,
                               trap_,
                               [this] { return observer_.stopRequested(); },
                               [this](const QString& waitingOn, const std::function<void()>& run) {
                                   runCancellable(waitingOn, run);
                               },
                               checking_,
                               workStep_};
    const bool placed = trap_.step(144, [&] { swap.run(context); });
    // Past the point of no return the copy is the table, whatever failed after it.
    if (swap.oldTableGone())
        created_ = false;
    workStep_ = 0;
    if (!placed)
        return observer_.stopRequested() ? Outcome::Interrupted : failedOn(trap_.lastFailure());
    if (overwrite) {
        targetNames_.remove(table);
        observer_.targetDropped(table);
    }
    announceCreated(table);
    return Outcome::Done;
}

bool TableTransfer::readReferringKeys(const QString& table, const QString& work,
                                      ReferringKeys& keys) {
    try {
        keys = ReferringKeys::to(*target_, *product_, table);
    } catch (const std::exception& failure) {
        if (isConnectionFailure(std::current_exception()))
            return trap_.step(144, [&] { std::rethrow_exception(std::current_exception()); });
        // A driver that cannot list them: the replacement goes on, and says so once.
        if (!keysUnknownTold_)
            definitions_->report(144, table,
                                 QStringLiteral("other tables' foreign keys to it "
                                                "were not looked at"),
                                 QString::fromUtf8(failure.what()));
        keysUnknownTold_ = true;
        keys = {};
    }
    // What the copy cannot take back, the old table keeps.
    return trap_.step(144, [&] {
        if (const QString obstacle = keys.obstacleIn(*target_, work); !obstacle.isEmpty())
            throw std::runtime_error(obstacle.toStdString());
    });
}

void TableTransfer::runCancellable(const QString& table, const std::function<void()>& statements) {
    mayWait(true);
    try {
        statements();
    } catch (const std::exception&) {
        mayWait(false);
        if (observer_.stopRequested())
            throw std::runtime_error("stopped while waiting for " + table.toStdString() +
                                     "'s lock");
        throw;
    }
    mayWait(false);
}

void TableTransfer::mayWait(bool waits) {
    observer_.statementMayWait(waits);
}

TableTransfer::SourceScan TableTransfer::scanSource(const TableEntry& entry,
                                                    const TableLayout& layout) {
    SourceScan scan;
    ado::RecordSet source;
    source.OpenTable(entry.file, *paradox_);
    const std::optional<size_t> autoInc =
        layout.typed() ? layout.autoIncrementColumn() : std::nullopt;
    for (; !source.Eof(); source.MoveNext()) {
        if (!autoInc)
            continue;
        const ado::Variant& value = source.CurrentRow()[*autoInc];
        if (value.isNull())
            scan.blankCounter = true;
        else
            scan.highestCounter = std::max<long long>(scan.highestCounter, value.asInteger());
    }
    return scan;
}

void TableTransfer::addKeyAndCounter(const TableLayout& layout, const QString& table) {
    // Once the rows are in, so that rows that break the key still arrive; a key that cannot be
    // made leaves the table as it is, and is reported.
    keyMade_ = trap_.step(266, [&] {
        if (const QString blanks = layout.blankKeyCount(table); !blanks.isEmpty()) {
            const auto counted = target_->Query(blanks, {ado::ValueType::Integer});
            if (const long long rows = counted->Fields(0).Value().asInteger(); rows > 0)
                throw std::runtime_error("its key cannot be made: " + std::to_string(rows) +
                                         (rows == 1 ? " row has" : " rows have") +
                                         " a blank in a key field");
        }
        runTogether(layout.keyStatements(table));
    });
    keyMade_ = moveCounter(layout, table) && keyMade_;
}

bool TableTransfer::moveCounter(const TableLayout& layout, const QString& table) {
    const std::optional<size_t> autoInc = layout.autoIncrementColumn();
    if (!autoInc)
        return true;
    return trap_.step(267, [&] {
        // Above every copied value and above the last value the Paradox table handed out.
        const QString column = layout.checkedColumns()[*autoInc].name;
        const auto highest =
            target_->Query(QStringLiteral("SELECT max(") + Datatype::QuotedName(column) +
                               QStringLiteral(") FROM ") + Datatype::QuotedName(table),
                           {ado::ValueType::Integer});
        long long above = layout.lastAutoIncrement();
        if (!highest->Eof() && !highest->Fields(0).Value().isNull())
            above = std::max<long long>(above, highest->Fields(0).Value().asInteger());
        runTogether(layout.counterStatements(table, above));
    });
}

void TableTransfer::runTogether(const QStringList& statements) {
    ::runTogether(*target_, statements);
}

TableTransfer::Outcome TableTransfer::copyInTransaction(ado::RecordSet& source,
                                                        const TableLayout& layout,
                                                        const QString& table) {
    // The product's own load commits its rows on its own session, whole or not at all; its
    // work table, committed first, is dropped after a failure as where definitions commit.
    loading_ = load_ && load_->loads(layout.parameterTypes());
    if (loading_) {
        const Outcome outcome = copyInto(source, layout, table);
        if (outcome != Outcome::Done)
            rowsWritten_ = 0;
        return outcome;
    }
    if (!trap_.step(140, [&] { target_->BeginTrans(); })) {
        finishTable(source);
        return failedOn(trap_.lastFailure());
    }
    const Outcome outcome = copyInto(source, layout, table);
    if (outcome == Outcome::Done && trap_.step(264, [&] { target_->CommitTrans(); }))
        return Outcome::Done;
    // A table that failed leaves the target as it was.
    try {
        target_->RollbackTrans();
    } catch (const std::exception&) {
    }
    // The rollback takes the new table back only where definitions are part of a transaction.
    if (!product_->ddlCommits())
        created_ = false;
    rowsWritten_ = 0;
    return outcome == Outcome::Done ? failedOn(trap_.lastFailure()) : outcome;
}

bool TableTransfer::check(const TableEntry& entry, const QString& table, const QString& readFrom,
                          const std::vector<CheckedColumn>& columns) {
    return trap_.step(
               268,
               [&] {
                   // Off the window's thread: reading a large table back takes a while.
                   RunLettingEventsRun([&] {
                       try {
                           lastCheck_ =
                               TableCheck::run(*target_, *product_, *paradox_, entry.file, readFrom,
                                               columns, [&] { return observer_.stopRequested(); });
                       } catch (const std::exception& failure) {
                           // A check that cannot be made leaves the table unverified, and says why.
                           lastCheck_ =
                               TableCheck::Result::notVerified(QString::fromUtf8(failure.what()));
                       }
                   });
                   // A difference is the server's only when the source stood still; a check that a
                   // stop ended is the stop's to tell.
                   if (!lastCheck_->exact() && !sourceChanged() && !observer_.stopRequested())
                       throw std::runtime_error(lastCheck_->describe(table, 3).toStdString());
               }) &&
           !sourceMoved_ && lastCheck_->exact();
}

bool TableTransfer::readyToWrite(const TableEntry& entry, const QString& table,
                                 ado::RecordSet& source, std::optional<TableLayout>& layout) {
    // Opening walks the whole table file, which takes a while for a large one on a cold disk.
    if (!readStep(148,
                  [&] { RunLettingEventsRun([&] { source.OpenTable(entry.file, *paradox_); }); }) ||
        !trap_.step(156,
                    [&] {
                        layout.emplace(source, *product_, typed_ ? &*typed_ : nullptr, names_);
                        layout->castColumns(casts_, entry.name);
                    }) ||
        !namesFit(*layout, table))
        return false;
    // Where a blank AutoInc value decides its column, the source is read through first. An
    // overwrite needs no such reading: a source that fails part-way fails its work table only.
    if (!(layout->typed() && layout->autoIncrementColumn()))
        return true;
    SourceScan scan;
    if (!readStep(232, [&] { RunLettingEventsRun([&] { scan = scanSource(entry, *layout); }); }))
        return false;
    if (scan.blankCounter)
        layout->counterMayBeBlank();
    return true;
}

bool TableTransfer::namesFit(const TableLayout& layout, const QString& table) {
    // A name the target would cut, or refuse, is refused before anything is written.
    return trap_.step(210, [&] {
        const ado::DataSourceInfo& info = product_->info();
        QString refusal =
            product_->nameTooLong(QStringLiteral("table"), table, info.maxTableNameLength);
        for (const CheckedColumn& column : layout.checkedColumns())
            if (refusal.isEmpty())
                refusal = product_->nameTooLong(QStringLiteral("column"), column.name,
                                                info.maxColumnNameLength);
        if (!refusal.isEmpty())
            throw std::runtime_error(refusal.toStdString());
    });
}

TableTransfer::Outcome TableTransfer::copyInto(ado::RecordSet& source, const TableLayout& layout,
                                               const QString& table) {
    Outcome outcome = createTable(layout, table);
    if (outcome == Outcome::Done)
        outcome = mode_ == Mode::Fast ? copyRowsInBulk(source, layout, table)
                                      : copyRows(source, layout, table);
    finishTable(source);
    return outcome;
}

std::unique_ptr<ado::InsertStatement> TableTransfer::prepareRows(const TableLayout& layout,
                                                                 const QString& table) {
    if (loading_) {
        try {
            return load_->load(Datatype::QuotedName(table), layout.parameterTypes());
        } catch (const ado::BulkLoadRefused& refused) {
            if (refused.isConnectionFailure())
                throw;
            // Refused before it read a row: this table's rows, and the next tables', go as
            // inserts. This table's stay outside a transaction, as the load's would have: its
            // work table is dropped after a failure.
            loadRefusal_ =
                QStringLiteral("%1's %2 was refused (%3): the rows go as batched inserts")
                    .arg(product_->displayName(), load_->name(),
                         QString::fromUtf8(refused.what()).trimmed());
            load_.reset();
        }
    }
    return prepareInsert(*target_, layout, table, ado::Batching::Batched);
}

TableTransfer::Outcome TableTransfer::copyRowsInBulk(ado::RecordSet& source,
                                                     const TableLayout& layout,
                                                     const QString& table) {
    long long rows = 0;
    if (!trap_.step(218, [&] { sourceRows_ = rows = source.RecordCount(); }))
        return Outcome::Skipped;
    const int columns = source.FieldCount();
    std::unique_ptr<ado::InsertStatement> insert;
    // A load given up part-way waits for the server to end it: the window goes on meanwhile,
    // and can offer to end the program where the server does not answer.
    struct Release {
        std::unique_ptr<ado::InsertStatement>& insert;
        ~Release() {
            RunLettingEventsRun([this] { insert.reset(); });
        }
    } release{insert};
    // The first failure ends the table: its transaction is rolled back whole.
    if (!trap_.step(252, [&] { insert = prepareRows(layout, table); }))
        return failedOn(trap_.lastFailure());
    // The rows go to the connection's thread in chunks while the next ones are read, so that
    // neither side waits for the other and the window keeps handling its events. The first
    // failure ends the table: its transaction is rolled back whole.
    const auto ended = [&](Outcome outcome) {
        target_->Cancel(LetEventsRunNow);
        return outcome;
    };
    const auto sentSoFar = [&] {
        const std::exception_ptr failure = target_->TakeExecutionFailure();
        return !failure || trap_.step(252, [&] { std::rethrow_exception(failure); });
    };
    const auto stopped = [this] { return observer_.stopRequested(); };
    ado::Connection::Rows chunk;
    size_t chunkBytes = 0;
    for (long long row = 0; row < rows; ++row) {
        LetEventsRun();
        if (observer_.stopRequested())
            return ended(Outcome::Interrupted);
        observer_.rowStarting(row, rows);
        std::vector<ado::Variant> values(static_cast<size_t>(columns));
        if (!readStep(232, [&] {
                for (int column = 0; column < columns; ++column)
                    values[static_cast<size_t>(column)] = source.Fields(column).Value();
            }))
            return ended(Outcome::Skipped);
        chunkBytes += ado::bytesHeldBy(values);
        chunk.push_back(std::move(values));
        if (chunk.size() == kChunkRows || chunkBytes >= kChunkBytes || row + 1 == rows) {
            if (!sentSoFar())
                return ended(failedOn(trap_.lastFailure()));
            if (!target_->InsertAsync(*insert, std::exchange(chunk, {}), LetEventsRunNow, stopped))
                return ended(Outcome::Interrupted);
            chunkBytes = 0;
        }
        if (!readStep(254, [&] { source.MoveNext(); }))
            return ended(Outcome::Skipped);
    }
    target_->FlushAsync(*insert, LetEventsRunNow);
    target_->WaitForExecution(LetEventsRunNow);
    if (!sentSoFar())
        return ended(failedOn(trap_.lastFailure()));
    rowsWritten_ = insert->rowsWritten();
    // A stop asked for while the last rows were on their way still rolls the table back.
    return observer_.stopRequested() ? Outcome::Interrupted : Outcome::Done;
}
