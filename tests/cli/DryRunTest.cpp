// morvane-transfer --dry-run: the script it prints is what a run would give the target, in the
// order the run gives it, runs as it stands on the target it was made for, and says as comments
// what the run would refuse or leave out. The real run over the same tables keeps its word.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

QString joins() {
    return QDir::cleanPath(QStringLiteral(MORVANE_CORPUS "/joins"));
}

// Runs `script` with psql on the database of `dsn`, stopping at its first error; psql's output.
QString runWithPsql(const QString& dsn, const QString& script, int& status) {
    const QString database = queryRows(dsn, "SELECT current_database()")[0][0];
    QProcess psql;
    psql.setProcessChannelMode(QProcess::MergedChannels);
    psql.start("psql",
               {"-X", "-q", "-h", "127.0.0.1", "-p", QString::number(TestDatabases::postgresPort()),
                "-U", "postgres", "-d", database, "-v", "ON_ERROR_STOP=1", "-f", "-"});
    psql.write(script.toUtf8());
    psql.closeWriteChannel();
    psql.waitForFinished(60000);
    status = psql.exitStatus() == QProcess::NormalExit ? psql.exitCode() : -1;
    return QString::fromUtf8(psql.readAll());
}

// Each table of a run's report, by name, as the report has it.
std::map<QString, QJsonObject> reportedTables(const std::string& path) {
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    std::map<QString, QJsonObject> tables;
    for (const QJsonValue table : QJsonDocument::fromJson(file.readAll())["tables"].toArray())
        tables[table["name"].toString()] = table.toObject();
    return tables;
}

}  // namespace

// Every table's statements, then the foreign keys between them: the script makes the corpus's
// tables on an empty database without an error; the two relationships the run cannot make stand
// in it as comments, and the real run warns of the same two on their tables and exits 3.
TEST(DryRun, TheScriptMakesEveryTableThenTheForeignKeysAndTheRealRunKeepsItsWord) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty() || !QFileInfo(joins()).isDir())
        GTEST_SKIP() << "no PostgreSQL or no corpus";
    const TransferRun dry = transfer({"--typed", "--dry-run", joins(), dsn});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(tablesOf(dsn).isEmpty());
    const qsizetype keys = dry.out.indexOf("\n-- The foreign keys between the tables\n");
    ASSERT_GT(keys, 0) << dry.out.toStdString();
    EXPECT_GT(keys, dry.out.lastIndexOf("CREATE TABLE"));
    EXPECT_LT(keys, dry.out.indexOf("FOREIGN KEY"));
    const char* refused[] = {"JOINB: no foreign key to JOINA: JOINA has no key on ID",
                             "ORIGIN: no foreign key to DESTINATION: DESTINATION has no key on ID"};
    for (const char* comment : refused)
        EXPECT_TRUE(dry.out.contains(QString("\n-- ") + comment + "\n")) << dry.out.toStdString();
    int status = -1;
    const QString psql = runWithPsql(dsn, dry.out, status);
    EXPECT_EQ(status, 0) << psql.toStdString();
    EXPECT_EQ(tablesOf(dsn).size(), 18);

    const QString fresh = TestDatabases::newPostgresDsn();
    TempDir folder;
    const std::string report = folder.file("report.json");
    const TransferRun run =
        transfer({"--typed", "--report", QString::fromStdString(report), joins(), fresh});
    EXPECT_EQ(run.status, 3) << run.err.toStdString();
    for (const char* warning : refused)
        EXPECT_EQ(run.err.count(warning), 1) << warning << "\n" << run.err.toStdString();
    std::map<QString, QJsonObject> tables = reportedTables(report);
    EXPECT_EQ(tables["JOINB"]["warnings"].toArray().first().toString(), refused[0]);
    EXPECT_EQ(tables["ORIGIN"]["warnings"].toArray().first().toString(), refused[1]);
    for (const auto& [name, table] : tables)
        EXPECT_EQ(table["state"].toString(), "copied") << name.toStdString();
    // A counter made on the work table takes the table's own name with it.
    EXPECT_EQ(queryRows(fresh, R"(SELECT pg_get_serial_sequence('"PRIMARY"', 'ID'))")[0][0],
              R"(public."PRIMARY_ID_seq")");
}

