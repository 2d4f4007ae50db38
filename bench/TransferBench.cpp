// The transfer of a generated table of 200,000 rows through the tables screen into SQLite (WAL,
// synchronous NORMAL) and PostgreSQL, beside a bare loop that runs the same prepared insert
// through the same driver with no screen: one execution per row is the physical limit.
#include <QApplication>
#include <QLineEdit>

#include <algorithm>
#include <cstdio>

#include "../tests/support/Databases.h"
#include "../tests/support/TablesScreen.h"
#include "BenchTable.h"
#include "Measure.h"
#include "PrivateHome.h"
#include "ado/Connection.h"
#include "data/Datatype.h"
#include "data/ParadoxModule.h"
#include "operations/TableCheck.h"
#include "operations/TableLayout.h"
#include "paradox/Table.h"

using px::Value;

namespace {

constexpr int kRows = 200000;

// The create statement and the rows the transfer sends, read before the clock starts.
struct Statements {
    QString create;
    QString insertRow;
    std::vector<ado::ParameterType> types;
    std::vector<std::vector<Value>> rows;
};

Statements statementsFor(const std::string& path, const QString& table) {
    px::Table source(path);
    Statements made;
    QString columns;
    made.insertRow = "(";
    for (const px::Field& field : source.fields()) {
        columns += Datatype::ColumnDefinition(QString::fromStdString(field.name), field.adoType());
        const bool numeric =
            Datatype::TargetTypeWord(Datatype::DataTypeName(field.adoType())) == "NUMERIC";
        made.insertRow += QString(made.insertRow.size() > 1 ? ", " : "") + "?";
        made.types.push_back(numeric ? ado::ParameterType::decimalAsWritten()
                                     : ado::ParameterType(ado::ValueType::Text));
    }
    columns.chop(1);
    made.insertRow += ")";
    made.create = "CREATE TABLE " + Datatype::QuotedName(table) + "(" + columns + ");";
    std::vector<Value> row;
    while (source.next(row))
        made.rows.push_back(row);
    return made;
}

// The same prepared insert run once per row, with no screen, no queue and no thread.
long long bareLoop(const QString& dsn, const QString& table, const Statements& statements) {
    ado::Connection connection;
    connection.Open("Data Source=" + dsn);
    connection.Execute(statements.create);
    const auto insert =
        connection.PrepareInsert("INSERT INTO " + Datatype::QuotedName(table) + " VALUES",
                                 statements.insertRow, statements.types, ado::Batching::RowByRow);
    for (const std::vector<Value>& row : statements.rows)
        insert->addRow(row);
    return insert->rowsWritten();
}

long long throughTheScreen(const QString& dsn, const std::string& folder, const QString& table,
                           int rows) {
    TablesScreen screen(dsn);
    screen.form1->Text1->setText(QString::fromStdString(folder));
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {table});
    screen.form2().PushButton4_Click();
    return screen.test.dialogs.calls().empty() ? rows : -1;
}

void report(const char* database, const Measurement& screen, const Measurement& bare,
            const Measurement& check) {
    std::printf("%s:\n", database);
    std::printf("  through the tables screen: %9.0f rows/s, peak memory %ld KiB\n",
                screen.perSecond(), screen.peakKiB);
    std::printf("  bare statement loop:       %9.0f rows/s, peak memory %ld KiB\n",
                bare.perSecond(), bare.peakKiB);
    std::printf("  of the screen's time, the check of the copied table: %.2f s\n", check.seconds);
    std::printf("  time ratio (screen without its check / bare loop): %.3f  (goal: at most 1.05)\n",
                (screen.seconds - check.seconds) / bare.seconds);
    std::printf("  time ratio (screen with its check / bare loop): %.3f\n",
                screen.seconds / bare.seconds);
}

// The check the screen makes of a table it copied, alone.
long long checkOf(const QString& dsn, const std::string& folder, const QString& table) {
    ado::Connection target, paradox;
    target.Open("Data Source=" + dsn);
    paradox.Open(Paradox::ParadoxConnectionString(QString::fromStdString(folder)));
    const std::vector<CheckedColumn> columns = [&] {
        ado::RecordSet source;
        source.OpenTable(QString::fromStdString(folder) + "/" + table + ".db", paradox);
        return TableLayout(source, *TargetProduct::of(target), nullptr, NameRule())
            .checkedColumns();
    }();
    const TableCheck::Result result =
        TableCheck::run(target, *TargetProduct::of(target), paradox,
                        QString::fromStdString(folder) + "/" + table + ".db", table, columns);
    return result.exact() ? result.rowsStored : -1;
}

}  // namespace

int main(int argc, char** argv) {
    PrivateHome home;
    QApplication application(argc, argv);

    TempDir folder;
    writeBenchTable(folder.file("BIG.db"), kRows);
    writeBenchTable(folder.file("QUARTER.db"), kRows / 4);

    for (const bool postgres : {false, true}) {
        const char* name =
            postgres ? "PostgreSQL 15 (psqlODBC)" : "SQLite (WAL, synchronous NORMAL)";
        const auto fresh = [&] {
            return postgres ? TestDatabases::newPostgresDsn() : TestDatabases::newSqliteDsn();
        };
        if (fresh().isEmpty()) {
            std::printf("%s: not installed, skipped\n", name);
            continue;
        }
        // Alternate the two, so that both see the same machine.
        std::vector<Measurement> screenRuns, bareRuns, checkRuns;
        for (int run = 0; run < 3; ++run) {
            const QString a = fresh(), b = fresh();
            screenRuns.push_back(
                measureInChild([&] { return throughTheScreen(a, folder.path(), "BIG", kRows); }));
            // The screen checks every table it copied: that check alone, on the table it made.
            checkRuns.push_back(measureInChild([&] { return checkOf(a, folder.path(), "BIG"); }));
            Statements statements;
            bareRuns.push_back(
                measureInChild([&] { return bareLoop(b, "BIG", statements); },
                               [&] { statements = statementsFor(folder.file("BIG.db"), "BIG"); }));
        }
        const auto median = [](std::vector<Measurement> runs) {
            std::sort(runs.begin(), runs.end(), [](const Measurement& x, const Measurement& y) {
                return x.seconds < y.seconds;
            });
            return runs[runs.size() / 2];
        };
        const Measurement screen = median(screenRuns), bare = median(bareRuns),
                          check = median(checkRuns);
        if (screen.items != kRows || bare.items != kRows) {
            std::fprintf(stderr, "%s: a run did not send every row\n", name);
            return 1;
        }
        report(name, screen, bare, check);
        if (!postgres) {
            const QString c = fresh();
            const Measurement quarter = measureInChild(
                [&] { return throughTheScreen(c, folder.path(), "QUARTER", kRows / 4); });
            std::printf(
                "  peak memory of the screen at 50,000 rows %ld KiB, at 200,000 rows %ld "
                "KiB: ratio %.2f (goal: no growth, 1.00)\n",
                quarter.peakKiB, screen.peakKiB, double(screen.peakKiB) / double(quarter.peakKiB));
        }
    }
    return 0;
}
