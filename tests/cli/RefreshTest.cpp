// The move is many runs: --refresh leaves a table whose source is as its record says, brings a
// keyed table in step in place (its key and other tables' foreign keys untouched), replaces one
// it cannot, and refuses one it has no record of; --verify names a row changed on the target.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <filesystem>

#include "ado/Connection.h"
#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

const std::vector<px::Field> kOrders = {{"ID", FieldType::Long, 4, 0},
                                        {"CUSTOMER", FieldType::Alpha, 20, 0},
                                        {"AMOUNT", FieldType::Number, 8, 0}};

// ORDERS keyed on ID, 1 to `rows`; `edits` changes ID 3's customer, leaves ID 7 out and adds
// an order after the last.
void writeOrders(const TempDir& folder, int rows, bool edits = false) {
    std::vector<std::vector<Value>> values;
    for (int id = 1; id <= rows + (edits ? 1 : 0); ++id) {
        if (edits && id == 7)
            continue;
        const std::string customer =
            edits && id == 3 ? "moved away" : "customer " + std::to_string(id);
        values.push_back({Value::integer(id), Value::text(customer), Value::real(id * 2.5)});
    }
    pxfixture::TableLayout layout{12, 2, 1252, kOrders};
    layout.keyFields = 1;
    pxfixture::writeTable(folder.file("orders.db"), layout, values);
}

// CODES keyed on text whose byte order is not a dictionary's ("B" before "a").
void writeCodes(const TempDir& folder, const std::string& last) {
    pxfixture::TableLayout layout{
        12, 2, 1252, {{"CODE", FieldType::Alpha, 4, 0}, {"LABEL", FieldType::Alpha, 10, 0}}};
    layout.keyFields = 1;
    pxfixture::writeTable(folder.file("codes.db"), layout,
                          {{Value::text("A1"), Value::text("first")},
                           {Value::text("B2"), Value::text("second")},
                           {Value::text("a3"), Value::text(last)}});
}

// NOTES without a key.
void writeNotes(const TempDir& folder, int rows) {
    std::vector<std::vector<Value>> values;
    for (int i = 0; i < rows; ++i)
        values.push_back({Value::text("note " + std::to_string(i))});
    pxfixture::writeTable(folder.file("notes.db"),
                          {12, 2, 1252, {{"TEXT", FieldType::Alpha, 20, 0}}}, values);
}

QString path(const TempDir& dir) {
    return QString::fromStdString(dir.path());
}

QStringList rowsOf(const QString& dsn, const QString& sql) {
    QStringList rows;
    for (const QStringList& row : queryRows(dsn, sql))
        rows << row.join(" ");
    return rows;
}

QString lineOf(const QString& err, const QString& table) {
    for (const QString& line : err.split('\n'))
        if (line.startsWith(table + " (table"))
            return line;
    return {};
}

class Refresh : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        dsn_ = GetParam() == "sqlite" ? TestDatabases::newSqliteDsn()
                                      : TestDatabases::newDsnOn(GetParam());
        if (dsn_.isEmpty())
            GTEST_SKIP() << GetParam() << " is not installed";
    }
    QString dsn_;
};

}  // namespace

