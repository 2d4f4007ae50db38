// What "verified" promises, where the check once let a difference through or never ended: a
// NULL stored as an empty value, timestamps stored with other fractions, SQLite tables whose
// columns take the rowid's names, and a check asked to stop.
#include <gtest/gtest.h>

#include <atomic>

#include "ado/Connection.h"
#include "data/products/TargetProduct.h"
#include "fixture/ParadoxWriter.h"
#include "operations/TableCheck.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

TableCheck::Result checkOn(const QString& dsn, const TempDir& folder, const std::string& file,
                           const QString& table, const std::vector<CheckedColumn>& columns,
                           const std::function<bool()>& stop = {}) {
    ado::Connection target;
    target.Open("Data Source=" + dsn);
    ado::Connection paradox;
    paradox.Open(QString("Driver={Microsoft Paradox Driver (*.db )};DefaultDir=") +
                 QString::fromStdString(folder.path()));
    return TableCheck::run(target, *TargetProduct::of(target), paradox,
                           QString::fromStdString(folder.file(file)), table, columns, stop);
}

}  // namespace

// A blank blob and an empty one are different values: a target that stores '' for NULL has
// not kept the row.
TEST(CheckPromises, ANullBlobStoredEmptyIsADifference) {
    const QString dsn = TestDatabases::newSqliteDsn();
    TempDir folder;
    pxfixture::writeTable(
        folder.file("blobs.db"),
        {12, 2, 1252, {{"ID", FieldType::Long, 4, 0}, {"DATA", FieldType::Blob, 10, 0}}},
        {{Value::integer(1), Value::bytes("ab")}, {Value::integer(2), Value()}});
    const TransferRun run = transfer({"--typed", QString::fromStdString(folder.path()), dsn});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const std::vector<CheckedColumn> columns = {
        {"ID", CheckedColumn::Compare::Typed, ado::ValueType::Integer},
        {"DATA", CheckedColumn::Compare::Typed, ado::ValueType::Binary}};
    EXPECT_TRUE(checkOn(dsn, folder, "blobs.db", "BLOBS", columns).exact());
    TestDatabases::execute(dsn, R"(UPDATE "BLOBS" SET "DATA" = X'' WHERE "DATA" IS NULL)");
    const TableCheck::Result emptied = checkOn(dsn, folder, "blobs.db", "BLOBS", columns);
    EXPECT_EQ(emptied.describe("BLOBS", 3),
              "The table BLOBS differs from its source: 2 rows sent, 2 stored, 1 value differs: "
              "row 2, column DATA: sent NULL, stored ''.");
}

// A timestamp keeps its milliseconds: ODBC counts the fraction in nanoseconds.
TEST(CheckPromises, TimestampsKeepTheirMilliseconds) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TempDir folder;
    const int32_t leapDay = px::dayNumberFromCivil(2024, 2, 29);
    pxfixture::writeTable(
        folder.file("stamps.db"),
        {12, 2, 1252, {{"STAMP", FieldType::Timestamp, 8, 0}, {"HOUR", FieldType::Time, 4, 0}}},
        {{Value::timestamp(leapDay, (13 * 3600 + 45 * 60 + 30) * 1000 + 123),
          Value::time(8 * 3600000 + 7)}});
    const TransferRun run = transfer({"--typed", QString::fromStdString(folder.path()), dsn});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(queryRows(dsn, R"(SELECT "STAMP"::text, "HOUR"::text FROM "STAMPS")")[0],
              (QStringList{"2024-02-29 13:45:30.123", "08:00:00.007"}));
}

// SQLite's rowid has three names, any of which a column may take: a Long ROWID with a blank, an
// Alpha ROWID over more than one page of the reading, and all three names at once are each
// read back whole, and the check ends.
TEST(CheckPromises, ColumnsNamedAsSqlitesRowidAreReadWhole) {
    struct Case {
        std::string file;
        std::vector<px::Field> fields;
        std::vector<std::vector<Value>> rows;
    };
    std::vector<std::vector<Value>> paged;
    for (int i = 0; i < 10001; ++i)
        paged.push_back({Value::text("r" + std::to_string(10001 - i)), Value::integer(i)});
    const std::vector<Case> cases = {
        {"blank.db",
         {{"ROWID", FieldType::Long, 4, 0}, {"NAME", FieldType::Alpha, 10, 0}},
         {{Value::integer(1), Value::text("a")},
          {Value(), Value::text("b")},
          {Value::integer(3), Value::text("c")}}},
        {"paged.db", {{"ROWID", FieldType::Alpha, 10, 0}, {"N", FieldType::Long, 4, 0}}, paged},
        {"all.db",
         {{"ROWID", FieldType::Long, 4, 0},
          {"_rowid_", FieldType::Long, 4, 0},
          {"Oid", FieldType::Long, 4, 0}},
         {{Value::integer(5), Value(), Value::integer(1)},
          {Value::integer(4), Value::integer(2), Value()}}}};
    for (const bool typed : {false, true}) {
        const QString dsn = TestDatabases::newSqliteDsn();
        TempDir folder;
        for (const Case& c : cases)
            pxfixture::writeTable(folder.file(c.file), {12, 2, 1252, c.fields}, c.rows);
        QStringList arguments = {QString::fromStdString(folder.path()), dsn};
        if (typed)
            arguments.prepend("--typed");
        const TransferRun run = transfer(arguments);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.err.count(", verified"), 3) << run.err.toStdString();
    }
}

// A check asked to stop ends between two rows, and says it could not decide.
TEST(CheckPromises, ACheckAskedToStopEndsWithoutAVerdict) {
    const QString dsn = TestDatabases::newSqliteDsn();
    TempDir folder;
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 30000; ++i)
        rows.push_back({Value::integer(i)});
    pxfixture::writeTable(folder.file("long.db"), {12, 2, 1252, {{"N", FieldType::Long, 4, 0}}},
                          rows);
    ASSERT_EQ(transfer({QString::fromStdString(folder.path()), dsn}).status, 0);
    std::atomic<int> rowsRead = 0;
    EXPECT_THROW(checkOn(dsn, folder, "long.db", "LONG", {{"N", CheckedColumn::Compare::Number}},
                         [&] { return ++rowsRead > 100; }),
                 TableCheck::Stopped);
    EXPECT_LT(rowsRead, 300);
}
