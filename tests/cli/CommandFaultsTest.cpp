// morvane-transfer meeting the faults of a real move, each provoked for real: a memo file damaged
// half-way, a Ctrl-C or a SIGTERM in the middle of a table, folders it may not read, files that
// are no tables, a second schema, names too long for the target, a target locked by another
// session. What it must never do is leave a table out, or half in, without a word.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "ado/Connection.h"
#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using px::FieldType;
using px::Value;

namespace {

const std::vector<px::Field> kNumbered = {{"N", FieldType::Long, 4, 0},
                                          {"NOTE", FieldType::Memo, 11, 0}};

void writeNumbered(const std::string& path, int rows) {
    std::vector<std::vector<Value>> values;
    for (int i = 0; i < rows; ++i)
        values.push_back({Value::integer(i), Value::text(std::string(300, char('a' + i % 26)))});
    pxfixture::writeTable(path, {12, 2, 1252, kNumbered}, values);
}

QString count(const QString& dsn, const QString& table) {
    return queryRows(dsn, "SELECT count(*) FROM \"" + table + "\"")[0][0];
}

bool hasTable(const QString& dsn, const QString& table) {
    try {
        count(dsn, table);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QString path(const TempDir& dir) {
    return QString::fromStdString(dir.path());
}

// Every new table of the PostgreSQL database takes a moment for each row it is given.
void slowEveryRow(const QString& dsn) {
    TestDatabases::execute(dsn, R"(CREATE FUNCTION slow_row() RETURNS trigger LANGUAGE plpgsql
        AS $$ BEGIN PERFORM pg_sleep(0.001); RETURN NEW; END $$)");
    TestDatabases::onEveryNewTable(
        dsn, "slow_tables",
        "CREATE TRIGGER slow BEFORE INSERT ON %s FOR EACH ROW EXECUTE FUNCTION slow_row()");
}

// Waits until `table` holds a row that another session committed.
bool waitForARow(const QString& dsn, const QString& table) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!hasTable(dsn, table) || count(dsn, table) == "0")
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

}  // namespace

// A memo file damaged half-way: by default the table is rolled back whole and named as failed;
// row by row the rows before the damage stay and the table is named incomplete, with both
// counts. Each failure is told once, quiet or not.
TEST(WholeTables, AMemoFileDamagedHalfWayLeavesNoTableOrANamedIncompleteOne) {
    TempDir folder;
    writeNumbered(folder.file("biolife.db"), 28);
    writeNumbered(folder.file("good.db"), 5);
    fs::resize_file(folder.file("biolife.mb"), fs::file_size(folder.file("biolife.mb")) / 2);

    const QString whole = TestDatabases::newSqliteDsn();
    const TransferRun run = transfer({path(folder), whole});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_FALSE(hasTable(whole, "BIOLIFE"));
    EXPECT_EQ(count(whole, "GOOD"), "5");
    EXPECT_TRUE(run.err.contains("BIOLIFE (table 1 of 2): failed, ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Copied 1 of 2 tables, 1 failed, 5 rows, in "));
    EXPECT_EQ(run.err.count("biolife.mb"), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QRegularExpression("\nFailed: BIOLIFE: .*biolife\\.mb")));

    const QString rowByRow = TestDatabases::newSqliteDsn();
    const TransferRun partial = transfer({"--row-by-row", path(folder), rowByRow});
    EXPECT_EQ(partial.status, 1) << partial.err.toStdString();
    const QString arrived = count(rowByRow, "BIOLIFE");
    EXPECT_GT(arrived.toInt(), 0);
    EXPECT_LT(arrived.toInt(), 28);
    EXPECT_TRUE(partial.err.contains("BIOLIFE (table 1 of 2): incomplete, " + arrived +
                                     " of 28 rows arrived"))
        << partial.err.toStdString();
    EXPECT_TRUE(
        partial.err.contains("\nIncomplete: BIOLIFE: " + arrived + " of 28 rows arrived: "));
    EXPECT_EQ(partial.err.count("biolife.mb"), 1) << partial.err.toStdString();

