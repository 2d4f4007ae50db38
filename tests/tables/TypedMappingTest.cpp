// The typed mapping's statements for SQL Anywhere, which cannot run here: their text, held
// against the syntax its documentation gives. And a target not known by name, mapped from the
// type names its own driver lists, whose statements run for real.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include <sql.h>
#include <sqlext.h>

#include "ado/Connection.h"
#include "data/NameRule.h"
#include "data/TypedMapping.h"
#include "data/products/GenericOdbc.h"
#include "data/products/SqlAnywhere.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"

using px::FieldType;

namespace {

// One field of every Paradox type.
const std::vector<px::Field> kEveryType = {{"ID", FieldType::AutoIncrement, 4, 0},
                                           {"NAME", FieldType::Alpha, 40, 0},
                                           {"NOTE", FieldType::Memo, 11, 0},
                                           {"SMALL", FieldType::Short, 2, 0},
                                           {"COUNT", FieldType::Long, 4, 0},
                                           {"RATE", FieldType::Number, 8, 0},
                                           {"PRICE", FieldType::Money, 8, 0},
                                           {"EXACT", FieldType::Bcd, 17, 2},
                                           {"DAY", FieldType::Date, 4, 0},
                                           {"HOUR", FieldType::Time, 4, 0},
                                           {"STAMP", FieldType::Timestamp, 8, 0},
                                           {"DONE", FieldType::Logical, 1, 0},
                                           {"CODE", FieldType::Bytes, 16, 0},
                                           {"DATA", FieldType::Blob, 10, 0},
                                           {"FORMAT", FieldType::FormattedMemo, 11, 0},
                                           {"PICTURE", FieldType::Graphic, 10, 0},
                                           {"OBJECT", FieldType::Ole, 10, 0}};

}  // namespace

// SQL Anywhere: VARCHAR(n CHAR) counts characters, not the bytes of a UTF-8 database; LONG
// VARCHAR and LONG BINARY take any length; BIT is NOT NULL unless told NULL; DEFAULT
// AUTOINCREMENT keeps explicit values; ALTER TABLE ... ADD PRIMARY KEY; and sa_reset_identity
// (table, owner, n) makes the next value n + 1.
TEST(TypedMapping, SqlAnywhereStatementsFollowItsDocumentedSyntax) {
    ado::DataSourceInfo info;
    info.userName = "DBA";
    const SqlAnywhere anywhere(info);
    const TypedMapping::Mapping mapping(anywhere);
    EXPECT_EQ(
        mapping.definitions(kEveryType, false),
        R"("ID" INTEGER DEFAULT AUTOINCREMENT, "NAME" VARCHAR(40 CHAR), "NOTE" LONG VARCHAR, )"
        R"("SMALL" SMALLINT, "COUNT" INTEGER, "RATE" DOUBLE, "PRICE" DOUBLE, )"
        R"("EXACT" NUMERIC(32, 2), "DAY" DATE, "HOUR" TIME, "STAMP" TIMESTAMP, )"
        R"("DONE" BIT NULL, "CODE" VARBINARY(16), "DATA" LONG BINARY, "FORMAT" LONG BINARY, )"
        R"("PICTURE" LONG BINARY, "OBJECT" LONG BINARY)");
    EXPECT_EQ(mapping.keyStatements("Orders", kEveryType, 2, false),
              QStringList{R"(ALTER TABLE "Orders" ADD PRIMARY KEY ("ID", "NAME"))"});
    EXPECT_EQ(mapping.counterStatements("O'Hara", kEveryType, 1, 44, false),
              QStringList{"CALL sa_reset_identity('O''Hara', 'DBA', 44)"});
    EXPECT_TRUE(mapping.keyStatements("Orders", kEveryType, 0, false).isEmpty());
    // An AutoInc field that holds a blank: a column that takes NULL, counted all the same.
    EXPECT_TRUE(mapping.definitions(kEveryType, true)
                    .startsWith(R"("ID" INTEGER NULL DEFAULT AUTOINCREMENT, "NAME")"));
    EXPECT_EQ(mapping.counterStatements("T%1", kEveryType, 1, 44, true),
              QStringList{"CALL sa_reset_identity('T%1', 'DBA', 44)"});
    EXPECT_TRUE(mapping.notice().isEmpty());
    for (const px::Field& field : kEveryType)
        EXPECT_NE(mapping.columnFor(field).definition, "") << field.name;
}

