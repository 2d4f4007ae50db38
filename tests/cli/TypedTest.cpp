// morvane-transfer --typed on real servers with real tables: every corpus table arrives with the
// column types its Paradox fields call for (read back from the catalogue), its primary key and
// an AutoInc counter that goes on above the copied values; the check compares typed values. A
// table whose rows break its own key still arrives whole.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "data/ParadoxModule.h"
#include "fixture/ParadoxWriter.h"
#include "paradox/Table.h"
#include "paradox/ValidityFile.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/RoundingServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

QString corpus() {
    return QDir::cleanPath(QStringLiteral(MORVANE_CORPUS));
}

// Every table of the corpus, with its file.
std::vector<TableEntry> corpusTables() {
    std::vector<TableEntry> tables;
    ScriptedDialogs dialogs;
    Paradox::ListParadoxTables(corpus(), dialogs,
                               [&](const TableEntry& table) { tables.push_back(table); });
    return tables;
}

// The column PostgreSQL's catalogue describes for a field: its type, and its length, scale or
// precision where the type has one.
QString postgresColumn(const px::Field& field) {
    switch (field.type) {
        case FieldType::Alpha:
            return QString("character varying(%1)").arg(field.size);
        case FieldType::Memo:
            return "text";
        case FieldType::Short:
            return "smallint";
        case FieldType::Long:
            return "integer";
        case FieldType::AutoIncrement:
            return "integer identity";
        case FieldType::Money:
        case FieldType::Number:
            return "double precision";
        case FieldType::Bcd:
            return QString("numeric(32,%1)").arg(field.decimals);
        case FieldType::Date:
            return "date";
        case FieldType::Time:
            return "time without time zone(6)";
        case FieldType::Timestamp:
            return "timestamp without time zone(6)";
        case FieldType::Logical:
            return "boolean";
        default:
            return "bytea";
    }
}

QString sqliteColumn(const px::Field& field) {
    switch (field.type) {
        case FieldType::Alpha:
            return QString("VARCHAR(%1)").arg(field.size);
        case FieldType::Memo:
            return "TEXT";
        case FieldType::Short:
            return "SMALLINT";
        case FieldType::Long:
        case FieldType::AutoIncrement:
            return "INTEGER";
        case FieldType::Money:
        case FieldType::Number:
            return "DOUBLE";
        case FieldType::Bcd:
            return QString("NUMERIC(32, %1)").arg(field.decimals);
        case FieldType::Date:
            return "DATE";
        case FieldType::Time:
            return "TIME";
        case FieldType::Timestamp:
            return "TIMESTAMP";
        case FieldType::Logical:
            return "BOOLEAN";
        default:
            return "BLOB";
    }
}

struct Catalogue {
    QStringList columns;  // as postgresColumn() or sqliteColumn() write them
    QStringList key;      // the primary key's columns, in order
};

Catalogue postgresCatalogue(const QString& dsn, const QString& table) {
    Catalogue catalogue;
    for (const QStringList& row : queryRows(dsn, QString(R"(
            SELECT data_type, character_maximum_length, numeric_precision, numeric_scale,
                   datetime_precision, is_identity
            FROM information_schema.columns WHERE table_schema = 'public' AND table_name = '%1'
            ORDER BY ordinal_position)")
                                                     .arg(table))) {
        QString column = row[0];
        if (column == "character varying")
            column += "(" + row[1] + ")";
        else if (column == "numeric")
            column += "(" + row[2] + "," + row[3] + ")";
        else if (column.startsWith("time"))
            column += "(" + row[4] + ")";
        else if (row[5] == "YES")
            column += " identity";
        catalogue.columns << column;
    }
    for (const QStringList& row : queryRows(dsn, QString(R"(
            SELECT a.attname FROM pg_index i
            JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = ANY(i.indkey)
            WHERE i.indisprimary AND i.indrelid = '"%1"'::regclass
            ORDER BY array_position(i.indkey, a.attnum))")
                                                     .arg(table)))
        catalogue.key << row[0];
    return catalogue;
}