    const TransferRun quiet = transfer({"-q", "--overwrite", path(folder), whole});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.err.count('\n'), 1) << quiet.err.toStdString();
    EXPECT_TRUE(quiet.err.startsWith("Failed: BIOLIFE: ")) << quiet.err.toStdString();
}

// A table file cut short, even to nothing, is a damaged table, not some other file: it is named,
// quiet or not, and the run fails; the tables beside it arrive.
TEST(WholeTables, AnEmptyOrCutShortTableFileIsNamedAsDamaged) {
    TempDir folder;
    writeNumbered(folder.file("good.db"), 3);
    writeWholeFile(folder.file("empty.db"), "");
    writeWholeFile(folder.file("short.db"), std::string(40, '\x01'));
    const QString dsn = TestDatabases::newSqliteDsn();
    const TransferRun run = transfer({"-q", path(folder), dsn});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Failed: EMPTY: The Paradox table file " + path(folder) +
                                 "/empty.db is too short to be a Paradox table (0 bytes)."))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Failed: SHORT: ")) << run.err.toStdString();
    EXPECT_EQ(count(dsn, "GOOD"), "3");

    fs::remove(folder.file("good.db"));
    const TransferRun alone = transfer({"-q", "--overwrite", path(folder), dsn});
    EXPECT_EQ(alone.status, 1) << alone.err.toStdString();
    EXPECT_FALSE(alone.err.contains("no Paradox tables")) << alone.err.toStdString();
}

// Ctrl-C while a table is copied: the table is rolled back (row by row: named as incomplete),
// the summary of what is complete is printed, and the exit status tells the signal. A second
// Ctrl-C ends the program at once.
TEST(Interruption, CtrlCAndSigtermStopBetweenTablesAndRowsAndTellWhatIsComplete) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    slowEveryRow(dsn);
    TempDir folder;
    writeNumbered(folder.file("first.db"), 10);
    writeNumbered(folder.file("slow.db"), 3000);
    writeNumbered(folder.file("zlast.db"), 10);

    QProcess byDefault;
    startTransfer(byDefault, {path(folder), dsn});
    QString seen;
    ASSERT_TRUE(waitForOutput(byDefault, seen, "FIRST (table 1 of 3): 10 of 10 rows"));
    ASSERT_TRUE(TestDatabases::waitForStatement(dsn, R"(COPY "SLOW__morvane_new")"));
    ::kill(static_cast<pid_t>(byDefault.processId()), SIGINT);
    const TransferRun stopped = finishedTransfer(byDefault);
    const QString err = seen + stopped.err;
    EXPECT_EQ(stopped.status, 130) << err.toStdString();
    EXPECT_TRUE(err.contains("SLOW (table 2 of 3): interrupted, rolled back")) << err.toStdString();
    EXPECT_TRUE(err.contains("Copied 1 of 3 tables, 1 failed, 10 rows"));
    EXPECT_TRUE(err.contains("\nInterrupted: SLOW: rolled back"));
    EXPECT_TRUE(err.contains("\nNot copied, the run was stopped first: ZLAST"));
    EXPECT_EQ(count(dsn, "FIRST"), "10");
    EXPECT_FALSE(hasTable(dsn, "SLOW"));
    EXPECT_FALSE(hasTable(dsn, "ZLAST"));

    QProcess rowByRow;
    startTransfer(rowByRow, {"--row-by-row", "--overwrite", path(folder), dsn});
    seen.clear();
    ASSERT_TRUE(waitForOutput(rowByRow, seen, "FIRST (table 1 of 3): 10 of 10 rows"));
    ASSERT_TRUE(waitForARow(dsn, "SLOW"));
    ::kill(static_cast<pid_t>(rowByRow.processId()), SIGTERM);
    const TransferRun terminated = finishedTransfer(rowByRow);
    EXPECT_EQ(terminated.status, 143) << terminated.err.toStdString();
    const QString arrived = count(dsn, "SLOW");
    EXPECT_GT(arrived.toInt(), 0);
    EXPECT_LT(arrived.toInt(), 3000);
    EXPECT_TRUE(terminated.err.contains("\nIncomplete: SLOW: " + arrived + " of 3000 rows arrived"))
        << terminated.err.toStdString();

    QProcess twice;
    startTransfer(twice, {"--overwrite", path(folder), dsn});
    seen.clear();
    ASSERT_TRUE(waitForOutput(twice, seen, "FIRST (table 1 of 3): 10 of 10 rows"));
    ASSERT_TRUE(TestDatabases::waitForStatement(dsn, R"(COPY "SLOW__morvane_new")"));
    const auto signalled = std::chrono::steady_clock::now();
    ::kill(static_cast<pid_t>(twice.processId()), SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(static_cast<pid_t>(twice.processId()), SIGINT);
    EXPECT_EQ(finishedTransfer(twice).status, 130);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::milliseconds(1500));
}

