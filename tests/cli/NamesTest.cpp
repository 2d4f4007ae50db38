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

// The corpus in snake_case on PostgreSQL: queries without a quote reach tables and columns
// (the reserved CASE and PRIMARY among them), relationships join the renamed tables, every
// table is verified, and a second run replaces or refreshes the same tables.
TEST(Names, TheCorpusInSnakeCaseNeedsNoQuotesAndRunsAgain) {
    if (!QFileInfo(corpus()).isDir())
        GTEST_SKIP() << "no corpus";
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TempDir reports;
    const QString report = QString::fromStdString(reports.file("report.json"));
    const TransferRun run =
        transfer({"--typed", "--names", "snake", "--report", report, corpus(), dsn});
    ASSERT_EQ(run.status, 3) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("Failed:")) << run.err.toStdString();

    EXPECT_EQ(firstValue(dsn, "SELECT order_no FROM orders ORDER BY order_no"), "1001");
    EXPECT_EQ(firstValue(dsn, "SELECT count(*) FROM case_"),
              firstValue(dsn, R"(SELECT count(*) FROM "case_")"));
    EXPECT_NE(firstValue(dsn, "SELECT count(*) FROM primary_"), "(no row)");
    for (const QString& table : tablesOf(dsn))
        EXPECT_EQ(table, table.toLower());
    for (const QStringList& row : queryRows(dsn,
                                            "SELECT column_name FROM "
                                            "information_schema.columns WHERE "
                                            "table_schema = current_schema()"))
        EXPECT_TRUE(QRegularExpression("^[a-z_][a-z0-9_]*$").match(row[0]).hasMatch()) << row[0].toStdString();
    // Relationships and indexes among the renamed tables, named after them.
    EXPECT_NE(firstValue(dsn,
                         "SELECT count(*) FROM information_schema.table_constraints WHERE "
                         "constraint_type = 'FOREIGN KEY' AND constraint_schema = "
                         "current_schema()"),
              "0");
    EXPECT_EQ(firstValue(dsn,
                         "SELECT count(*) FROM pg_indexes WHERE schemaname = "
                         "current_schema() AND indexname <> lower(indexname)"),
              "0");

    // What each name became, for a person fixing the application's queries.
    QFile written(report);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QJsonObject names =
        QJsonDocument::fromJson(written.readAll()).object()["names"].toObject();
    EXPECT_EQ(names["ORDERS"].toObject()["table"].toString(), "orders");
    EXPECT_EQ(names["ORDERS"].toObject()["columns"].toObject()["Order No"].toString(), "order_no");

    TransferRun again = transfer({"--typed", "--names", "snake", "--overwrite", corpus(), dsn});
    EXPECT_EQ(again.status, 3) << again.err.toStdString();
    EXPECT_FALSE(again.err.contains("Failed:")) << again.err.toStdString();
    again = transfer({"--typed", "--names", "snake", "--refresh", corpus(), dsn});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.err.contains(": 46 unchanged,")) << again.err.toStdString();
    // The record says how the names were made: a check reads each table back by them.
    again = transfer({"--verify", corpus(), dsn});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.err.contains("orders: equals its source")) << again.err.toStdString();
    EXPECT_EQ(firstValue(dsn, "SELECT order_no FROM orders ORDER BY order_no"), "1001");
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
