// MariaDB as a target, on a private server with other databases beside the data source's: the
// whole corpus arrives verified through both mappings, from the command line and the window, and
// only the data source's own database counts as the target's tables.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "fixture/ParadoxWriter.h"
#include "paradox/Table.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TablesScreen.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

QString corpus() {
    return QDir::cleanPath(QStringLiteral(MORVANE_CORPUS));
}

QString mariaDbOrSkip() {
    return QFileInfo(corpus()).isDir() ? TestDatabases::newMariaDbDsn() : QString();
}

// The names of the tables the run names as verified.
QStringList verifiedIn(const QString& err) {
    QStringList names;
    const QRegularExpression line(R"(^(\S+) \(table \d+ of \d+\): .*, verified$)",
                                  QRegularExpression::MultilineOption);
    for (auto match = line.globalMatch(err); match.hasNext();)
        names << match.next().captured(1);
    return names;
}

// ORDERS, keyed on "Order No", holding one order, in `folder`; the folder's path.
QString withOneOrder(const TempDir& folder) {
    pxfixture::TableLayout layout{12, 2, 1252, {{"Order No", FieldType::Long, 4, 0}}};
    layout.keyFields = 1;
    pxfixture::writeTable(folder.file("orders.db"), layout, {{Value::integer(1)}});
    return QString::fromStdString(folder.path());
}

}  // namespace

// Numbers keep every decimal and memos any length with the screen's mapping (DECIMAL(65, 30)
// and LONGTEXT, where MariaDB's bare DECIMAL keeps no fraction and TEXT stops at 64 KB); the
// typed mapping gives each table its key and a counter above its values.
TEST(MariaDbTarget, TheWholeCorpusArrivesVerifiedThroughBothMappings) {
    const QString dsn = mariaDbOrSkip();
    if (dsn.isEmpty())
        GTEST_SKIP() << "MariaDB or the corpus is missing";
    QStringList expected;
    for (const QString& mode : {QString(), QString("--row-by-row"), QString("--typed")}) {
        SCOPED_TRACE(mode.toStdString());
        const TransferRun run = transfer((mode.isEmpty() ? QStringList{} : QStringList{mode}) +
                                         QStringList{"--overwrite", corpus(), dsn});
        // Typed, two lookups of the corpus cannot be foreign keys: their parents have no key.
        const bool typed = mode == "--typed";
        ASSERT_EQ(run.status, typed ? 3 : 0) << run.err.toStdString();
        EXPECT_EQ(warningsOf(run), typed ? corpusDefinitionWarnings() : QStringList{});
        const QStringList verified = verifiedIn(run.err);
        if (expected.isEmpty())
            expected = verified;
        EXPECT_GE(verified.size(), 45);
        EXPECT_EQ(verified, expected);
        if (mode.isEmpty()) {
            EXPECT_EQ(queryRows(dsn,
                                "SELECT DISTINCT column_type FROM information_schema.columns "
                                "WHERE table_schema = database() AND table_name <> "
                                "'morvane_journal' ORDER BY column_type"),
                      (std::vector<QStringList>{{"decimal(65,30)"}, {"longtext"}}));
        }
    }
    // The typed run's keys and counters.
    const auto keyed = queryRows(dsn,
                                 "SELECT count(DISTINCT table_name) FROM "
                                 "information_schema.table_constraints WHERE table_schema = "
                                 "database() AND constraint_type = 'PRIMARY KEY'");
    EXPECT_GT(keyed[0][0].toInt(), 10);
    // A table with a required field takes no row given no values.
    const auto counted = queryRows(dsn,
                                   "SELECT table_name, column_name FROM "
                                   "information_schema.columns c WHERE table_schema = "
                                   "database() AND extra LIKE '%auto_increment%' AND NOT EXISTS "
                                   "(SELECT 1 FROM information_schema.columns r WHERE "
                                   "r.table_schema = c.table_schema AND r.table_name = "
                                   "c.table_name AND r.is_nullable = 'NO' AND r.column_default "
                                   "IS NULL AND r.extra NOT LIKE '%auto_increment%')");
    ASSERT_FALSE(counted.empty());
    for (const QStringList& column : counted) {
        const QString max =
            QString(R"(SELECT coalesce(max("%1"), 0) FROM "%2")").arg(column[1], column[0]);
        const long long highest = queryRows(dsn, max)[0][0].toLongLong();
        TestDatabases::execute(dsn, QString(R"(INSERT INTO "%1" () VALUES ())").arg(column[0]));
        EXPECT_GT(queryRows(dsn, max)[0][0].toLongLong(), highest) << column[0].toStdString();
    }

    // The window, into a fresh database: every table, and not one error box.
    const QString fresh = TestDatabases::newMariaDbDsn();
    TablesScreen screen(fresh);
    screen.form1->Text1->setText(corpus());
    screen.reload();
    ASSERT_TRUE(TablesScreen::entries(*screen.form2().List1).isEmpty());
    TableList& list = *screen.form2().List2;
    for (int i = 0; i < list.count(); ++i)
        list.setEntrySelected(i, expected.contains(list.entryText(i)));
    screen.form2().PushButton4_Click();
    EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty())
        << screen.test.dialogs.texts("error").join("\n").toStdString();
    QStringList listed = TablesScreen::entries(*screen.form2().List1);
    listed.sort();
    EXPECT_EQ(listed, tablesOf(fresh));
    EXPECT_EQ(listed.size(), expected.size());
}