Catalogue sqliteCatalogue(const QString& dsn, const QString& table) {
    Catalogue catalogue;
    for (const QStringList& row : queryRows(
             dsn, QString("SELECT type FROM pragma_table_info('%1') ORDER BY cid").arg(table)))
        catalogue.columns << row[0];
    for (const QStringList& row :
         queryRows(dsn, QString("SELECT name FROM pragma_table_info('%1') WHERE pk > 0 ORDER BY pk")
                            .arg(table)))
        catalogue.key << row[0];
    return catalogue;
}

}  // namespace

namespace {

// Whether the table's validity checks require a field: a row given no values is refused then.
bool hasRequiredFields(px::Table& table) {
    const std::optional<std::string> file = px::validityFileOf(table.path());
    if (!file)
        return false;
    const px::ValidityChecks checks = px::readValidityFile(*file, table);
    return std::any_of(checks.fields.begin(), checks.fields.end(),
                       [](const px::FieldChecks& field) { return field.required; });
}

}  // namespace

TEST(Typed, EveryCorpusTableArrivesWithItsTypesItsKeyAndACounterAboveItsValues) {
    if (!QFileInfo(corpus()).isDir())
        GTEST_SKIP() << "no corpus";
    for (const bool postgres : {true, false}) {
        // Side by side, each table is as it is one after the other, its relationships made
        // once all are there; SQLite, one writer at a time, copies them in turn.
        for (const QStringList& mode :
             {QStringList{}, QStringList{"--row-by-row"}, QStringList{"--jobs", "3"}}) {
            const QString dsn =
                postgres ? TestDatabases::newPostgresDsn() : TestDatabases::newSqliteDsn();
            if (dsn.isEmpty())
                continue;
            const TransferRun run = transfer(mode + QStringList{"--typed", corpus(), dsn});
            ASSERT_EQ(run.status, 3) << run.err.toStdString();
            EXPECT_EQ(warningsOf(run), corpusDefinitionWarnings());
            if (mode.contains("--jobs")) {
                EXPECT_EQ(run.err.contains("--jobs: SQLite takes one writer at a time"), !postgres);
            }
            for (const TableEntry& table : corpusTables()) {
                SCOPED_TRACE(
                    (table.name + (postgres ? " in PostgreSQL " : " in SQLite ") + mode.join(""))
                        .toStdString());
                EXPECT_TRUE(run.err.contains(
                    QRegularExpression("(^|\n)" + QRegularExpression::escape(table.name) +
                                       R"( \(table \d+ of \d+\): .*, verified\n)")));
                px::Table source(QFile::encodeName(table.file).toStdString());
                Catalogue expected;
                for (const px::Field& field : source.fields())
                    expected.columns << (postgres ? postgresColumn(field) : sqliteColumn(field));
                for (int i = 0; i < source.keyFieldCount(); ++i)
                    expected.key << QString::fromStdString(source.fields()[i].name);
                const Catalogue found = postgres ? postgresCatalogue(dsn, table.name)
                                                 : sqliteCatalogue(dsn, table.name);
                EXPECT_EQ(found.columns, expected.columns);
                EXPECT_EQ(found.key, expected.key);

                // A row given no value for the AutoInc column gets one above every copied value
                // and above the last one the Paradox table handed out; SQLite keeps a counter
                // only for a table's single key field.
                const auto autoInc = std::find_if(
                    source.fields().begin(), source.fields().end(),
                    [](const px::Field& f) { return f.type == FieldType::AutoIncrement; });
                if (autoInc == source.fields().end() ||
                    (!postgres && source.keyFieldCount() != 1) || hasRequiredFields(source))
                    continue;
                const QString column = QString::fromStdString(autoInc->name);
                const long long highest =
                    queryRows(dsn, QString(R"(SELECT coalesce(max("%1"), 0) FROM "%2")")
                                       .arg(column, table.name))[0][0]
                        .toLongLong();
                TestDatabases::execute(
                    dsn, QString(R"(INSERT INTO "%1" DEFAULT VALUES)").arg(table.name));
                const long long given =
                    queryRows(
                        dsn, QString(R"(SELECT max("%1") FROM "%2")").arg(column, table.name))[0][0]
                        .toLongLong();
                EXPECT_GT(given, highest);
                EXPECT_GT(given, source.autoIncrementValue());
            }
        }
    }
}

