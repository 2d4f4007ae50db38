// The check of every copied table against its source, on real servers that change what they
// are given: one that rounds numbers and cuts text, one that stores a row nobody sent. And the
// check's own promise: its result does not depend on the order rows come back in, and what it
// shows of a difference can be seen.
#include <gtest/gtest.h>

#include "ado/Connection.h"
#include "data/products/TargetProduct.h"
#include "fixture/ParadoxWriter.h"
#include "operations/CheckedValue.h"
#include "operations/TableCheck.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/RoundingServer.h"
#include "support/TablesScreen.h"
#include "support/TempDir.h"

using px::FieldType;
using px::Value;

// The screen tells a table the server changed in one box, at a line of its own, with the counts
// and the first examples; a table that arrived exactly shows nothing.
TEST(CopiedTablesAreChecked, AServerThatRoundsAndCutsIsCaughtWithItsExamples) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    RoundingServer::roundEveryNewTable(dsn);
    TablesScreen screen(dsn);
    screen.writeParadoxTable("rounded.db", RoundingServer::fields(), RoundingServer::rows());
    screen.writeParadoxTable("fits.db", RoundingServer::fields(),
                             {{Value::integer(7), Value::text("ten chars!"), Value::real(0.5)}});
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"ROUNDED", "FITS"});
    screen.form2().PushButton4_Click();
    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1) << errors.join("\n").toStdString();
    EXPECT_TRUE(errors[0].startsWith(RoundingServer::report() + "\r\n")) << errors[0].toStdString();
    EXPECT_TRUE(errors[0].contains("Form2.PushButton4_Click at line 268"));
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), (QStringList{"FITS", "ROUNDED"}));
}

// A trigger that stores a second row for one row sent, and a source row the target refused:
// the counts tell both, and the rows are named.
TEST(CopiedTablesAreChecked, ARowStoredThatWasNotSentIsCounted) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TestDatabases::execute(dsn, R"(CREATE FUNCTION echo_two() RETURNS trigger LANGUAGE plpgsql
        AS $$ BEGIN
            IF NEW."ID" = 2 THEN
                EXECUTE format('INSERT INTO %I.%I VALUES (200, %L, NULL)', TG_TABLE_SCHEMA,
                               TG_TABLE_NAME, 'echo');
            END IF;
            RETURN NEW;
        END $$)");
    TestDatabases::onEveryNewTable(
        dsn, "echoing",
        "CREATE TRIGGER echo AFTER INSERT ON %s FOR EACH ROW EXECUTE FUNCTION "
        "echo_two()");
    TablesScreen screen(dsn);
    screen.writeParadoxTable("echoed.db", RoundingServer::fields(),
                             {{Value::integer(1), Value::text("one"), Value::real(1)},
                              {Value::integer(2), Value::text("two"), Value::real(2)},
                              {Value::integer(3), Value::text("three"), Value::real(3)}});
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"ECHOED"});
    screen.form2().PushButton4_Click();
    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1) << errors.join("\n").toStdString();
    EXPECT_TRUE(errors[0].startsWith(
        "The table ECHOED differs from its source: 3 rows sent, 4 stored, 0 values differ, 1 row "
        "stored that was not sent: a row not sent: stored ('200', 'echo', NULL)."))
        << errors[0].toStdString();
}

