// Each table's whole definition with --typed, on PostgreSQL and MariaDB: the corpus's required
// fields, defaults, pictures, secondary indexes and relationships, as an independent reading of
// its files lists them; what cannot be carried is named and the tables stay whole; a second run
// over the first makes the same relationships.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <fstream>

#include "fixture/ParadoxWriter.h"
#include "fixture/ValidityWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

QString corpus(const QString& folder = {}) {
    return QDir::cleanPath(QStringLiteral(MORVANE_CORPUS) + QLatin1Char('/') + folder);
}

QStringList column(const std::vector<QStringList>& rows) {
    QStringList values;
    for (const QStringList& row : rows)
        values << row[0];
    return values;
}

class Definition : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (!QFileInfo(corpus("joins")).isDir())
            GTEST_SKIP() << "no corpus";
        dsn_ = postgres() ? TestDatabases::newPostgresDsn() : TestDatabases::newMariaDbDsn();
        if (dsn_.isEmpty())
            GTEST_SKIP() << GetParam() << " is not installed";
    }
    bool postgres() const { return GetParam() == "postgres"; }

    // Each secondary index as "TABLE (columns)", from the target's catalog.
    QStringList indexes() const {
        return column(queryRows(
            dsn_, postgres()
                      ? "SELECT c.relname || ' ' || substring(pg_get_indexdef(i.indexrelid) from "
                        "'USING btree (.*)$') || CASE WHEN i.indisunique THEN ' unique' ELSE '' "
                        "END FROM pg_index i JOIN pg_class c ON c.oid = i.indrelid JOIN "
                        "pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = "
                        "current_schema() AND NOT i.indisprimary ORDER BY 1"
                      : "SELECT concat(table_name, ' (', group_concat(concat(column_name, "
                        "if(collation = 'D', ' DESC', '')) ORDER BY seq_in_index SEPARATOR ', "
                        "'), ')', if(non_unique = 0, ' unique', '')) FROM "
                        "information_schema.statistics WHERE table_schema = database() AND "
                        "index_name <> 'PRIMARY' GROUP BY table_name, index_name, non_unique "
                        "ORDER BY 1"));
    }
    // Each foreign key as "CHILD (columns) -> PARENT (columns) ON UPDATE x ON DELETE y".
    QStringList foreignKeys() const {
        return column(queryRows(
            dsn_,
            postgres()
                ? "SELECT conrelid::regclass::text || ' ' || pg_get_constraintdef(oid) FROM "
                  "pg_constraint WHERE contype = 'f' ORDER BY 1"
                : "SELECT concat(k.table_name, ' (', group_concat(k.column_name ORDER BY "
                  "k.ordinal_position SEPARATOR ', '), ') -> ', k.referenced_table_name, ' (', "
                  "group_concat(k.referenced_column_name ORDER BY k.ordinal_position SEPARATOR "
                  "', '), ') ON UPDATE ', r.update_rule, ' ON DELETE ', r.delete_rule) FROM "
                  "information_schema.key_column_usage k JOIN "
                  "information_schema.referential_constraints r ON r.constraint_schema = "
                  "k.constraint_schema AND r.constraint_name = k.constraint_name WHERE "
                  "k.table_schema = database() GROUP BY k.table_name, k.constraint_name, "
                  "k.referenced_table_name, r.update_rule, r.delete_rule ORDER BY 1"));
    }
    // Each column of `tables` as "TABLE.COLUMN nullable default comment".
    QStringList columns(const QString& tables) const {
        return column(queryRows(
            dsn_, (postgres()
                       ? QString("SELECT table_name || '.' || column_name || ' ' || is_nullable || "
                                 "' ' || coalesce(column_default, '-') || ' ' || "
                                 "coalesce(col_description(('\"' || table_name || "
                                 "'\"')::regclass, ordinal_position), '-') FROM "
                                 "information_schema.columns WHERE table_schema = "
                                 "current_schema() AND table_name IN (%1) ORDER BY 1")
                       : QString("SELECT concat(table_name, '.', column_name, ' ', is_nullable, "
                                 "' ', replace(coalesce(column_default, '-'), 'NULL', '-'), ' ', "
                                 "if(column_comment = '', '-', column_comment)) FROM "
                                 "information_schema.columns WHERE table_schema = database() AND "
                                 "table_name IN (%1) ORDER BY 1"))
                      .arg(tables)));
    }

    QString dsn_;
};

}  // namespace

