// Damaged tables on the command line and in the window: refused, naming the way out; with
// --salvage (or Yes to the window's question) every readable row arrives once, checked against
// the same reading, and every loss is named in the summary and the report.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <filesystem>
#include <random>
#include <set>
#include <tuple>

#include "fixture/DamagedTable.h"
#include "paradox/Table.h"
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
    "counts were found nowhere; the header of block 17 is damaged; the blocks on either side "
    "name it, and 0 rows in key order were read from it";

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
// row, exit 0, the repair named; a missing blob file every row with each memo's first character,
// its cut memos counted per field.
TEST_P(SalvageCommand, EachDamageBringsExactlyTheRowsOutsideIt) {
    TempDir chain, blobs;
    writeDamaged(chain, Damage::BrokenChain);
    const QString dsn = newTarget();
    const TransferRun repaired = transfer({"--salvage", "--typed", path(chain), dsn});
    EXPECT_EQ(repaired.status, 0) << repaired.err.toStdString();
    EXPECT_TRUE(
        repaired.err.contains("\nSalvaged: ORDERS: all 1,000 rows; its chain broke after "
                              "block 17 and was followed back from its last block\n"))
        << repaired.err.toStdString();
    EXPECT_EQ(copiedNumbers(dsn), numbersWithout(0, 0));

    writeDamaged(blobs, Damage::NoBlobFile);
    const QString other = newTarget();
    const TransferRun run = transfer({"--salvage", path(blobs), other});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(
        run.err.contains("\nSalvaged: ORDERS: all 1,000 rows; 1,000 memos of M could not be "
                         "read whole (the first characters their rows hold were kept); its blob "
                         "file is missing\n"))
        << run.err.toStdString();
    EXPECT_EQ(queryRows(other, R"(SELECT DISTINCT "M" FROM "ORDERS")"),
              (std::vector<QStringList>{{"m"}}));

    // A file cut inside a block keeps the records before the cut; a header that counts more
    // rows than there are gets both counts named.
    const std::vector<std::tuple<Damage, int, const char*>> counted = {
        {Damage::CutInsideABlock, 39 * kPerBlock + 5,
         "512 of 1,000 rows; 8 rows in block 40 could not be read; 480 rows the header counts "
         "were found nowhere; its chain broke after block 40; blocks outside it were read by "
         "position"},
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

// Real tables damaged as they are found: random bytes inside ORDERS's blocks, and HERCULES's
// memo file cut in half. Refused, each names its damage and the way out; salvaged, only orders
// ORDERS holds arrive, each once, and every memo cut short is counted, in the summary and the
// report.
TEST_P(SalvageCommand, RealTablesDamagedAreRefusedOrSalvagedNeverInvented) {
    TempDir folder, reports;
    for (const char* file : {"ORDERS.DB", "HERCULES.DB", "HERCULES.MB"}) {
        std::filesystem::copy_file(std::string(MORVANE_CORPUS) + "/db/" + file, folder.file(file));
        std::filesystem::permissions(folder.file(file), std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_write);
    }
    std::set<QString> orders;
    {
        px::Table intact(folder.file("ORDERS.DB"));
        std::vector<Value> row;
        while (intact.next(row))
            orders.insert(QString::fromStdString(row[0].toText()));
    }
    std::string bytes = readWholeFile(folder.file("ORDERS.DB"));
    std::mt19937 random(9000);
    for (size_t i = 9000; i < 9300; ++i)
        bytes[i] = static_cast<char>(random());
    writeWholeFile(folder.file("ORDERS.DB"), bytes);
    std::filesystem::resize_file(folder.file("HERCULES.MB"),
                                 std::filesystem::file_size(folder.file("HERCULES.MB")) / 2);

    const TransferRun refused = transfer({path(folder), newTarget()});
    EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
    EXPECT_TRUE(QRegularExpression(R"(\nFailed: ORDERS: The Paradox table file \S+ORDERS.DB is )"
                                   R"(damaged at row \d+ [^\n]+; --salvage copies the 2\d\d rows )"
                                   R"(that can be read\n)")
                    .match(refused.err)
                    .hasMatch())
        << refused.err.toStdString();
    EXPECT_TRUE(QRegularExpression(R"(\nFailed: HERCULES: The Paradox table file \S+HERCULES.DB )"
                                   R"(is damaged at row \d+ [^\n]+: HERCULES.MB [^\n]+; )"
                                   R"(--salvage copies the 20 rows that can be read \(\d+ of )"
                                   R"(their values cannot be\)\n)")
                    .match(refused.err)
                    .hasMatch())
        << refused.err.toStdString();

    const QString dsn = newTarget();
    const std::string report = reports.file("report.json");
    const TransferRun salvaged =
        transfer({"--salvage", "--report", QString::fromStdString(report), path(folder), dsn});
    EXPECT_EQ(salvaged.status, 1) << salvaged.err.toStdString();
    const std::vector<QStringList> copied =
        queryRows(dsn, R"(SELECT CAST("Order No" AS INTEGER) FROM "ORDERS")");
    std::set<QString> arrived;
    for (const QStringList& order : copied) {
        EXPECT_TRUE(orders.count(order[0]))
            << "an order ORDERS does not hold: " << order[0].toStdString();
        EXPECT_TRUE(arrived.insert(order[0]).second) << "twice: " << order[0].toStdString();
    }
    EXPECT_GE(arrived.size(), orders.size() - 6);
    EXPECT_TRUE(QRegularExpression(R"(\nSalvaged: HERCULES: all 20 rows; \d+ memos of HTML could )"
                                   R"(not be read whole)")
                    .match(salvaged.err)
                    .hasMatch())
        << salvaged.err.toStdString();
    QFile written(QString::fromStdString(report));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    for (const QJsonValue table : QJsonDocument::fromJson(written.readAll())["tables"].toArray()) {
        EXPECT_EQ(table["state"].toString(), "salvaged") << table["name"].toString().toStdString();
        EXPECT_FALSE(table["salvage"]["nothingLost"].toBool());
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, SalvageCommand, ::testing::Values("sqlite", "postgres"));