namespace {

// An AutoInc key ID and a NAME, whose counter handed out `last` last.
pxfixture::TableLayout countedByItsKey(int64_t last) {
    pxfixture::TableLayout layout{
        12, 2, 1252, {{"ID", FieldType::AutoIncrement, 4, 0}, {"NAME", FieldType::Alpha, 10, 0}}};
    layout.keyFields = 1;
    layout.lastAutoIncrement = last;
    return layout;
}

}  // namespace

// A keyed table that holds a key twice is damaged: refused with the way out, and salvaged with
// the key's first row, its key made. The counter starts above the header's last value, which lies
// above every row here.
TEST(Typed, ATableThatHoldsAKeyTwiceIsDamaged) {
    for (const bool postgres : {true, false}) {
        const QString dsn =
            postgres ? TestDatabases::newPostgresDsn() : TestDatabases::newSqliteDsn();
        if (dsn.isEmpty())
            continue;
        TempDir folder;
        pxfixture::TableLayout twice{
            12, 2, 1252, {{"ID", FieldType::Long, 4, 0}, {"NAME", FieldType::Alpha, 10, 0}}};
        twice.keyFields = 1;
        pxfixture::writeTable(folder.file("twice.db"), twice,
                              {{Value::integer(1), Value::text("one")},
                               {Value::integer(1), Value::text("again")},
                               {Value::integer(2), Value::text("two")}});
        pxfixture::writeTable(folder.file("counted.db"), countedByItsKey(500),
                              {{Value::integer(3), Value::text("three")}});
        const TransferRun run = transfer({"--typed", QString::fromStdString(folder.path()), dsn});
        EXPECT_EQ(run.status, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("\nFailed: TWICE: The Paradox table file ") &&
                    run.err.contains("twice.db is damaged at row 2 (record 2 of data block 1): "
                                     "its key ID is the key of the row before it; a keyed table "
                                     "holds each key once; --salvage copies the 2 rows that can "
                                     "be read\n"))
            << run.err.toStdString();
        const TransferRun salvaged =
            transfer({"--typed", "--salvage", QString::fromStdString(folder.path()), dsn, "TWICE"});
        EXPECT_EQ(salvaged.status, 1) << salvaged.err.toStdString();
        EXPECT_TRUE(salvaged.err.contains(
            "\nSalvaged: TWICE: 2 of 3 rows; 1 row in block 1 could not be read\n"))
            << salvaged.err.toStdString();
        EXPECT_EQ(queryRows(dsn, R"(SELECT "NAME" FROM "TWICE" ORDER BY "ID")"),
                  (std::vector<QStringList>{{"one"}, {"two"}}));
        TestDatabases::execute(dsn, R"(INSERT INTO "COUNTED"("NAME") VALUES('next'))");
        EXPECT_EQ(queryRows(dsn, R"(SELECT "ID" FROM "COUNTED" WHERE "NAME" = 'next')")[0][0],
                  "501");
    }
}

