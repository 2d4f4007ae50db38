// morvane-transfer run as a user runs it: the built program against real SQLite and PostgreSQL
// data sources and real Paradox tables, its exit status, its output on a terminal and off it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <filesystem>

#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

const std::vector<px::Field> kFields = {{"ID", FieldType::Long, 4, 0},
                                        {"NAME", FieldType::Alpha, 20, 0},
                                        {"AMOUNT", FieldType::Number, 8, 0}};

void writeTable(const std::string& path, int rows) {
    std::vector<std::vector<Value>> values;
    for (int i = 0; i < rows; ++i)
        values.push_back({Value::integer(i),
                          i % 3 ? Value::text("it's " + std::to_string(i)) : Value(),
                          Value::real(i * 0.5)});
    pxfixture::writeTable(path, {12, 2, 1252, kFields}, values);
}

QStringList sortedRows(const QString& dsn, const QString& table) {
    QStringList rows;
    for (const QStringList& row : queryRows(dsn, "SELECT * FROM \"" + table + "\""))
        rows << row.join('|');
    rows.sort();
    return rows;
}

QString count(const QString& dsn, const QString& table) {
    return queryRows(dsn, "SELECT count(*) FROM \"" + table + "\"")[0][0];
}

class Command : public ::testing::Test {
  protected:
    void SetUp() override {
        writeTable(folder.file("orders.db"), 30);
        std::filesystem::create_directories(folder.file("sub"));
        writeTable(folder.file("sub/Customers.DB"), 7);
    }
    QString path() const { return QString::fromStdString(folder.path()); }

    TempDir folder;
    QString dsn = TestDatabases::newSqliteDsn();
};

}  // namespace

