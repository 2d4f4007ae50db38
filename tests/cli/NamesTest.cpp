// Names a new application can use: --names snake gives every table, column, key, index and
// relationship a name that needs no quotes, says what each became, and refuses two that become
// one before anything is written; --cast gives a column the type asked for, and the check fails
// a table whose values that type cannot hold exactly.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <filesystem>

#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

QString corpus() {
    return QDir::cleanPath(QStringLiteral(MORVANE_CORPUS));
}

QString path(const TempDir& dir) {
    return QString::fromStdString(dir.path());
}

QString firstValue(const QString& dsn, const QString& sql) {
    const std::vector<QStringList> rows = queryRows(dsn, sql);
    return rows.empty() ? QStringLiteral("(no row)") : rows[0][0];
}

}  // namespace

// The corpus in snake_case in a schema of its own on PostgreSQL: queries without a quote reach
// tables and columns (the reserved CASE and PRIMARY among them), relationships and indexes join
// the renamed tables there, every table is verified, the journal stays where the data source
// starts, and later runs replace, refresh and verify the same tables.
TEST(Names, TheCorpusInSnakeCaseInASchemaNeedsNoQuotesAndRunsAgain) {
    if (!QFileInfo(corpus()).isDir())
        GTEST_SKIP() << "no corpus";
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    const QStringList options{"--typed", "--names", "snake", "--schema", "legacy"};
    TempDir reports;
    const QString report = QString::fromStdString(reports.file("report.json"));
    const TransferRun run = transfer(options + QStringList{"--report", report, corpus(), dsn});
    ASSERT_EQ(run.status, 3) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("Failed:")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("the schema legacy was made on the target"));

    EXPECT_EQ(firstValue(dsn, "SELECT order_no FROM legacy.orders ORDER BY order_no"), "1001");
    EXPECT_EQ(firstValue(dsn, "SELECT count(*) FROM legacy.case_"),
              firstValue(dsn, R"(SELECT count(*) FROM "legacy"."case_")"));
    EXPECT_NE(firstValue(dsn, "SELECT count(*) FROM legacy.primary_"), "(no row)");
    EXPECT_EQ(firstValue(dsn, "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), "1");
    EXPECT_EQ(firstValue(dsn,
                         "SELECT count(*) FROM pg_tables WHERE schemaname = 'legacy' AND "
                         "tablename ~ '^[a-z_][a-z0-9_]*$'"),
              "46");
    EXPECT_EQ(firstValue(dsn,
                         "SELECT count(*) FROM information_schema.columns WHERE "
                         "table_schema = 'legacy' AND column_name !~ '^[a-z_][a-z0-9_]*$'"),
              "0");
    // Relationships and indexes among the renamed tables, named after them.
    EXPECT_NE(firstValue(dsn,
                         "SELECT count(*) FROM information_schema.table_constraints WHERE "
                         "constraint_type = 'FOREIGN KEY' AND constraint_schema = 'legacy'"),
              "0");
    EXPECT_EQ(firstValue(dsn,
                         "SELECT count(*) FROM pg_indexes WHERE schemaname = 'legacy' AND "
                         "indexname <> lower(indexname)"),
              "0");

    // What each name became, for a person fixing the application's queries.
    QFile written(report);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QJsonObject names =
        QJsonDocument::fromJson(written.readAll()).object()["names"].toObject();
    EXPECT_EQ(names["ORDERS"].toObject()["table"].toString(), "orders");
    EXPECT_EQ(names["ORDERS"].toObject()["columns"].toObject()["Order No"].toString(), "order_no");

    TransferRun again = transfer(options + QStringList{"--overwrite", corpus(), dsn});
    EXPECT_EQ(again.status, 3) << again.err.toStdString();
    EXPECT_FALSE(again.err.contains("Failed:")) << again.err.toStdString();
    again = transfer(options + QStringList{"--refresh", corpus(), dsn});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.err.contains(": 46 unchanged,")) << again.err.toStdString();
    // The record says how the names were made: a check reads each table back by them.
    again = transfer({"--verify", "--schema", "legacy", corpus(), dsn});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.err.contains("orders: equals its source")) << again.err.toStdString();
    // The data source's own schema holds no record of them.
    again = transfer({"--verify", corpus(), dsn});
    EXPECT_EQ(again.status, 1) << again.err.toStdString();
    EXPECT_EQ(firstValue(dsn, "SELECT order_no FROM legacy.orders ORDER BY order_no"), "1001");
}

