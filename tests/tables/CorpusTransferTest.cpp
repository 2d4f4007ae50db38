// Every table of the shared corpus travels through the tables screen into SQLite and PostgreSQL;
// read back, each target table holds exactly the values an independent reader found, in
// columns of the mapped types.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <cmath>

#include "data/Datatype.h"
#include "paradox/Table.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TablesScreen.h"

namespace {

QString item(const QString& value) {
    if (value == "NULL")
        return value;
    QString quoted = value;
    quoted.replace("'", "''");
    return "'" + quoted + "'";
}

// The rows of a target table in the form of the corpus's expected files.
QString targetRows(const QString& dsn, const QString& table, const QStringList& types,
                   bool postgres) {
    const QString order = postgres ? "ctid" : "rowid";
    QString out;
    for (const QStringList& row :
         queryRows(dsn, "SELECT * FROM " + Datatype::QuotedName(table) + " ORDER BY " + order)) {
        QStringList items;
        for (int i = 0; i < row.size(); ++i)
            items << (types[i] == "NUMERIC" && !postgres && row[i] != "NULL"
                          ? "#" + row[i]  // compared as a number below
                          : item(row[i]));
        out += items.join(", ") + "\n";
    }
    return out;
}

// SQLite keeps NUMERIC values as doubles and prints them with 15 digits: compare those as numbers.
bool sameRows(const QString& expected, const QString& actual) {
    if (!actual.contains('#'))
        return expected == actual;
    const QStringList want = expected.split(", "), got = actual.split(", ");
    if (want.size() != got.size())
        return false;
    for (int i = 0; i < want.size(); ++i) {
        if (!got[i].contains('#')) {
            if (want[i] != got[i])
                return false;
            continue;
        }
        const QString number = QString(got[i]).remove('#').trimmed();
        const QString wanted = QString(want[i]).remove('\'').trimmed();
        const double a = number.toDouble(), b = wanted.toDouble();
        if (std::abs(a - b) > 1e-14 * std::max(1.0, std::abs(b)))
            return false;
    }
    return true;
}

struct CorpusTable {
    QString entry;     // its name in the Paradox list
    QString expected;  // the expected file
};

std::vector<CorpusTable> corpusTables(TableList& list) {
    std::vector<CorpusTable> tables;
    for (int i = 0; i < list.count(); ++i) {
        QFileInfo file(list.entryData(i));
        const QString expected = file.path() + "/" + file.completeBaseName() + ".expected";
        if (QFileInfo::exists(expected))
            tables.push_back({list.entryText(i), expected});
    }
    return tables;
}

}  // namespace

class CorpusTransfer : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusTransfer, EveryTableArrivesWithItsValuesAndTypes) {
    const bool postgres = GetParam() == std::string("postgres");
    const QString dsn = postgres ? TestDatabases::newPostgresDsn() : TestDatabases::newSqliteDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    if (!QFileInfo(MORVANE_CORPUS).isDir())
        GTEST_SKIP() << "no corpus";
    TablesScreen screen(dsn);
    screen.form1->Text1->setText(QDir::cleanPath(MORVANE_CORPUS));
    screen.reload();
    TableList& list = *screen.form2().List2;
    const auto tables = corpusTables(list);
    ASSERT_GE(tables.size(), 45u);
    list.setListIndex(0);
    for (int i = 0; i < list.count(); ++i)
        list.setEntrySelected(
            i, std::any_of(tables.begin(), tables.end(),
                           [&](const CorpusTable& t) { return t.entry == list.entryText(i); }));
    screen.form2().PushButton4_Click();
    EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty())
        << screen.test.dialogs.texts("error").join("\n").toStdString();

    for (const CorpusTable& table : tables) {
        const QString expectedText =
            QString::fromStdString(readWholeFile(table.expected.toStdString()));
        const QString expectedRows = expectedText.mid(expectedText.indexOf('\n') + 1);
        // The mapped type of each column, from the ADO code the reader gives its field.
        QStringList types;
        for (int i = 0; i < list.count(); ++i) {
            if (list.entryText(i) != table.entry)
                continue;
            px::Table reader(list.entryData(i).toStdString());
            for (const px::Field& field : reader.fields())
                types << Datatype::TargetTypeWord(Datatype::DataTypeName(field.adoType()));
        }
        const QString actual = targetRows(dsn, table.entry, types, postgres);
        EXPECT_TRUE(sameRows(expectedRows, actual))
            << table.entry.toStdString() << "\nexpected:\n"
            << expectedRows.left(600).toStdString() << "\nactual:\n"
            << actual.left(600).toStdString();
        if (postgres) {
            QStringList columnTypes;
            for (const QStringList& row :
                 queryRows(dsn,
                           "SELECT data_type FROM information_schema.columns "
                           "WHERE table_name = '" +
                               table.entry + "' ORDER BY ordinal_position"))
                columnTypes << row[0];
            QStringList wanted;
            for (const QString& type : types)
                wanted << (type == "NUMERIC" ? "numeric" : "text");
            EXPECT_EQ(columnTypes, wanted) << table.entry.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, CorpusTransfer, ::testing::Values("sqlite", "postgres"));
