// The progress bar's text while the window copies a table: the table, the rows sent of its rows,
// and the time left once it can be told; "Progress Bar" again after each table.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRegularExpression>
#include <QTimer>

#include "support/Databases.h"
#include "support/TablesScreen.h"
#include "tables/ProgressCaption.h"
#include "ui/ProgressBar.h"

using px::FieldType;
using px::Value;

TEST(ProgressCaption, NamesTheTableTheRowsAndTheTimeLeftOnceItCanBeTold) {
    EXPECT_EQ(progressCaption("ORDERS", 1, 200000, 0), "ORDERS: 1 of 200,000 rows");
    EXPECT_EQ(progressCaption("ORDERS", 120000, 200000, 999), "ORDERS: 120,000 of 200,000 rows");
    EXPECT_EQ(progressCaption("ORDERS", 120000, 200000, 6000),
              "ORDERS: 120,000 of 200,000 rows, about 4 s left");
    EXPECT_EQ(progressCaption("ORDERS", 1000, 200000, 5000),
              "ORDERS: 1,000 of 200,000 rows, about 17 min left");
    EXPECT_EQ(progressCaption("ORDERS", 200000, 200000, 9000), "ORDERS: 200,000 of 200,000 rows");
}

// With and without "Keep Paradox types, keys and rules": the bar's text is seen naming the table
// and its counts during the copy, and is "Progress Bar" again at its end.
TEST(ProgressCaption, TheWindowShowsItWhileATableIsCopied) {
    const QString dsn = TestDatabases::newSqliteDsn();
    TablesScreen screen(dsn);
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 30000; ++i)
        rows.push_back({Value::integer(i), Value::text("row " + std::to_string(i))});
    screen.writeParadoxTable("orders.db",
                             {{"N", FieldType::Long, 4, 0}, {"T", FieldType::Alpha, 20, 0}}, rows);
    for (const bool typed : {false, true}) {
        screen.reload();
        if (screen.form2().Check1->isChecked() != typed)
            screen.form2().Check1->click();
        TablesScreen::select(*screen.form2().List2, {"ORDERS"});
        if (typed)
            screen.test.dialogs.answerQuestion(true);
        QStringList seen;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout,
                         [&] { seen << screen.form2().ProgressBar1->caption(); });
        sampler.start(5);
        screen.form2().PushButton4_Click();
        sampler.stop();
        const QRegularExpression counts(R"(^ORDERS: [\d,]+ of 30,000 rows)");
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const QString& text) {
            return counts.match(text).hasMatch();
        })) << seen.join("\n").toStdString();
        EXPECT_EQ(screen.form2().ProgressBar1->caption(), "Progress Bar");
        EXPECT_EQ(screen.form2().ProgressBar1->percent(), 0);
    }
}