// The same differences whatever order the target gives the rows back in: rows stored in the
// reverse order, and again shuffled, give the same result to the last example.
TEST(TableCheck, TheResultDoesNotDependOnTheOrderOfTheStoredRows) {
    TempDir folder;
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 500; ++i)
        rows.push_back({Value::integer(i), Value::text("name " + std::to_string(i % 37)),
                        Value::real(i * 0.25)});
    pxfixture::writeTable(folder.file("source.db"), {12, 2, 1252, RoundingServer::fields()}, rows);
    ado::Connection paradox;
    paradox.Open(QString("Driver={Microsoft Paradox Driver (*.db )};DefaultDir=") +
                 QString::fromStdString(folder.path()));
    const std::vector<CheckedColumn> columns = {{"ID", CheckedColumn::Compare::Number},
                                                {"NAME", CheckedColumn::Compare::Text},
                                                {"AMOUNT", CheckedColumn::Compare::Number}};
    // The stored copy: row 10's name and row 20's amount changed, row 30 missing, one row more.
    const auto storedIn = [&](const std::vector<int>& order) {
        const QString dsn = TestDatabases::newSqliteDsn();
        ado::Connection target;
        target.Open("Data Source=" + dsn);
        target.Execute(R"(CREATE TABLE "T"("ID" NUMERIC, "NAME" TEXT, "AMOUNT" NUMERIC))");
        target.BeginTrans();
        for (int i : order) {
            if (i == 30)
                continue;
            const QString name = i == 10 ? "changed" : QString("name %1").arg(i % 37);
            const double amount = i == 20 ? 99.5 : i * 0.25;
            target.Execute(QString(R"(INSERT INTO "T" VALUES(%1, '%2', %3))")
                               .arg(i)
                               .arg(name)
                               .arg(amount, 0, 'g', 17));
        }
        target.Execute(R"(INSERT INTO "T" VALUES(1000, 'extra', 0))");
        target.CommitTrans();
        return TableCheck::run(target, *TargetProduct::of(target), paradox,
                               QString::fromStdString(folder.file("source.db")), "T", columns)
            .describe("T", 100);
    };
    std::vector<int> forward(500);
    for (int i = 0; i < 500; ++i)
        forward[i] = i;
    const std::vector<int> backward(forward.rbegin(), forward.rend());
    std::vector<int> shuffled = forward;
    for (size_t i = 0; i < shuffled.size(); ++i)
        std::swap(shuffled[i], shuffled[(i * 7919) % shuffled.size()]);
    const QString expected =
        "The table T differs from its source: 500 rows sent, 500 stored, 2 values differ, 1 row "
        "not stored, 1 row stored that was not sent: row 11, column NAME: sent 'name 10', stored "
        "'changed'; row 21, column AMOUNT: sent '5', stored '99.5'; row 31: sent, not stored; a "
        "row not sent: stored ('1000', 'extra', '0').";
    EXPECT_EQ(storedIn(forward), expected);
    EXPECT_EQ(storedIn(backward), expected);
    EXPECT_EQ(storedIn(shuffled), expected);
}

// Two values that differ in what one cannot see are shown so that one can: NULs, control
// characters and trailing spaces escaped, a long text around the first character that differs,
// and that character's place; a plain difference is shown plainly.
TEST(TableCheck, ADifferenceOneCannotSeeIsShownEscapedWithItsPlace) {
    const CheckedColumn text{"NOTE"};
    const auto shown = [&](const std::string& sent, const std::string& stored) {
        const CheckedValue::ShownPair pair = CheckedValue::shownPair(sent, stored, text);
        return (pair.sent + " " + pair.stored + " " + QString::number(pair.firstDifference))
            .toStdString();
    };
    EXPECT_EQ(shown(std::string("memo\0\0", 6), "memo"), "'memo\\0\\0' 'memo' 5");
    EXPECT_EQ(shown("line\r\nnext\t", "line\nnext"), "'line\\r\\nnext\\t' 'line\\nnext' 5");
    EXPECT_EQ(shown("ends ", "ends"), "'ends\\x20' 'ends' 5");
    EXPECT_EQ(shown("19.68503937007874", "19.685039"), "'19.68503937007874' '19.685039' 0");
    const std::string longText(250, 'x');
    std::string changed = longText;
    changed[150] = 'y';
    EXPECT_EQ(shown(longText, changed), "'…" + std::string(60, 'x') + "…' '…" +
                                            std::string(10, 'x') + "y" + std::string(49, 'x') +
                                            "…' 151");
}