// The corpus's definition, as the bytes of its .VAL and .Xnn files (read by hand) give it; the
// two lookups whose parents have no key are named. A second run, over the tables and their
// relationships, replaces every table and makes the same relationships again.
TEST_P(Definition, TheCorpusArrivesWithEveryRuleIndexAndRelationshipOfItsFiles) {
    const TransferRun run = transfer({"--typed", "--overwrite", corpus(), dsn_});
    ASSERT_EQ(run.status, 3) << run.err.toStdString();
    EXPECT_EQ(warningsOf(run), corpusDefinitionWarnings());

    const QStringList pgIndexes = {"AREACODES (lower((\"State\")::text))",
                                   "C (\"A\")",
                                   "C (\"B\")",
                                   "CASE (\"C\")",
                                   "CUSTOMER (\"City\")",
                                   "FK1 (\"FK\")",
                                   "FK2 (\"FK\")",
                                   "FK3 (\"FK2\")",
                                   "FK4 (\"FK1\", \"FK\")",
                                   "INDEXED (\"Indexed\" DESC)",
                                   "MULTIPLE (\"FK\")",
                                   "MULTIPLE (\"FK2\")",
                                   "TO_MULTIPLE (\"FK\")"};
    // MariaDB indexes an AutoInc column that does not lead the key for its counter; it compares
    // text by collation, so the case-insensitive index is a plain one.
    const QStringList mariaDbIndexes = {
        "AREACODES (State)", "C (A)",           "C (B)",
        "CASE (C)",          "CUSTOMER (City)", "DESTINATION (ID)",
        "ENCRYPTED (Id)",    "FK1 (FK)",        "FK2 (FK)",
        "FK3 (FK2)",         "FK4 (FK1, FK)",   "INDEXED (Indexed DESC)",
        "MULTIPLE (FK)",     "MULTIPLE (FK2)",  "ORIGIN (ID)",
        "TO_MULTIPLE (FK)"};
    EXPECT_EQ(indexes(), postgres() ? pgIndexes : mariaDbIndexes);

    const QStringList keys =
        postgres()
            ? QStringList{"\"C\" FOREIGN KEY (\"A\") REFERENCES \"A\"(\"A\") ON UPDATE CASCADE ON "
                          "DELETE RESTRICT",
                          "\"C\" FOREIGN KEY (\"B\") REFERENCES \"B\"(\"B\") ON UPDATE CASCADE ON "
                          "DELETE RESTRICT",
                          "\"FK1\" FOREIGN KEY (\"FK\") REFERENCES \"PRIMARY\"(\"ID\") ON UPDATE "
                          "CASCADE ON DELETE RESTRICT",
                          "\"FK2\" FOREIGN KEY (\"FK\") REFERENCES \"PRIMARY\"(\"ID\") ON UPDATE "
                          "RESTRICT ON DELETE RESTRICT",
                          "\"FK3\" FOREIGN KEY (\"FK2\") REFERENCES \"PRIMARY\"(\"ID\") ON UPDATE "
                          "RESTRICT ON DELETE RESTRICT",
                          "\"FK4\" FOREIGN KEY (\"FK1\", \"FK\") REFERENCES \"TWO\"(\"ID1\", "
                          "\"ID2\") ON UPDATE CASCADE ON DELETE RESTRICT",
                          "\"MULTIPLE\" FOREIGN KEY (\"FK\") REFERENCES \"PRIMARY\"(\"ID\") ON "
                          "UPDATE CASCADE ON DELETE RESTRICT",
                          "\"MULTIPLE\" FOREIGN KEY (\"FK2\") REFERENCES \"PRIMARY\"(\"ID\") ON "
                          "UPDATE CASCADE ON DELETE RESTRICT",
                          "\"TO_MULTIPLE\" FOREIGN KEY (\"FK\") REFERENCES \"MULTIPLE\"(\"ID\") "
                          "ON UPDATE CASCADE ON DELETE RESTRICT"}
            : QStringList{
                  "C (A) -> A (A) ON UPDATE CASCADE ON DELETE RESTRICT",
                  "C (B) -> B (B) ON UPDATE CASCADE ON DELETE RESTRICT",
                  "FK1 (FK) -> PRIMARY (ID) ON UPDATE CASCADE ON DELETE RESTRICT",
                  "FK2 (FK) -> PRIMARY (ID) ON UPDATE RESTRICT ON DELETE RESTRICT",
                  "FK3 (FK2) -> PRIMARY (ID) ON UPDATE RESTRICT ON DELETE RESTRICT",
                  "FK4 (FK1, FK) -> TWO (ID1, ID2) ON UPDATE CASCADE ON DELETE RESTRICT",
                  "MULTIPLE (FK) -> PRIMARY (ID) ON UPDATE CASCADE ON DELETE RESTRICT",
                  "MULTIPLE (FK2) -> PRIMARY (ID) ON UPDATE CASCADE ON DELETE RESTRICT",
                  "TO_MULTIPLE (FK) -> MULTIPLE (ID) ON UPDATE CASCADE ON DELETE RESTRICT"};
    EXPECT_EQ(foreignKeys(), keys);

    // Required fields (a key's are NOT NULL anyway), the default, the pictures as comments.
    EXPECT_EQ(columns("'C', 'MULTIPLE', 'PARADOX-ASCII', 'LOGICAL', 'AREACODE'"),
              (QStringList{
                  "AREACODE.Area Code NO - Paradox picture: ###", "AREACODE.Country YES - -",
                  "AREACODE.Full State YES - -", "AREACODE.State YES - Paradox picture: &&",
                  "C.A NO - -", "C.B YES - -", "C.C NO - -",
                  QString("LOGICAL.BOOL NO %1 -").arg(postgres() ? "true" : "1"),
                  "MULTIPLE.A YES - Paradox picture: [(*3{#}) ]*3{#}-*4{#}", "MULTIPLE.FK NO - -",
                  "MULTIPLE.FK2 YES - -", "MULTIPLE.ID NO - -", "PARADOX-ASCII.A NO - -"}));

    // Parents referred to are dropped and made again: their children's keys go and come back.
    const TransferRun again = transfer({"--typed", "--overwrite", corpus("joins"), dsn_});
    EXPECT_EQ(again.status, 3) << again.err.toStdString();
    EXPECT_TRUE(again.err.contains("Copied 18 of 18 tables")) << again.err.toStdString();
    EXPECT_EQ(warningsOf(again), corpusDefinitionWarnings());
    EXPECT_EQ(foreignKeys(), keys);
    EXPECT_EQ(queryRows(dsn_, "SELECT count(*) FROM \"C\"")[0][0], "3");
}