// With --jobs 2 a Ctrl-C stops both tables being copied: each is rolled back, the one not yet
// started is named, and the report keeps the folder's order.
TEST(Interruption, CtrlCStopsEveryTableCopiedSideBySide) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    slowEveryRow(dsn);
    TempDir folder, reports;
    writeNumbered(folder.file("alpha.db"), 3000);
    writeNumbered(folder.file("beta.db"), 3000);
    writeNumbered(folder.file("gamma.db"), 10);
    const QString report = QString::fromStdString(reports.file("report.json"));
    QProcess sideBySide;
    startTransfer(sideBySide, {"--jobs", "2", "--report", report, path(folder), dsn});
    ASSERT_TRUE(TestDatabases::waitForStatement(dsn, R"(COPY "ALPHA__morvane_new")"));
    ASSERT_TRUE(TestDatabases::waitForStatement(dsn, R"(COPY "BETA__morvane_new")"));
    ::kill(static_cast<pid_t>(sideBySide.processId()), SIGINT);
    const TransferRun stopped = finishedTransfer(sideBySide);
    EXPECT_EQ(stopped.status, 130) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.err.contains("ALPHA (table 1 of 3): interrupted, rolled back"))
        << stopped.err.toStdString();
    EXPECT_TRUE(stopped.err.contains("BETA (table 2 of 3): interrupted, rolled back"));
    EXPECT_TRUE(stopped.err.contains("\nNot copied, the run was stopped first: GAMMA"));
    for (const QString table : {"ALPHA", "BETA", "GAMMA", "ALPHA__morvane_new"})
        EXPECT_FALSE(hasTable(dsn, table)) << table.toStdString();
    QFile written(report);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    QStringList order;
    for (const QJsonValue table : QJsonDocument::fromJson(written.readAll())["tables"].toArray())
        order << table["name"].toString();
    EXPECT_EQ(order, (QStringList{"ALPHA", "BETA", "GAMMA"}));
}

