// The check of a table of millions of rows: one changed value anywhere in it is found and named,
// however many rounds the pairing takes, and an unchanged table is verified.
#include <gtest/gtest.h>

#include "ado/Connection.h"
#include "data/products/TargetProduct.h"
#include "fixture/ParadoxWriter.h"
#include "operations/TableCheck.h"
#include "support/Databases.h"
#include "support/TempDir.h"

using px::FieldType;
using px::Value;

namespace {

constexpr int kRows = 2000000;

}  // namespace

TEST(LargeTableCheck, AChangedValueAnywhereInMillionsOfRowsIsNamed) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TempDir folder;
    {
        pxfixture::ParadoxWriter writer(folder.file("big.db"),
                                        {12,
                                         2,
                                         1252,
                                         {{"ID", FieldType::Long, 4, 0},
                                          {"NAME", FieldType::Alpha, 10, 0},
                                          {"AMOUNT", FieldType::Number, 8, 0}}});
        for (int i = 0; i < kRows; ++i)
            writer.addRow({Value::integer(i), Value::text("name " + std::to_string(i % 37)),
                           Value::real(i * 0.25)});
    }
    // The same rows on the server, made there at once.
    TestDatabases::execute(dsn,
                           R"(CREATE TABLE "BIG"("ID" NUMERIC, "NAME" TEXT, "AMOUNT" NUMERIC))");
    TestDatabases::execute(dsn, QString(R"(INSERT INTO "BIG" SELECT g, 'name ' || (g % 37), g * 0.25
                                           FROM generate_series(0, %1) g)")
                                    .arg(kRows - 1));
    ado::Connection target, paradox;
    target.Open("Data Source=" + dsn);
    paradox.Open(QString("Driver={Microsoft Paradox Driver (*.db )};DefaultDir=") +
                 QString::fromStdString(folder.path()));
    const std::vector<CheckedColumn> columns = {{"ID", CheckedColumn::Compare::Number},
                                                {"NAME", CheckedColumn::Compare::Text},
                                                {"AMOUNT", CheckedColumn::Compare::Number}};
    const auto check = [&] {
        return TableCheck::run(target, *TargetProduct::of(target), paradox,
                               QString::fromStdString(folder.file("big.db")), "BIG", columns);
    };
    EXPECT_TRUE(check().exact());

    // The last column only, at the first row, rows in the middle and the last row: whatever
    // round of the pairing each falls in.
    const std::vector<int> changed = {0, 850001, 1234567, 1999999};
    for (int id : changed)
        TestDatabases::execute(
            dsn, QString(R"(UPDATE "BIG" SET "AMOUNT" = -1 WHERE "ID" = %1)").arg(id));
    const TableCheck::Result result = check();
    EXPECT_FALSE(result.exact());
    EXPECT_FALSE(result.digestsEqual);
    EXPECT_TRUE(result.countsComplete);
    EXPECT_EQ(result.valuesDiffer, 4);
    ASSERT_EQ(result.examples.size(), 4u);
    for (size_t i = 0; i < changed.size(); ++i) {
        EXPECT_EQ(result.examples[i].row, changed[i] + 1);
        EXPECT_EQ(result.examples[i].column, "AMOUNT");
        EXPECT_EQ(result.examples[i].stored, "'-1'");
    }
}