// A refresh with nothing changed reads and writes nothing: a value changed on the target stays,
// and --verify names it. Three edits to a keyed table then arrive in place, the target's own
// change undone, a foreign key another table has to it untouched; a keyless table is replaced
// and the line says why.
TEST_P(Refresh, KeepsWhatIsUnchangedAndWritesOnlyTheDifferenceInPlace) {
    TempDir folder;
    writeOrders(folder, 40);
    writeCodes(folder, "third");
    writeNotes(folder, 5);
    const TransferRun first = transfer({"--typed", path(folder), dsn_});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    const TransferRun list = transfer({"--list", path(folder), dsn_});
    EXPECT_TRUE(list.out.contains("      verified copy of ORDERS from " +
                                  QString::fromStdString(folder.file("orders.db")) +
                                  ": 40 rows, typed, "))
        << list.out.toStdString();
    const bool keysHere = GetParam() != "sqlite";
    if (keysHere)
        TestDatabases::execute(dsn_, R"(CREATE TABLE "CHILD" ("ORDER_ID" INTEGER,
            CONSTRAINT "child_order" FOREIGN KEY ("ORDER_ID") REFERENCES "ORDERS" ("ID")))");
    if (keysHere)
        TestDatabases::execute(dsn_, R"(INSERT INTO "CHILD" VALUES (5))");
    TestDatabases::execute(dsn_,
                           R"(UPDATE "ORDERS" SET "CUSTOMER" = 'changed here' WHERE "ID" = 12)");

    const TransferRun unchanged = transfer({"--typed", "--refresh", path(folder), dsn_});
    EXPECT_EQ(unchanged.status, 0) << unchanged.err.toStdString();
    for (const QString table : {"ORDERS", "CODES", "NOTES"})
        EXPECT_TRUE(lineOf(unchanged.err, table).contains("unchanged since the verified copy of "))
            << unchanged.err.toStdString();
    EXPECT_TRUE(unchanged.err.contains("3 unchanged, 0 refreshed (+0 ~0 \u22120), 0 replaced"))
        << unchanged.err.toStdString();
    EXPECT_EQ(rowsOf(dsn_, R"(SELECT "CUSTOMER" FROM "ORDERS" WHERE "ID" = 12)"),
              QStringList{"changed here"});

    const TransferRun verified = transfer({"--verify", path(folder), dsn_});
    EXPECT_EQ(verified.status, 1) << verified.err.toStdString();
    EXPECT_TRUE(verified.err.contains("Differs: The table ORDERS differs from its source"))
        << verified.err.toStdString();
    EXPECT_TRUE(verified.err.contains("'changed here'")) << verified.err.toStdString();
    EXPECT_TRUE(verified.err.contains("CODES: equals its source")) << verified.err.toStdString();

    writeOrders(folder, 40, true);
    writeCodes(folder, "changed");
    writeNotes(folder, 6);
    TempDir reports;
    const QString report = QString::fromStdString(reports.file("run.json"));
    const TransferRun edited =
        transfer({"--typed", "--refresh", "--report", report, path(folder), dsn_});
    EXPECT_EQ(edited.status, 0) << edited.err.toStdString();
    EXPECT_TRUE(lineOf(edited.err, "ORDERS").contains(": refreshing, 4 rows differ, "))
        << edited.err.toStdString();
    EXPECT_TRUE(edited.err.contains("\nORDERS: refreshed (+1 ~2 \u22121), verified\n"))
        << edited.err.toStdString();
    EXPECT_TRUE(edited.err.contains("\nCODES: refreshed (+0 ~1 \u22120), verified\n"))
        << edited.err.toStdString();
    EXPECT_TRUE(lineOf(edited.err, "NOTES").contains("replaced, it has no key, verified"))
        << edited.err.toStdString();
    EXPECT_EQ(
        rowsOf(dsn_,
               R"(SELECT "CUSTOMER" FROM "ORDERS" WHERE "ID" IN (3, 7, 12, 41) ORDER BY "ID")"),
        (QStringList{"moved away", "customer 12", "customer 41"}));
    // The report gives each table's counts, and why a table was replaced.
    QFile file(report);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList refreshes;
    for (const QJsonValue table : QJsonDocument::fromJson(file.readAll())["tables"].toArray()) {
        const QJsonObject refresh = table["refresh"].toObject();
        refreshes << table["name"].toString() + " " + refresh["did"].toString() + " " +
                         QString::number(refresh["inserted"].toInt()) +
                         QString::number(refresh["updated"].toInt()) +
                         QString::number(refresh["deleted"].toInt()) + " " +
                         refresh["because"].toString();
    }
    refreshes.sort();
    EXPECT_EQ(refreshes, (QStringList{"CODES refreshed 010 ", "NOTES replaced 000 it has no key",
                                      "ORDERS refreshed 121 "}));
    if (keysHere) {
        EXPECT_EQ(rowsOf(dsn_,
                         "SELECT count(*) FROM information_schema.table_constraints WHERE "
                         "constraint_name = 'child_order'"),
                  QStringList{"1"});
        EXPECT_EQ(rowsOf(dsn_, R"(SELECT count(*) FROM "CHILD")"), QStringList{"1"});
    }
    // A recorded table whose source is gone is named and kept.
    std::filesystem::remove(folder.file("codes.db"));
    const TransferRun gone = transfer({"--typed", "--refresh", path(folder), dsn_});
    EXPECT_EQ(gone.status, 0) << gone.err.toStdString();
    EXPECT_TRUE(gone.err.contains("CODES: its source " +
                                  QString::fromStdString(folder.file("codes.db")) +
                                  " is gone; the table is left as it is"))
        << gone.err.toStdString();
    writeCodes(folder, "changed");
    const TransferRun proven = transfer({"--verify", path(folder), dsn_});
    EXPECT_EQ(proven.status, 0) << proven.err.toStdString();
    EXPECT_TRUE(proven.err.contains("3 of 3 recorded tables equal their source."))
        << proven.err.toStdString();
}