// Tables passed over by choice, files that are no tables and folders that cannot be read are each
// named; a folder that cannot be read makes the run fail, as tables may be missing. Run as an
// unprivileged user whose odbc.ini it may read but not write.
TEST(NothingUnsaid, SkippedTablesOtherFilesAndUnreadableFoldersAreNamed) {
    TempDir home;
    fs::permissions(home.path(), fs::perms::all);
    TempDir folder;
    fs::permissions(folder.path(), fs::perms::all);
    for (const char* name : {"a.db", "b.db", "c.db", "sub/locked/d.db"}) {
        fs::create_directories(fs::path(folder.file(name)).parent_path());
        writeNumbered(folder.file(name), 3);
    }
    for (const char* inside : {"sub", "sub/locked"})
        fs::permissions(folder.file(inside), fs::perms::all);
    for (const std::string& file : {folder.file("a.db"), folder.file("a.mb"), folder.file("b.db"),
                                    folder.file("b.mb"), folder.file("c.db"), folder.file("c.mb")})
        fs::permissions(file, fs::perms::owner_all | fs::perms::others_read);
    writeWholeFile(folder.file("Thumbs.db"),
                   "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + std::string(600, '\0'));
    fs::permissions(folder.file("Thumbs.db"), fs::perms::all);
    // The data source lives in the home folder; its odbc.ini belongs to somebody else.
    const QString database = QString::fromStdString(home.file("target.sqlite"));
    const QString odbcIni = QString::fromStdString(home.file("odbc.ini"));
    const QString driver = [] {
        for (const char* candidate : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                                      "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so"})
            if (QFile::exists(candidate))
                return QString(candidate);
        return QString();
    }();
    {
        QFile ini(odbcIni);
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Text));
        ini.write(("[Target]\nDriver = " + driver + "\nDatabase = " + database + "\n").toUtf8());
    }
    fs::permissions(home.file("odbc.ini"), fs::perms::owner_read | fs::perms::owner_write |
                                               fs::perms::group_read | fs::perms::others_read);
    const QStringList environment = {"HOME=" + path(home), "ODBCINI=" + odbcIni,
                                     "XDG_CONFIG_HOME=" + path(home) + "/config"};
    const auto asUser = [&](const QStringList& arguments) {
        return transferUnprivileged(arguments, environment);
    };
    const TransferRun first = asUser({"-q", path(folder), "Target", "A", "B"});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    fs::permissions(folder.file("sub/locked"), fs::perms::none);
    const TransferRun run = asUser({"--skip-existing", path(folder), "Target"});
    fs::permissions(folder.file("sub/locked"), fs::perms::all);
    EXPECT_EQ(run.status, runningAsRoot() ? 1 : run.status) << run.err.toStdString();
    for (const char* line :
         {"A: skipped, the target has it\n", "B: skipped, the target has it\n",
          "THUMBS: skipped, the Paradox table file ", "Copied 1 of 3 tables, 2 skipped, 3 rows"})
        EXPECT_TRUE(run.err.contains(line)) << line << "\n" << run.err.toStdString();
    if (runningAsRoot()) {
        EXPECT_TRUE(run.err.contains("\nWarning: the folder " + path(folder) +
                                     "/sub/locked/ cannot be read (Permission denied): tables in "
                                     "it may be missing"))
            << run.err.toStdString();
    }
    // The data source opened was the one its odbc.ini names, not a stand-in.
    TestDatabases::addDsn("TargetSeen", "Driver = " + driver + "\nDatabase = " + database);
    EXPECT_EQ(count("TargetSeen", "C"), "3");
    EXPECT_EQ(count("TargetSeen", "A"), "3");

    // Named, a file that is no table fails the run.
    const TransferRun named = asUser({path(folder), "Target", "THUMBS"});
    EXPECT_EQ(named.status, 1);
    EXPECT_TRUE(named.err.contains("\nFailed: THUMBS: The Paradox table file "))
        << named.err.toStdString();

    const TransferRun missing = transfer({path(folder) + "/nowhere", "Target"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "morvane-transfer: " + path(folder) + "/nowhere: no such folder\n");
    const TransferRun aFile = transfer({path(folder) + "/a.db", "Target"});
    EXPECT_EQ(aFile.status, 2);
    EXPECT_EQ(aFile.err, "morvane-transfer: " + path(folder) + "/a.db is a file, not a folder\n");
    EXPECT_FALSE(transfer({"--help"}).out.contains("help-all"));
    EXPECT_EQ(transfer({"--help-all"}).status, 2);
}

