// The check of every copied table on the command line, and the report of a run: a table that the
// server changed fails the run with the screen's text in the summary, and the report holds what
// was copied, checked and found, on a run that fails too.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/RoundingServer.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::Value;

namespace {

QJsonObject readReport(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return document.object();
}

}  // namespace

TEST(CheckedCommand, ATableTheServerChangedFailsTheRunAndTheReportHoldsTheFigures) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    RoundingServer::roundEveryNewTable(dsn);
    TempDir folder;
    pxfixture::writeTable(folder.file("rounded.db"), {12, 2, 1252, RoundingServer::fields()},
                          RoundingServer::rows());
    pxfixture::writeTable(folder.file("fits.db"), {12, 2, 1252, RoundingServer::fields()},
                          {{Value::integer(7), Value::text("ten chars!"), Value::real(0.5)}});
    const QString path = QString::fromStdString(folder.path());
    const std::string report = folder.file("report.json");
    const QString differs = RoundingServer::report();

    // A copy that differs takes no table's name: nothing of it stays, but row by row, where a
    // new table is written under its own name.
    for (const QStringList& mode : {QStringList{}, QStringList{"--row-by-row"}}) {
        const bool rowByRow = !mode.isEmpty();
        const TransferRun run =
            transfer(mode + QStringList{"--overwrite", "--report", QString::fromStdString(report),
                                        path, dsn});
        EXPECT_EQ(run.status, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QRegularExpression(
            R"(FITS \(table 1 of 2\): 1 of 1 row, 100%, \d+ rows/s, [\d.]+ s, verified\n)")))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("\nFailed: ROUNDED: " + differs + "\n"))
            << run.err.toStdString();
        EXPECT_EQ(run.err.count("differs from its source"), 1);

        const QJsonObject written = readReport(report);
        EXPECT_EQ(written["exitStatus"].toInt(), 1);
        EXPECT_EQ(written["options"].toObject()["rowByRow"].toBool(), !mode.isEmpty());
        EXPECT_EQ(written["options"].toObject()["folder"].toString(), path);
        EXPECT_LE(written["start"].toString(), written["end"].toString());
        const QJsonArray tables = written["tables"].toArray();
        ASSERT_EQ(tables.size(), 2);
        const QJsonObject fits = tables[0].toObject();
        EXPECT_EQ(fits["name"].toString(), "FITS");
        EXPECT_EQ(fits["sourceFile"].toString(), path + "/fits.db");
        EXPECT_EQ(fits["rowsRead"].toInt(), 1);
        EXPECT_EQ(fits["rowsWritten"].toInt(), 1);
        EXPECT_TRUE(fits["verified"].toBool());
        EXPECT_GE(fits["seconds"].toDouble(), 0.0);
        const QJsonObject rounded = tables[1].toObject();
        EXPECT_EQ(rounded["state"].toString(), "failed");
        EXPECT_FALSE(rounded["verified"].toBool());
        EXPECT_EQ(rounded["rowsWritten"].toInt(), rowByRow ? 5 : 0);
        EXPECT_EQ(queryRows(dsn,
                            "SELECT count(*) FROM information_schema.tables WHERE "
                            "table_name = 'ROUNDED'")[0][0],
                  rowByRow ? "1" : "0");
        const QJsonObject found = rounded["differences"].toObject();
        EXPECT_EQ(found["valuesDiffer"].toInt(), 4);
        EXPECT_EQ(found["rowsStored"].toInt(), 5);
        const QJsonArray examples = found["examples"].toArray();
        ASSERT_EQ(examples.size(), 4);
        EXPECT_EQ(examples[0].toObject()["row"].toInt(), 1);
        EXPECT_EQ(examples[0].toObject()["column"].toString(), "AMOUNT");
        EXPECT_EQ(examples[0].toObject()["stored"].toString(), "'19.685039'");
    }

    // Unchecked when asked; and a run that writes nothing still leaves its report.
    const TransferRun unchecked = transfer(
        {"--overwrite", "--no-verify", "--report", QString::fromStdString(report), path, dsn});
    EXPECT_EQ(unchecked.status, 0) << unchecked.err.toStdString();
    EXPECT_EQ(readReport(report)["tables"].toArray()[1].toObject()["verification"].toString(),
              "not checked: --no-verify");
    const TransferRun refused = transfer({"--report", QString::fromStdString(report), path, dsn});
    EXPECT_EQ(refused.status, 2);
    const QJsonObject refusal = readReport(report);
    EXPECT_EQ(refusal["exitStatus"].toInt(), 2);
    EXPECT_TRUE(refusal["refused"].toString().startsWith("these tables exist in " + dsn));
    EXPECT_TRUE(refusal["tables"].toArray().isEmpty());
}