// What would be run can be shown first, and nothing is written; the listing names each field's
// Paradox type.
TEST(Typed, ADryRunPrintsTheStatementsAndWritesNothing) {
    const QString dsn = TestDatabases::newSqliteDsn();
    TempDir folder;
    pxfixture::TableLayout layout{12,
                                  2,
                                  1252,
                                  {{"ID", FieldType::AutoIncrement, 4, 0},
                                   {"AMOUNT", FieldType::Bcd, 17, 2},
                                   {"WHEN", FieldType::Timestamp, 8, 0}}};
    layout.keyFields = 1;
    layout.lastAutoIncrement = 9;
    pxfixture::writeTable(folder.file("orders.db"), layout,
                          {{Value::integer(4), Value::decimal("1.25"), Value()}});
    const QString path = QString::fromStdString(folder.path());
    const TransferRun dry = transfer({"--typed", "--dry-run", path, dsn});
    EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
    // The key and the counter are made on the work table, which takes its name once checked.
    EXPECT_TRUE(dry.out.endsWith(
        "-- ORDERS, from " + path +
        "/orders.db\n"
        R"(CREATE TABLE "ORDERS__morvane_new"("ID" INTEGER, "AMOUNT" NUMERIC(32, 2), "WHEN" TIMESTAMP);
CREATE TABLE "ORDERS__morvane_new__morvane_key"("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "AMOUNT" NUMERIC(32, 2), "WHEN" TIMESTAMP);
INSERT INTO "ORDERS__morvane_new__morvane_key" SELECT * FROM "ORDERS__morvane_new";
DROP TABLE "ORDERS__morvane_new";
ALTER TABLE "ORDERS__morvane_new__morvane_key" RENAME TO "ORDERS__morvane_new";
UPDATE sqlite_sequence SET seq = 9 WHERE name = 'ORDERS__morvane_new' AND seq < 9;
INSERT INTO sqlite_sequence(name, seq) SELECT 'ORDERS__morvane_new', 9 WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'ORDERS__morvane_new');
ALTER TABLE "ORDERS__morvane_new" RENAME TO "ORDERS";
)")) << dry.out.toStdString();
    // The screen's create statement keeps its own semicolon, and gets no second one.
    const TransferRun screenMapping = transfer({"--dry-run", path, dsn});
    EXPECT_TRUE(screenMapping.out.contains(
        "\n"
        R"(CREATE TABLE "ORDERS__morvane_new"("ID" NUMERIC,"AMOUNT" NUMERIC,"WHEN" TEXt);)"
        "\n"))
        << screenMapping.out.toStdString();
    EXPECT_FALSE(screenMapping.out.contains(";;"));
    EXPECT_TRUE(queryRows(dsn, "SELECT name FROM sqlite_master").empty());
    const TransferRun list = transfer({"--list", path, dsn});
    EXPECT_TRUE(
        list.out.contains("      ID\tAutoInc\tkey\n      AMOUNT\tBCD(2)\n      WHEN\tTimestamp\n"))
        << list.out.toStdString();
}

// The listing names each table's secondary indexes (fields in order, which descend, whether the
// index ignores case), its validity checks and its relationships; a dry run prints the
// statements that would make them.
TEST(Typed, TheListingAndTheDryRunShowEachTablesWholeDefinition) {
    if (!QFileInfo(corpus()).isDir())
        GTEST_SKIP() << "no corpus";
    const TransferRun list =
        transfer({"--list", corpus() + "/joins", TestDatabases::newSqliteDsn()});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    for (const char* line :
         {"      index A: A\n      index B: B\n      check C: required\n      check A: required\n"
          "      relationship Reference A: A -> A.db, updates cascade\n",
          "      index reference: FK1, FK\n      relationship reference: FK1, FK -> two.db, "
          "updates cascade\n",
          "      index Descending: Indexed DESC, ignoring case\n",
          "      check Id: looked up in joina.db\n",
          "      check A: picture [(*3{#}) ]*3{#}-*4{#}\n",
          "      relationship reference: FK -> primary.db, updates restricted\n"})
        EXPECT_TRUE(list.out.contains(line)) << line << "\n" << list.out.toStdString();

    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        return;
    const TransferRun dry =
        transfer({"--typed", "--dry-run", corpus() + "/joins", dsn, "FK4", "TWO"});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains("CREATE INDEX \"FK4_reference\" ON \"FK4\" (\"FK1\", \"FK\");\n"))
        << dry.out.toStdString();
    EXPECT_TRUE(dry.out.endsWith(
        "-- The foreign keys between the tables\n"
        "ALTER TABLE \"FK4\" ADD CONSTRAINT \"FK4_reference\" FOREIGN KEY (\"FK1\", \"FK\") "
        "REFERENCES \"TWO\" (\"ID1\", \"ID2\") ON UPDATE CASCADE ON DELETE RESTRICT;\n"))
        << dry.out.toStdString();
    EXPECT_TRUE(queryRows(dsn,
                          "SELECT tablename FROM pg_tables WHERE schemaname = "
                          "current_schema()")
                    .empty());
}