// Over tables the target has: with --overwrite, other tables' foreign keys are dropped and made
// again around the replacement, as they were; a copy without a key is not put in place of a table
// others refer to; without --overwrite the tables the target has are skipped, and said so.
TEST(DryRun, AReplacementsScriptKeepsOtherTablesKeysAndSaysWhatWouldBeRefused) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "no PostgreSQL";
    TempDir folder;
    pxfixture::TableLayout layout{12, 1, 1252, {{"ID", FieldType::Long, 4, 0}}};
    layout.keyFields = 1;
    pxfixture::writeTable(folder.file("parents.db"), layout, {{Value::integer(1)}});
    const QString path = QString::fromStdString(folder.path());
    ASSERT_EQ(transfer({"--typed", path, dsn}).status, 0);
    TestDatabases::execute(dsn, R"(CREATE TABLE "kid"("p" INTEGER, CONSTRAINT "kid_fk" FOREIGN KEY)"
                                R"( ("p") REFERENCES "PARENTS" ("ID") ON DELETE CASCADE))");

    const TransferRun dry = transfer({"--typed", "--dry-run", "--overwrite", path, dsn});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    const qsizetype keyDropped = dry.out.indexOf(R"(ALTER TABLE "kid" DROP CONSTRAINT "kid_fk";)");
    const qsizetype tableDropped = dry.out.indexOf("DROP TABLE \"PARENTS\";\n");
    const qsizetype keyMade = dry.out.indexOf(
        R"(ALTER TABLE "kid" ADD CONSTRAINT "kid_fk" FOREIGN KEY ("p") REFERENCES "PARENTS" ("ID"))"
        R"( ON UPDATE NO ACTION ON DELETE CASCADE;)");
    EXPECT_TRUE(keyDropped > 0 && keyDropped < tableDropped && tableDropped < keyMade)
        << dry.out.toStdString();
    int status = -1;
    const QString psql = runWithPsql(dsn, dry.out, status);
    EXPECT_EQ(status, 0) << psql.toStdString();
    EXPECT_EQ(queryRows(dsn, "SELECT confdeltype FROM pg_constraint WHERE conname = 'kid_fk'"),
              (std::vector<QStringList>{{"c"}}));

    const TransferRun unkeyed = transfer({"--dry-run", "--overwrite", path, dsn});
    EXPECT_EQ(unkeyed.status, 0) << unkeyed.err.toStdString();
    EXPECT_TRUE(
        unkeyed.out.contains("\n-- PARENTS would not be replaced: kid refers to PARENTS "
                             "(ID), and the new copy has no key on it"))
        << unkeyed.out.toStdString();
    EXPECT_FALSE(unkeyed.out.contains("DROP TABLE"));

    const TransferRun skipping = transfer({"--typed", "--dry-run", path, dsn});
    EXPECT_EQ(skipping.status, 0) << skipping.err.toStdString();
    EXPECT_TRUE(
        skipping.out.contains("\n-- PARENTS: skipped, the target has it; without "
                              "--overwrite or --skip-existing the run would not start\n"))
        << skipping.out.toStdString();
    EXPECT_FALSE(skipping.out.contains("CREATE TABLE \""));
}

// The dry run's script is the very statements a run gives the target: a typed replacement of a
// table that another table refers to, on PostgreSQL, whose server logs what it is given.
TEST(DryRun, TheScriptIsWhatTheRunSends) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TempDir folder;
    pxfixture::TableLayout layout;
    layout.keyFields = 1;
    layout.fields = {{"ID", FieldType::AutoIncrement, 4, 0}, {"NAME", FieldType::Alpha, 20, 0}};
    pxfixture::writeTable(
        folder.file("parents.db"), layout,
        {{Value::integer(1), Value::text("one")}, {Value::integer(2), Value::text("two")}});
    ASSERT_EQ(transfer({"--typed", QString::fromStdString(folder.path()), dsn}).status, 0);
    TestDatabases::execute(dsn,
                           R"(CREATE TABLE "KID" ("P" INTEGER, CONSTRAINT "KID_fk" )"
                           R"(FOREIGN KEY ("P") REFERENCES "PARENTS" ("ID") ON DELETE CASCADE))");
    const QStringList arguments = {"--typed", "--overwrite", QString::fromStdString(folder.path()),
                                   dsn};
    const TransferRun dry = transfer(QStringList{"--dry-run"} + arguments);
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    QStringList planned;
    for (const QString& line : dry.out.split('\n'))
        if (!line.isEmpty() && !line.startsWith("--"))
            planned << (line.endsWith(';') ? line.chopped(1) : line);

    const qint64 since = TestDatabases::logStatements(dsn);
    const TransferRun run = transfer(arguments);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    // The definitions the run gave, but those of its own journal.
    QStringList sent;
    static const QRegularExpression definition("^(CREATE|ALTER|DROP|COMMENT|DO) ");
    // psqlODBC sends its own transaction and savepoint statements in the same message.
    static const QRegularExpression wrapping(R"(^(?:(?:BEGIN|(?:SAVEPOINT|RELEASE) \S+);)+)");
    for (QString statement : TestDatabases::statementsLogged(since))
        if (statement.remove(wrapping);
            definition.match(statement).hasMatch() && !statement.contains("morvane_journal"))
            sent << statement;
    EXPECT_EQ(sent, planned) << "sent:\n"
                             << sent.join('\n').toStdString() << "\nplanned:\n"
                             << planned.join('\n').toStdString();
}
