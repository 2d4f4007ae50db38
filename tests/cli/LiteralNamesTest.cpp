// A name is only a name: tables and fields whose names hold "%1 %2 %3" travel, are checked, get
// their key and counter, and are shown as they are, on every target, with both mappings, from
// the command line and from the window.
#include <gtest/gtest.h>

#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TablesScreen.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

const QString kTable = "S%1 %2 %3";

const std::vector<px::Field> kFields = {{"ID%1", FieldType::AutoIncrement, 4, 0},
                                        {"N%2 %1", FieldType::Alpha, 10, 0},
                                        {"A%3", FieldType::Number, 8, 0}};

const std::vector<std::vector<Value>> kRows = {
    {Value::integer(1), Value::text("%1 one"), Value::real(0.5)},
    {Value::integer(2), Value::text("two %2"), Value::real(1.25)}};

void writeTable(const std::string& path) {
    pxfixture::TableLayout layout{12, 2, 1252, kFields};
    layout.keyFields = 1;
    layout.lastAutoIncrement = 40;
    pxfixture::writeTable(path, layout, kRows);
}

std::vector<QString> targets() {
    std::vector<QString> dsns = {TestDatabases::newSqliteDsn()};
    if (const QString postgres = TestDatabases::newPostgresDsn(); !postgres.isEmpty())
        dsns.push_back(postgres);
    return dsns;
}

}  // namespace

TEST(LiteralNames, TravelAndAreToldAsTheyAreFromTheCommandLine) {
    for (const QString& dsn : targets()) {
        for (const bool typed : {false, true}) {
            SCOPED_TRACE((dsn + (typed ? " typed" : "")).toStdString());
            TempDir folder;
            writeTable(folder.file("S%1 %2 %3.db"));
            QStringList arguments = {"--overwrite", QString::fromStdString(folder.path()), dsn};
            if (typed)
                arguments.prepend("--typed");
            const TransferRun run = transfer(arguments);
            EXPECT_EQ(run.status, 0) << run.err.toStdString();
            EXPECT_TRUE(run.err.contains(kTable + " (table 1 of 1): 2 of 2 rows, 100%, "))
                << run.err.toStdString();
            EXPECT_TRUE(run.err.contains(", verified\n")) << run.err.toStdString();
            EXPECT_EQ(queryRows(dsn, R"(SELECT "N%2 %1" FROM "S%1 %2 %3" ORDER BY 1)"),
                      (std::vector<QStringList>{{"%1 one"}, {"two %2"}}));
            if (typed) {
                // The counter goes on above the header's last value.
                TestDatabases::execute(dsn, R"(INSERT INTO "S%1 %2 %3"("N%2 %1") VALUES('x'))");
                EXPECT_EQ(queryRows(dsn, R"(SELECT max("ID%1") FROM "S%1 %2 %3")")[0][0], "41");
            }
        }
    }
}

TEST(LiteralNames, TravelFromTheWindow) {
    for (const QString& dsn : targets()) {
        SCOPED_TRACE(dsn.toStdString());
        TablesScreen screen(dsn);
        writeTable(screen.paradox.file("S%1 %2 %3.db"));
        screen.reload();
        TablesScreen::select(*screen.form2().List2, {kTable});
        screen.form2().PushButton4_Click();
        EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty())
            << screen.test.dialogs.texts("error").join("\n").toStdString();
        EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{kTable});
        EXPECT_EQ(queryRows(dsn, R"(SELECT count(*) FROM "S%1 %2 %3")")[0][0], "2");
    }
}