// A parent already on the target is referred to when it has a key on the fields; a child value
// without a parent row is named, and once the parent has it the key is made.
TEST_P(Definition, AParentOnTheTargetIsReferredToAndAnOrphanValueIsNamed) {
    ASSERT_EQ(transfer({"--typed", corpus("joins"), dsn_, "JOINA"}).status, 0);
    TestDatabases::execute(dsn_, R"(ALTER TABLE "JOINA" ADD PRIMARY KEY ("ID"))");
    const TransferRun orphan = transfer({"--typed", corpus("joins"), dsn_, "JOINB"});
    EXPECT_EQ(orphan.status, 3);
    EXPECT_EQ(warningsOf(orphan),
              QStringList{"JOINB: no foreign key to JOINA: 4 in Id has no row in JOINA"});
    EXPECT_EQ(queryRows(dsn_, "SELECT count(*) FROM \"JOINB\"")[0][0], "3");
    EXPECT_TRUE(foreignKeys().isEmpty());

    TestDatabases::execute(dsn_, R"(INSERT INTO "JOINA" VALUES (4))");
    const TransferRun keyed = transfer({"--typed", "--overwrite", corpus("joins"), dsn_, "JOINB"});
    EXPECT_EQ(keyed.status, 0) << keyed.err.toStdString();
    EXPECT_EQ(foreignKeys().size(), 1);
}