// SQL Anywhere renames a table with ALTER TABLE ... RENAME new-name (RENAME ... TO is its grammar
// for columns), commits definitions at once, and counts its 128-character limit on names in
// bytes: a work table's name fits it, and two long names that begin alike get two of them.
TEST(TypedMapping, SqlAnywhereRenamesAndNamesWorkTablesByItsOwnRules) {
    ado::DataSourceInfo info;
    info.maxTableNameLength = 128;
    const SqlAnywhere anywhere(info);
    EXPECT_EQ(anywhere.renameStatement("O\"Hara__morvane_new", "O\"Hara"),
              R"(ALTER TABLE "O""Hara__morvane_new" RENAME "O""Hara")");
    EXPECT_TRUE(anywhere.ddlCommits());
    EXPECT_EQ(anywhere.workTableName("ORDERS"), "ORDERS__morvane_new");
    const QString longName = QString(60, QChar(0x00E9)) + "A";  // 121 bytes in UTF-8
    const QString work = anywhere.workTableName(longName);
    EXPECT_LE(work.toUtf8().size(), 128);
    EXPECT_TRUE(TargetProduct::isWorkTableName(work));
    EXPECT_TRUE(work.startsWith(QString(40, QChar(0x00E9)))) << work.toStdString();
    EXPECT_NE(anywhere.workTableName(QString(60, QChar(0x00E9)) + "B"), work);
}

// A schema on SQL Anywhere is the user who owns the tables: SETUSER makes the tables the
// connection creates that user's, and unqualified names find them; the journal, where the
// connection started, is named with its owner. Snake_case names there need no quotes: its
// reserved words (USER, ORDER, PRIMARY) get a "_".
TEST(TypedMapping, SqlAnywhereTakesASchemaAsAnOwnerAndNamesThatNeedNoQuotes) {
    ado::DataSourceInfo info;
    info.userName = "DBA";
    info.maxTableNameLength = 128;
    SqlAnywhere anywhere(info);
    EXPECT_EQ(anywhere.useSchemaStatements("legacy"), QStringList{R"(SETUSER "legacy")"});
    EXPECT_TRUE(anywhere.hasSchemas());

    const NameRule snake(NameRule::Style::Snake, anywhere);
    EXPECT_EQ(snake("Zip/Postal Code"), "zip_postal_code");
    EXPECT_EQ(snake(" Order  No. "), "order_no");
    EXPECT_EQ(snake("USER"), "user_");
    EXPECT_EQ(snake("Primary"), "primary_");
    EXPECT_EQ(snake("1st Ship-Date"), "_1st_ship_date");
    EXPECT_EQ(snake("%%"), "_");
    EXPECT_EQ(snake("Année"), "année");
    EXPECT_EQ(NameRule(NameRule::Style::Lower, anywhere)("Order No"), "order no");
    EXPECT_EQ(NameRule()("Order No"), "Order No");
}