TEST_F(Command, ExitStatusTwoWritesNothing) {
    EXPECT_EQ(transfer({}).status, 2);
    EXPECT_EQ(transfer({"--no-such-option", path(), dsn}).status, 2);
    EXPECT_TRUE(transfer({"--jobs", "0", path(), dsn})
                    .err.contains("--jobs takes a whole number from 1, not 0"));
    EXPECT_TRUE(transfer({"--jobs", "2", "--refresh", path(), dsn})
                    .err.contains("--jobs: a refresh writes its tables together"));
    TempDir empty;
    const TransferRun noTables = transfer({QString::fromStdString(empty.path()), dsn});
    EXPECT_EQ(noTables.status, 2);
    EXPECT_TRUE(noTables.err.contains("no Paradox tables in")) << noTables.err.toStdString();
    const TransferRun noSource = transfer({path(), "NoSuchDsnAnywhere"});
    EXPECT_EQ(noSource.status, 2);
    EXPECT_TRUE(noSource.err.contains("NoSuchDsnAnywhere cannot be opened"))
        << noSource.err.toStdString();
    const TransferRun unknown = transfer({path(), dsn, "ORDERS", "Missing"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains("has no table Missing")) << unknown.err.toStdString();
    EXPECT_TRUE(queryRows(dsn, "SELECT name FROM sqlite_master").empty());

    const TransferRun list = transfer({"--list", path(), dsn});
    EXPECT_EQ(list.status, 0);
    EXPECT_TRUE(list.out.contains("CUSTOMERS\t" + path() + "/sub/Customers.DB"))
        << list.out.toStdString();
    EXPECT_TRUE(list.out.contains("ORDERS\t" + path() + "/orders.db"));
    EXPECT_EQ(transfer({"--version"}).out, "morvane-transfer 1.0.0\n");
}

// An existing target table stops the run before anything is written, unless the command line
// says what to do with it.
TEST_F(Command, ExistingTablesAreMetThreeWays) {
    ASSERT_EQ(transfer({"--quiet", path(), dsn, "orders"}).status, 0);
    EXPECT_EQ(count(dsn, "ORDERS"), "30");
    TestDatabases::execute(dsn, R"(INSERT INTO "ORDERS" VALUES('999', 'marker', NULL))");

    const TransferRun stopped = transfer({path(), dsn});
    EXPECT_EQ(stopped.status, 2);
    EXPECT_TRUE(stopped.err.contains("these tables exist in " + dsn + ": ORDERS"))
        << stopped.err.toStdString();
    EXPECT_EQ(tablesOf(dsn), QStringList{"ORDERS"});

    ASSERT_EQ(transfer({"--skip-existing", path(), dsn}).status, 0);
    EXPECT_EQ(count(dsn, "ORDERS"), "31");
    EXPECT_EQ(count(dsn, "CUSTOMERS"), "7");

    const TransferRun overwritten = transfer({"--overwrite", "--fast", path(), dsn, "ORDERS"});
    ASSERT_EQ(overwritten.status, 0) << overwritten.err.toStdString();
    EXPECT_EQ(count(dsn, "ORDERS"), "30");
}

TEST_F(Command, ADamagedTableInABatchFailsAloneAndIsNamedInTheSummary) {
    writeTable(folder.file("broken.db"), 500);
    std::filesystem::resize_file(folder.file("broken.db"), 2048 + 3000);
    const TransferRun run = transfer({path(), dsn});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(count(dsn, "ORDERS"), "30");
    EXPECT_EQ(count(dsn, "CUSTOMERS"), "7");
    EXPECT_TRUE(run.err.contains("Copied 2 of 3 tables, 1 failed, 37 rows"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QRegularExpression(
        "\nFailed: BROKEN: .*broken\\.db is cut short: record \\d+ of the \\d+ in data block")))
        << run.err.toStdString();
}

TEST_F(Command, ProgressOnATerminalUpdatesInPlaceAndOffItIsOneLinePerTable) {
    const TransferRun terminal = transferOnATerminal({path(), dsn});
    EXPECT_EQ(terminal.status, 0);
    EXPECT_TRUE(terminal.err.contains("\r\033[KORDERS (table 2 of 2): "))
        << terminal.err.toStdString();
    EXPECT_TRUE(terminal.err.contains("rows/s"));

    const TransferRun piped = transfer({"--overwrite", path(), dsn});
    EXPECT_EQ(piped.status, 0);
    EXPECT_FALSE(piped.err.contains('\r'));
    const QStringList lines = piped.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << piped.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith("CUSTOMERS (table 1 of 2): 7 of 7 rows, 100%, "));
    EXPECT_TRUE(lines[0].endsWith(" s, verified"));
    EXPECT_TRUE(lines[1].startsWith("ORDERS (table 2 of 2): 30 of 30 rows, 100%, "));
    EXPECT_TRUE(lines[2].startsWith("Copied 2 of 2 tables, 37 rows, in "));

    const TransferRun quiet = transfer({"--overwrite", "--quiet", path(), dsn});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

// A table per transaction gives the target what the screen's statements give it; a table one
// of whose rows the target refuses is rolled back whole, and the next table follows.
TEST(FastCommand, CorpusTablesArriveAsRowByRowAndARejectedRowRollsBackItsTable) {
    const QString plain = TestDatabases::newPostgresDsn(), fast = TestDatabases::newPostgresDsn();
    if (plain.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    const QString corpus = QDir::cleanPath(QStringLiteral(MORVANE_CORPUS) + "/db");
    if (!QFileInfo(corpus).isDir())
        GTEST_SKIP() << "no corpus";
    const TransferRun statements = transfer({"--quiet", "--row-by-row", corpus, plain});
    ASSERT_EQ(statements.status, 0) << statements.err.toStdString();
    const TransferRun bulk = transfer({"--quiet", corpus, fast});
    ASSERT_EQ(bulk.status, 0) << bulk.err.toStdString();
    const QStringList tables = tablesOf(plain);
    ASSERT_GE(tables.size(), 10u);
    for (const QString& table : tables)
        EXPECT_EQ(sortedRows(fast, table), sortedRows(plain, table)) << table.toStdString();

    const QString target = TestDatabases::newPostgresDsn();
    TestDatabases::onEveryNewTable(target, "refuse_one",
                                   R"(ALTER TABLE %s ADD CHECK ("ID" <> 1500))");
    TempDir folder;
    writeTable(folder.file("big.db"), 3000);
    writeTable(folder.file("small.db"), 10);
    const TransferRun run = transfer({QString::fromStdString(folder.path()), target});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("Failed: BIG: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("check constraint")) << run.err.toStdString();
    EXPECT_EQ(count(target, "SMALL"), "10");
    EXPECT_TRUE(
        queryRows(target, "SELECT 1 FROM information_schema.tables WHERE table_name = 'BIG'")
            .empty());
}