// A table the target has without a record (made by another program), or recorded with the
// other mapping, is refused and left as it is, unless --overwrite replaces it.
TEST_P(Refresh, RefusesATableItHasNoRecordOfUnlessOverwrite) {
    TempDir folder;
    writeOrders(folder, 10);
    TestDatabases::execute(dsn_, R"(CREATE TABLE "ORDERS" ("ID" INTEGER))");
    const TransferRun refused = transfer({"--typed", "--refresh", path(folder), dsn_});
    EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(
        "ORDERS is not refreshed: it has no record of a verified copy (made by another program, "
        "or before records were kept); --overwrite replaces it"))
        << refused.err.toStdString();
    EXPECT_EQ(rowsOf(dsn_, R"(SELECT count(*) FROM "ORDERS")"), QStringList{"0"});

    const TransferRun replaced =
        transfer({"--typed", "--refresh", "--overwrite", path(folder), dsn_});
    EXPECT_EQ(replaced.status, 0) << replaced.err.toStdString();
    EXPECT_TRUE(lineOf(replaced.err, "ORDERS").contains("replaced, it has no record"))
        << replaced.err.toStdString();
    EXPECT_EQ(rowsOf(dsn_, R"(SELECT count(*) FROM "ORDERS")"), QStringList{"10"});

    // A field more in the source: its definition changed, and the table is replaced whole.
    std::vector<px::Field> wider = kOrders;
    wider.push_back({"NOTE", FieldType::Alpha, 10, 0});
    pxfixture::TableLayout layout{12, 2, 1252, wider};
    layout.keyFields = 1;
    pxfixture::writeTable(
        folder.file("orders.db"), layout,
        {{Value::integer(1), Value::text("a"), Value::real(1), Value::text("n")}});
    const TransferRun restructured = transfer({"--typed", "--refresh", path(folder), dsn_});
    EXPECT_EQ(restructured.status, 0) << restructured.err.toStdString();
    EXPECT_TRUE(
        lineOf(restructured.err, "ORDERS").contains("replaced, its definition changed, verified"))
        << restructured.err.toStdString();
    EXPECT_EQ(rowsOf(dsn_, R"(SELECT "NOTE" FROM "ORDERS")"), QStringList{"n"});

    const TransferRun otherMapping = transfer({"--refresh", path(folder), dsn_});
    EXPECT_EQ(otherMapping.status, 1) << otherMapping.err.toStdString();
    EXPECT_TRUE(
        otherMapping.err.contains("ORDERS is not refreshed: its verified copy was made with "
                                  "--typed; --overwrite replaces it"))
        << otherMapping.err.toStdString();
}

// A parent deleted in the source with its children, and a new parent with a new child, arrive
// in one run through a foreign key the target has between them: the child's deletes go first,
// its new rows after the parent's.
TEST_P(Refresh, RelatedTablesArriveInAnOrderTheirKeyAccepts) {
    if (GetParam() == "sqlite")
        GTEST_SKIP() << "SQLite does not hold its foreign keys here";
    TempDir folder;
    const auto write = [&](const std::vector<int>& parents) {
        pxfixture::TableLayout parent{12, 2, 1252, {{"ID", FieldType::Long, 4, 0}}};
        parent.keyFields = 1;
        pxfixture::TableLayout kids{
            12, 2, 1252, {{"ID", FieldType::Long, 4, 0}, {"PARENT", FieldType::Long, 4, 0}}};
        kids.keyFields = 1;
        std::vector<std::vector<Value>> parentRows, kidRows;
        for (int id : parents) {
            parentRows.push_back({Value::integer(id)});
            kidRows.push_back({Value::integer(id * 10), Value::integer(id)});
        }
        pxfixture::writeTable(folder.file("aparent.db"), parent, parentRows);
        pxfixture::writeTable(folder.file("zkids.db"), kids, kidRows);
    };
    write({1, 2, 3});
    ASSERT_EQ(transfer({"--typed", path(folder), dsn_}).status, 0);
    TestDatabases::execute(dsn_, R"(ALTER TABLE "ZKIDS" ADD CONSTRAINT "kid_parent"
        FOREIGN KEY ("PARENT") REFERENCES "APARENT" ("ID"))");
    write({1, 3, 4});
    const TransferRun refreshed = transfer({"--typed", "--refresh", path(folder), dsn_});
    EXPECT_EQ(refreshed.status, 0) << refreshed.err.toStdString();
    EXPECT_EQ(rowsOf(dsn_, R"(SELECT "ID", "PARENT" FROM "ZKIDS" ORDER BY "ID")"),
              (QStringList{"10 1", "30 3", "40 4"}));
    EXPECT_EQ(rowsOf(dsn_,
                     "SELECT count(*) FROM information_schema.table_constraints WHERE "
                     "constraint_name = 'kid_parent'"),
              QStringList{"1"});

    // The parent alone loses a row its child still refers to: refused, rolled back, the key named.
    write({3, 4});
    const TransferRun refused = transfer({"--typed", "--refresh", path(folder), dsn_, "APARENT"});
    EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
    EXPECT_TRUE(
        refused.err.contains("Failed: APARENT: APARENT was not refreshed: the target keeps "
                             "its table as it was: "))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("kid_parent")) << refused.err.toStdString();
    EXPECT_EQ(rowsOf(dsn_, R"(SELECT "ID" FROM "APARENT" ORDER BY "ID")"),
              (QStringList{"1", "3", "4"}));
}