// The rest of a definition on SQL Anywhere: ALTER column-name with NOT NULL or DEFAULT (no
// COLUMN, no SET), a named CHECK, COMMENT ON COLUMN, CREATE UNIQUE INDEX with DESC (an index that
// ignores case is a plain one: its collation decides), and a named FOREIGN KEY whose deletes are
// restricted; its string literals double a backslash, its booleans are BIT.
TEST(TypedMapping, SqlAnywhereWritesTheDefinitionInItsDocumentedGrammar) {
    ado::DataSourceInfo info;
    info.maxTableNameLength = 128;
    const SqlAnywhere anywhere(info);
    TableDefinition definition{"Orders", kEveryType, 1, false, {}, {}, {}};
    ColumnRules count;
    count.field = kEveryType[4];
    count.required = true;
    count.minimum = anywhere.valueLiteral(px::Value::integer(0));
    count.maximum = anywhere.valueLiteral(px::Value::integer(100));
    ColumnRules name;
    name.field = kEveryType[1];
    name.defaultValue = anywhere.valueLiteral(px::Value::text(R"(O'a\b)"));
    name.picture = "&&;#";
    definition.columns = {count, name};
    definition.indexes.push_back({"ByName", {"NAME", "COUNT"}, {true, false}, {true, false}, true});
    QStringList statements;
    for (const DefinitionStep& step : anywhere.definitionSteps(definition))
        statements << step.statements;
    EXPECT_EQ(statements,
              (QStringList{R"(ALTER TABLE "Orders" ALTER "COUNT" NOT NULL)",
                           R"(ALTER TABLE "Orders" ADD CONSTRAINT "Orders_COUNT_range" CHECK )"
                           R"(("COUNT" >= 0 AND "COUNT" <= 100))",
                           R"(ALTER TABLE "Orders" ALTER "NAME" DEFAULT 'O''a\\b')",
                           R"(COMMENT ON COLUMN "Orders"."NAME" IS 'Paradox picture: &&;#')",
                           R"(CREATE UNIQUE INDEX "Orders_ByName" ON "Orders" ("NAME" DESC, )"
                           R"("COUNT"))"}));
    EXPECT_EQ(anywhere.valueLiteral(px::Value::boolean(true)), "1");
    definition.foreignKeys.push_back({"Orders_ref", {"COUNT"}, "Parent", {"ID"}});
    // A key read from another table keeps its rules: SQL Anywhere has no NO ACTION, and checks
    // a deferred key on commit.
    definition.foreignKeys.push_back({"Kept",
                                      {"COUNT"},
                                      "Parent",
                                      {"ID"},
                                      KeyAction::NoAction,
                                      KeyAction::SetNull,
                                      KeyDeferral::InitiallyDeferred});
    const std::vector<DefinitionStep> keys = anywhere.foreignKeySteps(definition);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].failure, "no foreign key to Parent");
    EXPECT_EQ(keys[0].statements,
              QStringList{R"(ALTER TABLE "Orders" ADD CONSTRAINT "Orders_ref" FOREIGN KEY )"
                          R"(("COUNT") REFERENCES "Parent" ("ID") ON UPDATE RESTRICT ON DELETE )"
                          R"(RESTRICT)"});
    EXPECT_EQ(keys[1].statements,
              QStringList{R"(ALTER TABLE "Orders" ADD CONSTRAINT "Kept" FOREIGN KEY ("COUNT") )"
                          R"(REFERENCES "Parent" ("ID") ON UPDATE RESTRICT ON DELETE SET NULL )"
                          R"(CHECK ON COMMIT)"});
    EXPECT_EQ(anywhere.dropForeignKey("Orders", "Orders_ref"),
              R"(ALTER TABLE "Orders" DROP CONSTRAINT "Orders_ref")");
    EXPECT_TRUE(anywhere.foreignKeysHoldDrops());
}

// A product not known by name carries what its driver says it can (here defaults and indexes,
// no constraints), and names the rest in one line.
TEST(TypedMapping, AnUnknownTargetCarriesWhatItsDriverSaysItCan) {
    ado::DataSourceInfo info;
    info.alterTable = SQL_AT_SET_COLUMN_DEFAULT;
    info.createsIndexes = true;
    const GenericOdbc somebase(info, {});
    TableDefinition definition{"T", kEveryType, 1, false, {}, {}, {}};
    ColumnRules count;
    count.field = kEveryType[4];
    count.required = true;
    count.defaultValue = "7";
    count.minimum = "0";
    count.picture = "#";
    definition.columns = {count};
    definition.indexes.push_back({"ByCount", {"COUNT"}, {false}, {false}, false});
    definition.foreignKeys.push_back({"T_ref", {"COUNT"}, "P", {"ID"}, KeyAction::Cascade});
    QStringList statements;
    for (const DefinitionStep& step : somebase.definitionSteps(definition))
        statements << step.statements;
    EXPECT_EQ(statements, (QStringList{R"(ALTER TABLE "T" ALTER COLUMN "COUNT" SET DEFAULT 7)",
                                       R"(CREATE INDEX "T_ByCount" ON "T" ("COUNT"))"}));
    EXPECT_TRUE(somebase.foreignKeySteps(definition).empty());
    EXPECT_EQ(somebase.leftOut(),
              "required fields, pictures, range checks, foreign keys: its "
              "ODBC driver names no statement for them");
}

// A product the program does not know by name: each type is the first its driver lists for the
// kind of field, which SQLite's driver answers for here, and the statements run.
TEST(TypedMapping, AnUnknownTargetIsMappedFromTheTypesItsDriverLists) {
    const QString dsn = TestDatabases::newSqliteDsn();
    ado::Connection target;
    target.Open("Data Source=" + dsn);
    ado::DataSourceInfo info;
    info.dbmsName = "Somebase";
    const GenericOdbc somebase(info, GenericOdbc::typeNamesOf(target));
    const TypedMapping::Mapping mapping(somebase);
    EXPECT_TRUE(
        mapping.notice().startsWith("Typed mapping for Somebase, a product not known by name: "));
    const QString definitions = mapping.definitions(kEveryType, false);
    EXPECT_TRUE(definitions.contains(QRegularExpression(R"re("NAME" \w+\(40\))re")))
        << definitions.toStdString();
    target.Execute(R"(CREATE TABLE "EVERY"()" + definitions + ")");
    EXPECT_EQ(queryRows(dsn, R"(SELECT count(*) FROM pragma_table_info('EVERY'))")[0][0], "17");
}