// Whether a table exists is decided by the table the unqualified name reaches: on PostgreSQL the
// schema where a new table would be created, not any schema that has one of the name.
TEST(TargetNames, ATableInAnotherSchemaIsNotTheOneTheNameReaches) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TestDatabases::execute(dsn, R"(CREATE SCHEMA other)");
    TestDatabases::execute(dsn, R"(CREATE TABLE other."ORDERS"("x" TEXT))");
    TestDatabases::execute(dsn, R"(INSERT INTO other."ORDERS" VALUES('kept'))");
    TempDir folder;
    writeNumbered(folder.file("orders.db"), 4);

    for (const QStringList& options : {QStringList{}, QStringList{"--overwrite"}}) {
        const TransferRun run = transfer(options + QStringList{path(folder), dsn});
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(queryRows(dsn, R"(SELECT count(*) FROM public."ORDERS")")[0][0], "4");
    }
    const TransferRun skipped = transfer({"--skip-existing", path(folder), dsn});
    EXPECT_TRUE(skipped.err.contains("ORDERS: skipped, the target has it"));
    EXPECT_EQ(queryRows(dsn, R"(SELECT * FROM other."ORDERS")"),
              std::vector<QStringList>{{"kept"}});

    // With the other schema first on the search path, its table is the one the name reaches.
    const QString database = queryRows(dsn, "SELECT current_database()")[0][0];
    TestDatabases::execute(dsn,
                           "ALTER DATABASE \"" + database + "\" SET search_path = other, public");
    const TransferRun met = transfer({path(folder), dsn});
    EXPECT_EQ(met.status, 2);
    EXPECT_TRUE(met.err.contains("these tables exist in " + dsn + ": ORDERS"))
        << met.err.toStdString();
}

// A name longer than the target takes is refused before anything is written for its table,
// naming the limit, rather than cut (PostgreSQL cuts at 63 bytes without a word) so that every
// later run would meet a table of the cut name.
TEST(TargetNames, NamesLongerThanTheTargetAllowsAreRefusedBeforeAnythingIsWritten) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TempDir folder;
    const std::string longColumn(70, 'c');
    pxfixture::writeTable(folder.file("wide.db"),
                          {12, 2, 1252, {{longColumn, FieldType::Long, 4, 0}}},
                          {{Value::integer(1)}});
    writeNumbered(folder.file(std::string(66, 't') + ".db"), 2);
    writeNumbered(folder.file("fine.db"), 2);
    for (int run = 0; run < 2; ++run) {
        const TransferRun result = transfer({path(folder), dsn});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.err.contains("\nFailed: WIDE: The column name \"" +
                                        QString::fromStdString(longColumn) +
                                        "\" is 70 bytes long; the data source allows 63 bytes."))
            << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(QString(66, 'T') + ": The table name \"" +
                                        QString(66, 'T') +
                                        "\" is 66 bytes long; the data source allows 63 bytes."));
        EXPECT_EQ(count(dsn, "FINE"), "2");
        EXPECT_EQ(tablesOf(dsn), QStringList{"FINE"});
        TestDatabases::execute(dsn, R"(DROP TABLE "FINE")");
    }
}

// A target locked by another session keeps the run waiting: it says so, and the times it reports
// are true.
TEST(Waiting, ALockedTargetIsToldAsAWaitAndTheTimesAreTrue) {
    const QString dsn = TestDatabases::newSqliteDsn();
    TempDir folder;
    writeNumbered(folder.file("orders.db"), 5);
    ado::Connection other;
    other.Open("Data Source=" + dsn);
    other.Execute(R"(CREATE TABLE "HELD"("x" TEXT))");
    other.BeginTrans();
    other.Execute(R"(INSERT INTO "HELD" VALUES('a writer holds the database'))");
    // Let go once the run says it waits.
    QProcess waiting;
    startTransfer(waiting, {path(folder), dsn});
    QString seen;
    ASSERT_TRUE(waitForOutput(waiting, seen, " waiting for " + dsn + " to answer, 2 s so far"))
        << seen.toStdString();
    other.CommitTrans();
    TransferRun run = finishedTransfer(waiting);
    run.err = seen + run.err;
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QRegularExpressionMatch table =
        QRegularExpression(
            R"(ORDERS \(table 1 of 1\): 5 of 5 rows, 100%, \d+ rows/s, ([\d.]+) s, verified\n)")
            .match(run.err);
    ASSERT_TRUE(table.hasMatch()) << run.err.toStdString();
    const QRegularExpressionMatch total =
        QRegularExpression(R"(Copied 1 of 1 tables, 5 rows, in ([\d.]+) s\.)").match(run.err);
    ASSERT_TRUE(total.hasMatch());
    EXPECT_GE(total.captured(1).toDouble(), 2.0);
    EXPECT_GE(table.captured(1).toDouble() + 0.5, total.captured(1).toDouble())
        << "the wait must count in the table's time";
}