// Two fields that become one name, and two tables that do, are refused before anything is
// written, naming both; the listing and the dry run show what each name would become.
TEST(Names, NamesThatBecomeOneAreRefusedBeforeAnythingIsWritten) {
    const QString dsn = TestDatabases::newSqliteDsn();
    TempDir folder;
    pxfixture::writeTable(folder.file("clash.db"),
                          {12,
                           2,
                           1252,
                           {{"Order No", FieldType::Long, 4, 0},
                            {"Order/No", FieldType::Long, 4, 0},
                            {"1st", FieldType::Long, 4, 0}}},
                          {{Value::integer(1), Value::integer(2), Value::integer(3)}});
    TransferRun run = transfer({"--names", "snake", path(folder), dsn});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(
        R"(CLASH: the fields "Order No" and "Order/No" would both be named order_no)"))
        << run.err.toStdString();
    EXPECT_TRUE(tablesOf(dsn).isEmpty());
    run = transfer({"--schema", "legacy", path(folder), dsn});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("--schema: SQLite has no schemas")) << run.err.toStdString();

    TempDir tables;
    pxfixture::TableLayout plain{12, 2, 1252, {{"Where", FieldType::Long, 4, 0}}};
    pxfixture::writeTable(tables.file("order.db"), plain, {{Value::integer(1)}});
    pxfixture::writeTable(tables.file("Order_.db"), plain, {{Value::integer(2)}});
    run = transfer({"--names", "snake", path(tables), dsn});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("would both be named order_")) << run.err.toStdString();
    EXPECT_TRUE(tablesOf(dsn).isEmpty());

    run = transfer({"--list", "--names", "snake", path(folder), dsn});
    EXPECT_TRUE(
        run.out.contains("CLASH\t" + QDir(path(folder)).filePath("clash.db") + "\t-> clash\n"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("1st\tLong\t-> _1st\n")) << run.out.toStdString();
    std::filesystem::remove(folder.file("clash.db"));
    pxfixture::writeTable(folder.file("orders.db"),
                          {12, 2, 1252, {{"Order No", FieldType::Long, 4, 0}}},
                          {{Value::integer(1)}});
    run = transfer({"--dry-run", "--names", "lower", path(folder), dsn});
    EXPECT_TRUE(run.out.contains("-- names: ORDERS -> orders: Order No -> order no\n"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(R"(("order no" )")) << run.out.toStdString();

    // A refresh under other names than the verified copy's would copy it again beside it.
    pxfixture::writeTable(folder.file("ship via.db"),
                          {12, 2, 1252, {{"Code", FieldType::Long, 4, 0}}}, {{Value::integer(1)}});
    std::filesystem::remove(folder.file("orders.db"));
    ASSERT_EQ(transfer({"--typed", "--names", "snake", path(folder), dsn}).status, 0);
    run = transfer({"--typed", "--refresh", path(folder), dsn});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(
        run.err.contains("SHIP VIA is not copied: its source was copied as ship_via, "
                         "under other names"))
        << run.err.toStdString();
    EXPECT_EQ(tablesOf(dsn), QStringList{"ship_via"});
}

// A cast gives the column its type; a value the type cannot hold exactly fails the table,
// naming the row, rather than arriving rounded.
TEST(Names, ACastGivesItsTypeAndAValueItCannotHoldFailsTheTable) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TempDir folder;
    pxfixture::TableLayout layout{
        12,
        2,
        1252,
        {{"Order No", FieldType::Long, 4, 0}, {"Amount Paid", FieldType::Money, 8, 2}}};
    layout.keyFields = 1;
    pxfixture::writeTable(
        folder.file("orders.db"), layout,
        {{Value::integer(1), Value::real(12.5)}, {Value::integer(2), Value::real(7.25)}});
    TransferRun run =
        transfer({"--typed", "--cast", "ORDERS.Amount Paid=NUMERIC(12,2)", path(folder), dsn});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(firstValue(dsn,
                         "SELECT data_type || ' ' || numeric_precision || ',' || "
                         "numeric_scale FROM information_schema.columns WHERE column_name "
                         "= 'Amount Paid'"),
              "numeric 12,2");

    pxfixture::writeTable(
        folder.file("orders.db"), layout,
        {{Value::integer(1), Value::real(12.5)}, {Value::integer(2), Value::real(7.125)}});
    run = transfer(
        {"--typed", "--overwrite", "--cast", "*.amount paid=NUMERIC(12,2)", path(folder), dsn});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Failed: ORDERS")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("row 2")) << run.err.toStdString();
    EXPECT_EQ(firstValue(dsn, R"(SELECT "Amount Paid" FROM "ORDERS" WHERE "Order No" = 2)"),
              "7.25");

    run = transfer({"--typed", "--cast", "ORDERS.Amount=NUMERIC(12,2)", path(folder), dsn});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("--cast ORDERS.Amount: no table chosen has that field"))
        << run.err.toStdString();
}
