// "Send Table/s To Sybase iAny": copies the selected Paradox tables, structure and rows, into the
// target database, one statement per row, with no transaction.
#include <QString>

#include "ado/Connection.h"
#include "ado/DataSourceError.h"
#include "app/ErrorTrap.h"
#include "app/EventPump.h"
#include "app/Form1.h"
#include "app/ListNames.h"
#include "app/Runtime.h"
#include "data/Datatype.h"
#include "data/ParadoxModule.h"
#include "data/SybaseModule.h"
#include "tables/Form2.h"
#include "ui/Dialogs.h"
#include "ui/ProgressBar.h"
#include "ui/TableList.h"

namespace {

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

enum class TableOutcome { Done, Skipped, TransferEnds };

class TableTransfer {
  public:
    TableTransfer(Form2& form, Dialogs& dialogs, ErrorTrap& trap, ado::Connection& paradox,
                  ado::Connection& target, const QString& paradoxFolder)
        : form_(form),
          dialogs_(dialogs),
          trap_(trap),
          paradox_(paradox),
          target_(target),
          paradoxFolder_(paradoxFolder) {}

    TableOutcome copy(int entry);

  private:
    bool askToOverwrite(QString& table, bool& overwrite);
    TableOutcome createTable(ado::RecordSet& source, const QString& table);
    TableOutcome copyRows(ado::RecordSet& source, const QString& table);
    // Reports the inserts that failed; false when the connection was lost.
    bool tellFailedInserts();
    // The same once every queued insert has run.
    bool finishInserts();
    // Every table that was begun ends with the default pointer and an empty progress bar.
    void resetProgress();
    void finishTable(ado::RecordSet& source, const QString& table, bool created);
    TableOutcome failedOn(const std::exception_ptr& failure) {
        return isConnectionFailure(failure) ? TableOutcome::TransferEnds : TableOutcome::Skipped;
    }

