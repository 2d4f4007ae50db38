// morvane-transfer run as a user runs it: the built program against real SQLite and PostgreSQL
// data sources and real Paradox tables, its exit status, its output on a terminal and off it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"

using px::FieldType;
using px::Value;

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome transfer(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(MORVANE_TRANSFER), arguments);
    process.waitForFinished(300000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The same with standard error (and output) on a pseudo-terminal.
Outcome transferOnATerminal(const QStringList& arguments) {
    std::vector<std::string> words{MORVANE_TRANSFER};
    for (const QString& argument : arguments)
        words.push_back(argument.toStdString());
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Outcome run;
    std::string seen;
    char buffer[4096];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<size_t>(got));
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = QString::fromStdString(seen);
    return run;
}

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
    TempDir empty;
    const Outcome noTables = transfer({QString::fromStdString(empty.path()), dsn});
    EXPECT_EQ(noTables.status, 2);
    EXPECT_TRUE(noTables.err.contains("no Paradox tables in")) << noTables.err.toStdString();
    const Outcome noSource = transfer({path(), "NoSuchDsnAnywhere"});
    EXPECT_EQ(noSource.status, 2);
    EXPECT_TRUE(noSource.err.contains("NoSuchDsnAnywhere cannot be opened"))
        << noSource.err.toStdString();
    const Outcome unknown = transfer({path(), dsn, "ORDERS", "Missing"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains("has no table Missing")) << unknown.err.toStdString();
    EXPECT_TRUE(queryRows(dsn, "SELECT name FROM sqlite_master").empty());

    const Outcome list = transfer({"--list", path(), dsn});
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

    const Outcome stopped = transfer({path(), dsn});
    EXPECT_EQ(stopped.status, 2);
    EXPECT_TRUE(stopped.err.contains("these tables exist in " + dsn + ": ORDERS"))
        << stopped.err.toStdString();
    EXPECT_EQ(queryRows(dsn, "SELECT name FROM sqlite_master").size(), 1u);

    ASSERT_EQ(transfer({"--skip-existing", path(), dsn}).status, 0);
    EXPECT_EQ(count(dsn, "ORDERS"), "31");
    EXPECT_EQ(count(dsn, "CUSTOMERS"), "7");

    const Outcome overwritten = transfer({"--overwrite", "--fast", path(), dsn, "ORDERS"});
    ASSERT_EQ(overwritten.status, 0) << overwritten.err.toStdString();
    EXPECT_EQ(count(dsn, "ORDERS"), "30");
}

TEST_F(Command, ADamagedTableInABatchFailsAloneAndIsNamedInTheSummary) {
    writeTable(folder.file("broken.db"), 500);
    std::filesystem::resize_file(folder.file("broken.db"), 2048 + 3000);
    const Outcome run = transfer({path(), dsn});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(count(dsn, "ORDERS"), "30");
    EXPECT_EQ(count(dsn, "CUSTOMERS"), "7");
    EXPECT_TRUE(run.err.contains("Copied 2 of 3 tables, 37 rows")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QRegularExpression(
        "\nFailed: BROKEN: .*broken\\.db is cut short: record \\d+ of the \\d+ in data block")))
        << run.err.toStdString();
}

TEST_F(Command, ProgressOnATerminalUpdatesInPlaceAndOffItIsOneLinePerTable) {
    const Outcome terminal = transferOnATerminal({path(), dsn});
    EXPECT_EQ(terminal.status, 0);
    EXPECT_TRUE(terminal.err.contains("\r\033[KORDERS: ")) << terminal.err.toStdString();
    EXPECT_TRUE(terminal.err.contains("rows/s"));

    const Outcome piped = transfer({"--overwrite", path(), dsn});
    EXPECT_EQ(piped.status, 0);
    EXPECT_FALSE(piped.err.contains('\r'));
    const QStringList lines = piped.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << piped.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith("CUSTOMERS: 7 of 7 rows, 100%, "));
    EXPECT_TRUE(lines[1].startsWith("ORDERS: 30 of 30 rows, 100%, "));
    EXPECT_TRUE(lines[2].startsWith("Copied 2 of 2 tables, 37 rows, in "));

    const Outcome quiet = transfer({"--overwrite", "--quiet", path(), dsn});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

// The fast mode gives the target what the statements of the screen give it; a table one of
// whose rows the target refuses is rolled back whole, and the next table follows.
TEST(FastCommand, CorpusTablesArriveAsWithoutItAndARejectedRowRollsBackItsTable) {
    const QString plain = TestDatabases::newPostgresDsn(), fast = TestDatabases::newPostgresDsn();
    if (plain.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    const QString corpus = QDir::cleanPath(QStringLiteral(MORVANE_CORPUS) + "/db");
    if (!QFileInfo(corpus).isDir())
        GTEST_SKIP() << "no corpus";
    const Outcome statements = transfer({"--quiet", corpus, plain});
    ASSERT_EQ(statements.status, 0) << statements.err.toStdString();
    const Outcome bulk = transfer({"--quiet", "--fast", corpus, fast});
    ASSERT_EQ(bulk.status, 0) << bulk.err.toStdString();
    const std::vector<QStringList> tables = queryRows(
        plain, "SELECT table_name FROM information_schema.tables WHERE table_schema = 'public'");
    ASSERT_GE(tables.size(), 10u);
    for (const QStringList& table : tables)
        EXPECT_EQ(sortedRows(fast, table[0]), sortedRows(plain, table[0]))
            << table[0].toStdString();

    const QString target = TestDatabases::newPostgresDsn();
    TestDatabases::execute(target, R"(CREATE FUNCTION refuse_one() RETURNS event_trigger
        LANGUAGE plpgsql AS $$
        DECLARE created record;
        BEGIN
            FOR created IN SELECT * FROM pg_event_trigger_ddl_commands() LOOP
                EXECUTE format('ALTER TABLE %s ADD CHECK ("ID" <> 1500)', created.object_identity);
            END LOOP;
        END $$)");
    TestDatabases::execute(target,
                           "CREATE EVENT TRIGGER refuse_one ON ddl_command_end "
                           "WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION refuse_one()");
    TempDir folder;
    writeTable(folder.file("big.db"), 3000);
    writeTable(folder.file("small.db"), 10);
    const Outcome run = transfer({"--fast", QString::fromStdString(folder.path()), target});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("Failed: BIG: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("check constraint")) << run.err.toStdString();
    EXPECT_EQ(count(target, "SMALL"), "10");
    EXPECT_TRUE(
        queryRows(target, "SELECT 1 FROM information_schema.tables WHERE table_name = 'BIG'")
            .empty());
}