// A blank AutoInc value arrives as NULL, never as a number the target made up: as the key it
// leaves the table without its key (SQLite's keyed copy would have filled it in); elsewhere the
// column takes NULL and, on PostgreSQL, still counts on through its default.
TEST(Typed, ABlankAutoIncValueArrivesAsNull) {
    for (const bool postgres : {true, false}) {
        const QString dsn =
            postgres ? TestDatabases::newPostgresDsn() : TestDatabases::newSqliteDsn();
        if (dsn.isEmpty())
            continue;
        SCOPED_TRACE(dsn.toStdString());
        TempDir folder;
        const pxfixture::TableLayout keyed = countedByItsKey(10);
        pxfixture::writeTable(folder.file("gapkey.db"), keyed,
                              {{Value(), Value::text("b")},
                               {Value::integer(1), Value::text("a")},
                               {Value::integer(3), Value::text("c")}});
        pxfixture::TableLayout unkeyed = keyed;
        unkeyed.keyFields = 0;
        pxfixture::writeTable(folder.file("gapfree.db"), unkeyed,
                              {{Value::integer(5), Value::text("x")}, {Value(), Value::text("y")}});
        const TransferRun run = transfer({"--typed", QString::fromStdString(folder.path()), dsn});
        EXPECT_EQ(run.status, 3) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("GAPFREE (table 1 of 2): 2 of 2 rows, 100%"))
            << run.err.toStdString();
        EXPECT_TRUE(
            run.err.contains("\nWithout its key: GAPKEY: its rows arrived whole: its key "
                             "cannot be made: 1 row has a blank in a key field"))
            << run.err.toStdString();
        EXPECT_EQ(queryRows(dsn, R"(SELECT "ID" FROM "GAPKEY" ORDER BY "NAME")"),
                  (std::vector<QStringList>{{"1"}, {"NULL"}, {"3"}}));
        EXPECT_EQ(queryRows(dsn, R"(SELECT "ID" FROM "GAPFREE" ORDER BY "NAME")"),
                  (std::vector<QStringList>{{"5"}, {"NULL"}}));
        if (postgres) {
            TestDatabases::execute(dsn, R"(INSERT INTO "GAPFREE"("NAME") VALUES('next'))");
            EXPECT_EQ(queryRows(dsn, R"(SELECT "ID" FROM "GAPFREE" WHERE "NAME" = 'next')")[0][0],
                      "11");
        }
    }
}

// A table that fails twice, its key and its check, names both failures, each on its own line.
TEST(Typed, EachFailureOfATableHasALineOfItsOwn) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    RoundingServer::roundEveryNewTable(dsn);
    TempDir folder;
    pxfixture::TableLayout layout{
        12, 2, 1252, {{"ID", FieldType::Long, 4, 0}, {"NOTE", FieldType::Memo, 11, 0}}};
    layout.keyFields = 1;
    // A blank key leaves the key unmade.
    pxfixture::writeTable(folder.file("twice.db"), layout,
                          {{Value(), Value::text("short")},
                           {Value::integer(1), Value::text("a note longer than ten")}});
    const TransferRun run = transfer({"--typed", QString::fromStdString(folder.path()), dsn});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.count("\nFailed: TWICE: "), 2) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("\nFailed: TWICE: The table TWICE differs from its source: "))
        << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("more failures"));
}