    Form2& form_;
    Dialogs& dialogs_;
    ErrorTrap& trap_;
    ado::Connection& paradox_;
    ado::Connection& target_;
    QString paradoxFolder_;
};

bool TableTransfer::askToOverwrite(QString& table, bool& overwrite) {
    overwrite = false;
    if (!trap_.test(134, [&] { return Main::ListHasName(*form_.List1, table); }))
        return true;
    // The target's own spelling of the name is used from here on; the last one wins.
    for (int i = 0; i < form_.List1->count(); ++i)
        if (form_.List1->entryText(i).toLower() == table.toLower())
            table = form_.List1->entryText(i);
    bool yes = false;
    trap_.step(136, [&] {
        yes = dialogs_.question(
            &form_, QStringLiteral("Would you like to overwrite ") + table + QLatin1Char('?'),
            QStringLiteral("Overwrite?"));
    });
    overwrite = yes;
    return yes;
}

TableOutcome TableTransfer::createTable(ado::RecordSet& source, const QString& table) {
    QString definitions;
    const bool described = trap_.step(158, [&] {
        for (int column = 0; column < source.FieldCount(); ++column) {
            LetEventsRun();
            const ado::Field field = source.Fields(column);
            definitions += Datatype::ColumnDefinition(field.name(), field.Type());
        }
    });
    if (!described)
        return TableOutcome::Skipped;
    definitions.chop(1);
    const QString create = QStringLiteral("CREATE TABLE ") + Datatype::QuotedName(table) +
                           QLatin1Char('(') + definitions + QStringLiteral(");");
    // Rows go only into a table this transfer has just created.
    if (!trap_.step(210, [&] { target_.Execute(create); }))
        return failedOn(trap_.lastFailure());
    return TableOutcome::Done;
}

TableOutcome TableTransfer::copyRows(ado::RecordSet& source, const QString& table) {
    long long rows = 0;
    if (!trap_.step(218, [&] { rows = source.RecordCount(); }))
        return TableOutcome::Skipped;
    const std::string prefix =
        (QStringLiteral("INSERT INTO ") + Datatype::QuotedName(table) + QStringLiteral(" VALUES("))
            .toStdString();
    const int columns = source.FieldCount();
    size_t lastLength = prefix.size();  // rows of a table are much alike: one allocation each
    // The inserts run on the connection's own thread while the next rows are read, so that a
    // slow statement never holds up the window; each failure is told before the next row.
    for (long long row = 0; row < rows; ++row) {
        LetEventsRun();
        form_.ProgressBar1->setPercent(double(row + 1) / double(rows) * 100.0);
        std::string statement = prefix;
        statement.reserve(lastLength);
        const bool built = trap_.step(232, [&] {
            for (int column = 0; column < columns; ++column) {
                LetEventsRun();
                if (column > 0)
                    statement += ", ";
                source.Fields(column).Value().appendSqlItem(statement);
            }
        });
        if (!built)
            return finishInserts() ? TableOutcome::Skipped : TableOutcome::TransferEnds;
        statement += ')';
        lastLength = statement.size();
        if (!tellFailedInserts())
            return TableOutcome::TransferEnds;
        target_.ExecuteUtf8Async(std::move(statement), LetEventsRunNow);
        // A table that cannot be read on is reported once, and the next table follows.
        if (!trap_.step(254, [&] { source.MoveNext(); }))
            return finishInserts() ? TableOutcome::Skipped : TableOutcome::TransferEnds;
    }
    return finishInserts() ? TableOutcome::Done : TableOutcome::TransferEnds;
}

bool TableTransfer::tellFailedInserts() {
    // A rejected row loses that row only; a lost connection ends the transfer.
    while (const std::exception_ptr failure = target_.TakeExecutionFailure()) {
        trap_.step(252, [&] { std::rethrow_exception(failure); });
        if (isConnectionFailure(failure)) {
            target_.Cancel();
            return false;
        }
    }
    return true;
}

bool TableTransfer::finishInserts() {
    do {
        target_.WaitForExecution(LetEventsRunNow);
        if (!tellFailedInserts())
            return false;
    } while (target_.isExecuting());
    return true;
}

void TableTransfer::resetProgress() {
    form_.MousePointer.set(ScreenPointer::Default);
    form_.ProgressBar1->setPercent(0);
    form_.ProgressBar1->setCaption(QStringLiteral("Progress Bar"));
}

void TableTransfer::finishTable(ado::RecordSet& source, const QString& table, bool created) {
    resetProgress();
    trap_.step(260, [&] { source.Close(); });
    if (created)
        trap_.step(262, [&] { form_.List1->addEntry(table); });
}

TableOutcome TableTransfer::copy(int entry) {
    QString table = form_.List2->entryText(entry);
    const QString file = form_.List2->entryData(entry);
    bool overwrite = false;
    if (!askToOverwrite(table, overwrite))
        return TableOutcome::Skipped;
    if (overwrite) {
        // A table that could not be dropped is left alone: no rows are added to it.
        if (!trap_.step(144, [&] {
                target_.Execute(QStringLiteral("DROP TABLE ") + Datatype::QuotedName(table));
            })) {
            resetProgress();
            return failedOn(trap_.lastFailure());
        }
        Main::RemoveListName(*form_.List1, table);
    }
    ado::RecordSet source;
    // Opening walks the whole table file, which takes a while for a large one on a cold disk.
    if (!trap_.step(148, [&] {
            RunLettingEventsRun(
                [&] { source.Open(Paradox::SourceQuery(table, file, paradoxFolder_), paradox_); });
        })) {
        resetProgress();
        return TableOutcome::Skipped;
    }
    TableOutcome outcome = createTable(source, table);
    const bool created = outcome == TableOutcome::Done;
    if (created)
        outcome = copyRows(source, table);
    finishTable(source, table, created);
    return outcome;
}

}  // namespace

void Form2::PushButton4_Click() {
    OperationScope operation(*this);
    if (!operation.started())
        return;
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.PushButton4_Click"));
    if (trap.test(100, [&] { return List2->listIndex() == -1; })) {
        trap.step(102, [&] {
            runtime_.dialogs.message(this, QStringLiteral("Please select a table to send."));
        });
        return;
    }
    MousePointer.set(ScreenPointer::Hourglass);
    const QString folder = form1_.paradoxFolder();
    ado::Connection paradox;
    ado::Connection target;
    // Without both connections there is nothing to copy: one report, and the transfer ends.
    const bool connected = trap.step(114, [&] {
        paradox.CursorLocation = ado::Connection::adUseClient;
        paradox.Open(Paradox::ParadoxConnectionString(folder));
    }) && trap.step(118, [&] {
        target.CursorLocation = ado::Connection::adUseServer;
        target.Open(Sybase::DsnConnectionString(form1_.dataSourceName()));
    });
    if (connected) {
        TableTransfer transfer(*this, runtime_.dialogs, trap, paradox, target, folder);
        for (int entry = List2->count() - 1; entry >= 0; --entry) {
            if (!trap.test(130, [&] { return List2->isEntrySelected(entry); }))
                continue;
            if (transfer.copy(entry) == TableOutcome::TransferEnds)
                break;
        }
    }
    MousePointer.set(ScreenPointer::Default);
    trap.step(274, [&] { target.Close(); });
    trap.step(276, [&] { paradox.Close(); });
}