// Tables of other databases on the same server (the system's own, another user's) are neither
// listed nor met: Paradox tables ACCOUNTS and EVENT are copied, not skipped, beside
// mysql.event and another database's ACCOUNTS.
TEST(MariaDbTarget, OnlyTheDataSourcesOwnDatabaseIsTheTarget) {
    const QString dsn = TestDatabases::newMariaDbDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "MariaDB is not installed";
    const QString other = TestDatabases::newMariaDbDsn();
    TestDatabases::execute(other, R"(CREATE TABLE "ACCOUNTS"("kept" INTEGER))");
    TestDatabases::execute(other, R"(INSERT INTO "ACCOUNTS" VALUES(7))");
    TempDir folder;
    for (const char* name : {"accounts.db", "event.db"})
        pxfixture::writeTable(folder.file(name), {12, 2, 1252, {{"ID", FieldType::Long, 4, 0}}},
                              {{Value::integer(1)}, {Value::integer(2)}});
    const QString path = QString::fromStdString(folder.path());

    const TransferRun list = transfer({"--list", path, dsn});
    EXPECT_TRUE(list.out.endsWith("Tables in " + dsn + ":\n")) << list.out.toStdString();
    const TransferRun skipping = transfer({"--skip-existing", path, dsn});
    EXPECT_EQ(skipping.status, 0) << skipping.err.toStdString();
    EXPECT_FALSE(skipping.err.contains("skipped")) << skipping.err.toStdString();
    EXPECT_EQ(tablesOf(dsn), (QStringList{"ACCOUNTS", "EVENT"}));
    const TransferRun again = transfer({"--overwrite", path, dsn});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(queryRows(other, R"(SELECT "kept" FROM "ACCOUNTS")")[0][0], "7");

    TablesScreen screen(dsn);
    screen.reload();
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), (QStringList{"ACCOUNTS", "EVENT"}));
}

// A data source set up with nothing but its database: the program's own sessions take
// double-quoted names, so a typed copy, its replacement and the journal work, and the dry run's
// script says first what a client needs to run it.
TEST(MariaDbTarget, ADataSourceWithoutQuotedNamesSetUpNeedsNothingMore) {
    const QString dsn = TestDatabases::newMariaDbDsn("utf8mb4", false);
    if (dsn.isEmpty())
        GTEST_SKIP() << "MariaDB is not installed";
    TempDir folder;
    const QString path = withOneOrder(folder);
    // Printed for an empty database, the script runs in the client as it is.
    const TransferRun script = transfer({"--typed", "--dry-run", path, dsn});
    EXPECT_TRUE(script.out.contains(
        "\nSET SESSION sql_mode = CONCAT_WS(',', NULLIF(@@sql_mode, ''), 'ANSI_QUOTES');\n"))
        << script.out.toStdString();
    EXPECT_EQ(TestDatabases::runMariaDbClient(dsn, script.out), QString());
    TestDatabases::execute(dsn, "DROP TABLE `ORDERS`");

    TempDir reports;
    for (const char* option : {"--skip-existing", "--overwrite"}) {
        const QString report = QString::fromStdString(reports.file(std::string(option) + ".json"));
        const TransferRun run = transfer({"--typed", option, "--report", report, path, dsn});
        EXPECT_EQ(run.status, 0) << option << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("verified")) << option << run.err.toStdString();
        // What the product leaves out is in the report as on the screen.
        QFile written(report);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_TRUE(written.readAll().contains("MariaDB: left out of each table's definition"))
            << option;
    }
}

// On MariaDB a schema is a database: made beside the data source's own with its character
// set, the tables go there, and a refresh finds them there by their records, which stay in
// the data source's own journal.
TEST(MariaDbTarget, ASchemaIsADatabaseBesideTheDataSourcesOwn) {
    const QString dsn = TestDatabases::newMariaDbDsn("latin1", false);
    if (dsn.isEmpty())
        GTEST_SKIP() << "MariaDB is not installed";
    TempDir folder;
    const QString path = withOneOrder(folder);
    const QString schema = dsn.toLower() + "_legacy";
    TransferRun run = transfer({"--typed", "--schema", schema, path, dsn});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("the schema " + schema + " was made")) << run.err.toStdString();
    EXPECT_EQ(queryRows(dsn,
                        "SELECT default_character_set_name FROM information_schema.schemata "
                        "WHERE schema_name = '" +
                            schema + "'"),
              (std::vector<QStringList>{{"latin1"}}));
    EXPECT_EQ(queryRows(dsn, "SELECT count(*) FROM `" + schema + "`.`ORDERS`"),
              (std::vector<QStringList>{{"1"}}));
    EXPECT_TRUE(tablesOf(dsn).isEmpty());
    run = transfer({"--typed", "--refresh", "--schema", schema, path, dsn});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("ORDERS (table 1 of 1): unchanged")) << run.err.toStdString();
}
