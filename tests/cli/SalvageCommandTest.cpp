// Damaged tables on the command line and in the window: refused, naming the way out; with
// --salvage (or Yes to the window's question) every readable row arrives once, checked against
// the same reading, and every loss is named in the summary and the report.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <tuple>

#include "fixture/DamagedTable.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/SqliteOrPostgres.h"
#include "support/TablesScreen.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

using pxfixture::DamagedTable;
using Damage = DamagedTable::Damage;
constexpr int kRows = 1000;
constexpr int kPerBlock = DamagedTable::kPerBlock;

// ORDERS, keyed on N, with `damage` done to it.
void writeDamaged(const TempDir& folder, Damage damage) {
    DamagedTable::write(folder.file("orders.db"), kRows, true, damage);
}

class SalvageCommand : public SqliteOrPostgres {};

QString path(const TempDir& folder) {
    return QString::fromStdString(folder.path());
}

// The N values of the copied rows, in order, and how many rows there are.
std::vector<int> copiedNumbers(const QString& dsn) {
    std::vector<int> numbers;
    for (const QStringList& row :
         queryRows(dsn, R"(SELECT CAST("N" AS INTEGER) FROM "ORDERS" ORDER BY 1)"))
        numbers.push_back(row[0].toInt());
    return numbers;
}

std::vector<int> numbersWithout(int from, int to) {
    std::vector<int> numbers;
    for (int i = 0; i < kRows; ++i)
        if (i < from || i >= to)
            numbers.push_back(i);
    return numbers;
}

const char* kLost =
    "987 of 1,000 rows; rows in block 17 could not be read; 13 rows the header "
    "counts were found nowhere";

}  // namespace

// Without --salvage the table fails, and the message names the way out; with it, in each mode,
// the rows outside the damaged block arrive once, verified, the key too, and the summary and
// the report name the loss; the exit status is 1.
TEST_P(SalvageCommand, ADamagedTableIsRefusedOrSalvagedWithItsLossNamed) {
    TempDir folder, reports;
    writeDamaged(folder, Damage::GarbageBlock);
    const QString refusedDsn = newTarget();
    const TransferRun refused = transfer({path(folder), refusedDsn});
    EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("\nFailed: ORDERS: The Paradox table file "))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("; --salvage copies the 987 rows that can be read\n"))
        << refused.err.toStdString();

    for (const QStringList& mode : {QStringList{}, QStringList{"--typed"}}) {
        SCOPED_TRACE(mode.join(" ").toStdString());
        const QString dsn = newTarget();
        const std::string report = reports.file("report.json");
        const TransferRun run =
            transfer(mode + QStringList{"--salvage", "--report", QString::fromStdString(report),
                                        path(folder), dsn});
        EXPECT_EQ(run.status, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString("\nSalvaged: ORDERS: ") + kLost + "\n"))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Copied 1 of 1 tables, 987 rows")) << run.err.toStdString();
        EXPECT_EQ(copiedNumbers(dsn), numbersWithout(16 * kPerBlock, 17 * kPerBlock));
        QFile written(QString::fromStdString(report));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        const QJsonObject table =
            QJsonDocument::fromJson(written.readAll())["tables"].toArray()[0].toObject();
        EXPECT_EQ(table["state"].toString(), "salvaged");
        EXPECT_TRUE(table["verified"].toBool());
        const QJsonObject salvage = table["salvage"].toObject();
        EXPECT_EQ(salvage["rowsInHeader"].toInt(), kRows);
        EXPECT_EQ(salvage["rowsRead"].toInt(), 987);
        EXPECT_EQ(salvage["lostBlocks"].toArray()[0].toObject()["block"].toInt(), 17);
        EXPECT_EQ(salvage["summary"].toString(), kLost);
    }
}

// Each damage brings exactly the rows outside it: a chain the blocks themselves repair every
// row, exit 0; a missing blob file every row with each memo's first character, its lost values
// counted per field.
TEST_P(SalvageCommand, EachDamageBringsExactlyTheRowsOutsideIt) {
    TempDir chain, blobs;
    writeDamaged(chain, Damage::BrokenChain);
    const QString dsn = newTarget();
    const TransferRun repaired = transfer({"--salvage", "--typed", path(chain), dsn});
    EXPECT_EQ(repaired.status, 0) << repaired.err.toStdString();
    EXPECT_EQ(copiedNumbers(dsn), numbersWithout(0, 0));

    writeDamaged(blobs, Damage::NoBlobFile);
    const QString other = newTarget();
    const TransferRun run = transfer({"--salvage", path(blobs), other});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(
        run.err.contains("\nSalvaged: ORDERS: 1,000 of 1,000 rows; 1,000 values of M "
                         "could not be read (its blob file is missing)\n"))
        << run.err.toStdString();
    EXPECT_EQ(queryRows(other, R"(SELECT DISTINCT "M" FROM "ORDERS")"),
              (std::vector<QStringList>{{"m"}}));

    // A file cut inside a block keeps the records before the cut; a header that counts more
    // rows than there are gets both counts named.
    const std::vector<std::tuple<Damage, int, const char*>> counted = {
        {Damage::CutInsideABlock, 39 * kPerBlock + 5,
         "512 of 1,000 rows; 8 rows in block 40 could not be read; 480 rows the header counts "
         "were found nowhere"},
        {Damage::HeaderCountsMore, kRows,
         "1,000 of 1,200 rows; 200 rows the header counts were found nowhere"}};
    for (const auto& [damage, rows, summary] : counted) {
        TempDir folder;
        writeDamaged(folder, damage);
        const QString target = newTarget();
        const TransferRun salvaged = transfer({"--salvage", path(folder), target});
        EXPECT_EQ(salvaged.status, 1) << salvaged.err.toStdString();
        EXPECT_TRUE(salvaged.err.contains(QString("\nSalvaged: ORDERS: ") + summary + "\n"))
            << salvaged.err.toStdString();
        EXPECT_EQ(copiedNumbers(target), numbersWithout(rows, kRows));
    }
}

// The window asks first: No leaves the table to fail on its damage, Yes copies what can be read
// and names the loss in one error box.
TEST_P(SalvageCommand, TheWindowAsksBeforeItSalvages) {
    TablesScreen screen(newTarget());
    TempDir folder;
    writeDamaged(folder, Damage::GarbageBlock);
    screen.form1->Text1->setText(path(folder));
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"ORDERS"});
    screen.test.dialogs.answerQuestion(false);
    screen.form2().PushButton4_Click();
    const QStringList asked = screen.test.dialogs.texts("question");
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith("ORDERS is damaged: The Paradox table file "))
        << asked[0].toStdString();
    EXPECT_TRUE(asked[0].endsWith(". Copy the 987 rows that can be read?"))
        << asked[0].toStdString();
    // The copy fails on the damage, as it would have without the question.
    ASSERT_EQ(screen.test.dialogs.texts("error").size(), 1);
    EXPECT_TRUE(screen.test.dialogs.texts("error")[0].contains("at line 148"));
    EXPECT_TRUE(TablesScreen::entries(*screen.form2().List1).isEmpty());

    screen.test.dialogs.answerQuestion(true);
    screen.form2().PushButton4_Click();
    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 2) << errors.join("\n").toStdString();
    EXPECT_TRUE(errors[1].contains(QString("ORDERS was salvaged: ") + kLost))
        << errors[1].toStdString();
    EXPECT_EQ(copiedNumbers(screen.dsn), numbersWithout(16 * kPerBlock, 17 * kPerBlock));
}

INSTANTIATE_TEST_SUITE_P(Targets, SalvageCommand, ::testing::Values("sqlite", "postgres"));