// A source saved while the refresh compares it is compared again from the start, and the
// target ends as the saved source: never a mix of its two states.
TEST_P(Refresh, ASourceSavedWhileComparedIsComparedAgain) {
    if (GetParam() != "postgres")
        GTEST_SKIP() << "the compare is held by a PostgreSQL lock";
    TempDir folder;
    writeOrders(folder, 40);
    ASSERT_EQ(transfer({"--typed", path(folder), dsn_}).status, 0);
    writeOrders(folder, 40, true);
    // Another session holds the table, so that the compare's reading waits for it.
    ado::Connection holder;
    holder.Open("Data Source=" + dsn_);
    holder.BeginTrans();
    holder.Execute(R"(LOCK TABLE "ORDERS" IN ACCESS EXCLUSIVE MODE)");
    QProcess run;
    startTransfer(run, {"--typed", "--refresh", path(folder), dsn_});
    ASSERT_TRUE(TestDatabases::waitForStatement(dsn_, R"(FROM "ORDERS" ORDER BY)"));
    writeOrders(folder, 40);
    holder.RollbackTrans();
    const TransferRun refreshed = finishedTransfer(run);
    EXPECT_EQ(refreshed.status, 0) << refreshed.err.toStdString();
    EXPECT_TRUE(
        refreshed.err.contains("ORDERS changed while it was copied: a program is writing "
                               "to it; copying it again (copy 2 of 3)"))
        << refreshed.err.toStdString();
    EXPECT_EQ(rowsOf(dsn_, R"(SELECT "CUSTOMER" FROM "ORDERS" WHERE "ID" IN (3, 7) ORDER BY "ID")"),
              (QStringList{"customer 3", "customer 7"}));
}

// The check before the commit is what proves a refresh: a target that changes what it is sent
// (a trigger here) rolls every change back, and the difference is named.
TEST_P(Refresh, ARefreshThatDiffersFromItsSourceIsRolledBack) {
    if (GetParam() != "postgres")
        GTEST_SKIP() << "the target's trigger is PostgreSQL's";
    TempDir folder;
    writeOrders(folder, 40);
    ASSERT_EQ(transfer({"--typed", path(folder), dsn_}).status, 0);
    TestDatabases::execute(dsn_, R"(CREATE FUNCTION tamper() RETURNS trigger LANGUAGE plpgsql
        AS $$ BEGIN NEW."CUSTOMER" := 'tampered'; RETURN NEW; END $$)");
    TestDatabases::execute(dsn_, R"(CREATE TRIGGER tamper BEFORE UPDATE ON "ORDERS"
        FOR EACH ROW EXECUTE FUNCTION tamper())");
    writeOrders(folder, 40, true);
    const TransferRun refused = transfer({"--typed", "--refresh", path(folder), dsn_});
    EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
    EXPECT_TRUE(
        refused.err.contains("Failed: ORDERS: ORDERS was not refreshed: the target keeps "
                             "its table as it was: The table ORDERS differs from its "
                             "source"))
        << refused.err.toStdString();
    EXPECT_EQ(rowsOf(dsn_, R"(SELECT "CUSTOMER" FROM "ORDERS" WHERE "ID" IN (3, 7) ORDER BY "ID")"),
              (QStringList{"customer 3", "customer 7"}));
}

INSTANTIATE_TEST_SUITE_P(Targets, Refresh, ::testing::Values("sqlite", "postgres", "mariadb"));