// A required field that holds a blank, a range that a row breaks, a validity file cut short or
// of a later version: named, left out, every row kept. Where the rows keep them, the rules hold on
// the target; a default keeps its quote and backslash.
TEST_P(Definition, RulesTheRowsBreakAreNamedAndTheOthersHoldOnTheTarget) {
    TempDir folder;
    const std::vector<px::Field> fields = {{"ID", FieldType::Long, 4, 0},
                                           {"QTY", FieldType::Long, 4, 0},
                                           {"CODE", FieldType::Alpha, 10, 0}};
    px::ValidityChecks checks;
    checks.fields.push_back({"QTY", true, Value::integer(0), Value::integer(10), {}, {}, {}});
    checks.fields.push_back({"CODE", false, {}, {}, Value::text(R"(a\b'c)"), {}, {}});
    pxfixture::TableLayout layout{12, 2, 1252, fields, false, 1, 0};
    pxfixture::writeTable(folder.file("broken.db"), layout,
                          {{Value::integer(1), Value::integer(5), Value::text("x")},
                           {Value::integer(2), Value(), Value::text("y")},
                           {Value::integer(3), Value::integer(11), Value::text("z")}});
    pxfixture::writeValidityFile(folder.file("broken.val"), fields, checks);
    pxfixture::writeTable(folder.file("kept.db"), layout,
                          {{Value::integer(1), Value::integer(5), Value::text("x")}});
    pxfixture::writeValidityFile(folder.file("kept.val"), fields, checks);

    // Validity files that cannot be read: cut short, and of a later version.
    for (const char* name : {"cut", "later"}) {
        pxfixture::writeTable(folder.file(std::string(name) + ".db"), layout,
                              {{Value::integer(1), Value(), Value::text("x")}});
        std::string bytes;
        {
            std::ifstream in(folder.file("kept.val"), std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        if (std::string(name) == "cut")
            bytes.resize(bytes.size() - 3);
        else
            bytes[1] = 0x0C;
        std::ofstream(folder.file(std::string(name) + ".val"), std::ios::binary) << bytes;
    }

    const TransferRun run = transfer({"--typed", QString::fromStdString(folder.path()), dsn_});
    EXPECT_EQ(run.status, 3);
    const QStringList warnings = warningsOf(run);
    ASSERT_EQ(warnings.size(), 4) << run.err.toStdString();
    EXPECT_EQ(warnings[0], "BROKEN: QTY cannot be required: 1 row has no value in it");
    EXPECT_EQ(warnings[1], "BROKEN: QTY gets no check of its range: 1 row lies outside it");
    EXPECT_TRUE(
        warnings[2].startsWith("CUT: its validity checks are not carried: The Paradox "
                               "table file "))
        << warnings[2].toStdString();
    EXPECT_EQ(warnings[3], "LATER: validity checks of this Paradox version are not carried");
    EXPECT_EQ(queryRows(dsn_, "SELECT count(*) FROM \"BROKEN\"")[0][0], "3");
    EXPECT_TRUE(run.err.contains("Copied 4 of 4 tables")) << run.err.toStdString();

    TestDatabases::execute(dsn_, R"(INSERT INTO "KEPT" ("ID", "QTY") VALUES (2, 10))");
    EXPECT_EQ(queryRows(dsn_, R"(SELECT "CODE" FROM "KEPT" WHERE "ID" = 2)")[0][0], R"(a\b'c)");
    for (const char* refused :
         {R"(INSERT INTO "KEPT" VALUES (3, NULL, 'n'))",
          R"(INSERT INTO "KEPT" VALUES (4, 11, 'n'))", R"(INSERT INTO "KEPT" VALUES (5, -1, 'n'))"})
        EXPECT_ANY_THROW(TestDatabases::execute(dsn_, refused)) << refused;
}

// A picture on the AutoInc key and rules on a BCD field: the validity file, which gives a BCD
// field's size as its decimals, is read, and the comment leaves the counter as it was.
TEST_P(Definition, APictureKeepsTheCounterAndABcdFieldKeepsItsRules) {
    TempDir folder;
    const std::vector<px::Field> fields = {{"ID", FieldType::AutoIncrement, 4, 0},
                                           {"PRICE", FieldType::Bcd, 17, 2}};
    px::ValidityChecks checks;
    checks.fields.push_back({"ID", false, {}, {}, {}, "#####", {}});
    checks.fields.push_back(
        {"PRICE", true, Value::decimal("0.00"), Value::decimal("100.00"), {}, {}, {}});
    pxfixture::TableLayout layout{12, 2, 1252, fields, false, 1, 2};
    pxfixture::writeTable(folder.file("priced.db"), layout,
                          {{Value::integer(1), Value::decimal("9.50")},
                           {Value::integer(2), Value::decimal("12.25")}});
    pxfixture::writeValidityFile(folder.file("priced.val"), fields, checks);

    const TransferRun run = transfer({"--typed", QString::fromStdString(folder.path()), dsn_});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(warningsOf(run).isEmpty()) << run.err.toStdString();
    TestDatabases::execute(dsn_, R"(INSERT INTO "PRICED" ("PRICE") VALUES (1.00))");
    EXPECT_EQ(queryRows(dsn_, R"(SELECT max("ID") FROM "PRICED")")[0][0], "3");
    for (const char* refused : {R"(INSERT INTO "PRICED" ("PRICE") VALUES (NULL))",
                                R"(INSERT INTO "PRICED" ("PRICE") VALUES (100.01))"})
        EXPECT_ANY_THROW(TestDatabases::execute(dsn_, refused)) << refused;
}

INSTANTIATE_TEST_SUITE_P(Targets, Definition, ::testing::Values("postgres", "mariadb"));

// SQLite adds no constraint to a table: the table is made again with its required fields and
// foreign keys, and its indexes made after; a second run replaces parents without dropping the
// keys that refer to them.
TEST(DefinitionOnSqlite, TheTableIsMadeAgainWithItsRulesAndForeignKeys) {
    if (!QFileInfo(corpus("joins")).isDir())
        GTEST_SKIP() << "no corpus";
    const QString dsn = TestDatabases::newSqliteDsn();
    for (int run = 0; run < 2; ++run) {
        const TransferRun copied = transfer({"--typed", "--overwrite", corpus("joins"), dsn});
        EXPECT_EQ(copied.status, 3) << copied.err.toStdString();
        EXPECT_EQ(warningsOf(copied), corpusDefinitionWarnings());
    }
    EXPECT_EQ(queryRows(dsn,
                        "SELECT \"table\" || ' ' || \"from\" || ' ' || \"to\" || ' ' || "
                        "on_update || ' ' || on_delete FROM pragma_foreign_key_list('FK4') "
                        "ORDER BY seq"),
              (std::vector<QStringList>{{"TWO FK1 ID1 CASCADE RESTRICT"},
                                        {"TWO FK ID2 CASCADE RESTRICT"}}));
    EXPECT_EQ(queryRows(dsn,
                        "SELECT name || ' ' || \"notnull\" FROM pragma_table_info('MULTIPLE') "
                        "ORDER BY cid"),
              (std::vector<QStringList>{{"ID 0"}, {"FK 1"}, {"A 0"}, {"FK2 0"}}));
    EXPECT_EQ(queryRows(dsn, "SELECT name FROM pragma_index_list('FK4') WHERE origin = 'c'"),
              std::vector<QStringList>{{"FK4_reference"}});
    EXPECT_EQ(queryRows(dsn, "PRAGMA foreign_key_check"), std::vector<QStringList>{});
}

// A range on a timestamp whose maximum a stored value equals holds on SQLite, which stores the
// driver's text with milliseconds.
TEST(DefinitionOnSqlite, ATimestampRangeComparesWithTheStoredForm) {
    const QString dsn = TestDatabases::newSqliteDsn();
    TempDir folder;
    const std::vector<px::Field> fields = {{"AT", FieldType::Timestamp, 8, 0}};
    const Value last = Value::timestamp(738000, 36000000);
    px::ValidityChecks checks;
    checks.fields.push_back({"AT", false, Value::timestamp(737000, 0), last, {}, {}, {}});
    pxfixture::writeTable(folder.file("times.db"), {12, 2, 1252, fields},
                          {{last}, {Value::timestamp(737500, 1500)}});
    pxfixture::writeValidityFile(folder.file("times.val"), fields, checks);
    const TransferRun run = transfer({"--typed", QString::fromStdString(folder.path()), dsn});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(warningsOf(run).isEmpty()) << run.err.toStdString();
    const QString above = QString::fromStdString(Value::timestamp(738000, 36000001).toText());
    EXPECT_ANY_THROW(TestDatabases::execute(dsn, "INSERT INTO \"TIMES\" VALUES ('" + above + "')"));
}