// A server at work for a while (a key that takes three seconds to make) keeps no one waiting on
// another session: no waiting line, and the table's time counts it.
TEST(Waiting, AServerAtWorkIsNoWait) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "no PostgreSQL";
    TestDatabases::slowDefinitions(dsn, "ADD PRIMARY KEY", 3);
    TempDir folder;
    pxfixture::TableLayout keyed{12, 2, 1252, kNumbered};
    keyed.keyFields = 1;
    pxfixture::writeTable(folder.file("orders.db"), keyed, {{Value::integer(1), Value::text("a")}});
    const TransferRun run = transfer({"--typed", path(folder), dsn});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("waiting for")) << run.err.toStdString();
    EXPECT_TRUE(QRegularExpression(R"(1 of 1 row, 100%, \d+ rows/s, [3-9]\.\d s, verified)")
                    .match(run.err)
                    .hasMatch())
        << run.err.toStdString();
}

// A work table whose own table is gone may hold the only copy of it (a replacement whose rename
// failed after the drop): the listing says so with the statement that names it, and a later run
// leaves it alone. An empty one, as a stopped first copy leaves, is removed by the next copy.
TEST(Leftovers, AWorkTableWithoutItsTableIsKeptWhenItHoldsRows) {
    const QString dsn = TestDatabases::newSqliteDsn();
    TempDir folder;
    writeNumbered(folder.file("orders.db"), 5);
    TestDatabases::execute(dsn, R"(CREATE TABLE "ORDERS__morvane_new"("N" NUMERIC))");
    TestDatabases::execute(dsn, R"(INSERT INTO "ORDERS__morvane_new" VALUES(1), (2))");
    const TransferRun list = transfer({"--list", path(folder), dsn});
    EXPECT_TRUE(list.out.contains(
        "  ORDERS__morvane_new\t(the target has no table of its own: it may hold the only copy, "
        "unless it is empty; ALTER TABLE \"ORDERS__morvane_new\" RENAME TO \"ORDERS\" gives it "
        "its name)\n"))
        << list.out.toStdString();

    const TransferRun kept = transfer({path(folder), dsn});
    EXPECT_EQ(kept.status, 1) << kept.err.toStdString();
    EXPECT_TRUE(
        kept.err.contains("ORDERS__morvane_new holds 2 rows and the target has no ORDERS: "
                          "it may be the only copy of ORDERS; ALTER TABLE "
                          "\"ORDERS__morvane_new\" RENAME TO \"ORDERS\" gives it its name, "
                          "or drop it to copy the table again"))
        << kept.err.toStdString();
    EXPECT_EQ(queryRows(dsn, R"(SELECT count(*) FROM "ORDERS__morvane_new")")[0][0], "2");
    EXPECT_TRUE(queryRows(dsn, "SELECT name FROM sqlite_master WHERE name = 'ORDERS'").empty());

    TestDatabases::execute(dsn, R"(DELETE FROM "ORDERS__morvane_new")");
    const TransferRun copied = transfer({path(folder), dsn});
    EXPECT_EQ(copied.status, 0) << copied.err.toStdString();
    EXPECT_EQ(tablesOf(dsn), QStringList{"ORDERS"});
}
