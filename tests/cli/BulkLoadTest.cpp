// PostgreSQL's rows go by COPY on a session beside the data source's, MariaDB's by LOAD DATA
// LOCAL INFILE; where the server refuses the way, or the user asks, they go as the driver's
// inserts, said once, and arrive the same.
#include <gtest/gtest.h>

#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

TEST(BulkLoad, ASecondSessionTheServerRefusesLeavesTheRowsToInsertsAndIsSaidOnce) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    // A role the server lets open one session only.
    const QString role = dsn.toLower();
    TestDatabases::execute(dsn, "CREATE ROLE " + role + " LOGIN CONNECTION LIMIT 1");
    TestDatabases::execute(dsn, "GRANT ALL ON SCHEMA public TO " + role);
    const QString limited = TestDatabases::postgresDsnAs(dsn, role);

    TempDir folder;
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 500; ++i)
        rows.push_back({Value::integer(i), Value::text("tab\there " + std::to_string(i)),
                        i % 7 ? Value::real(i / 3.0) : Value(), Value::date(730000 + i)});
    pxfixture::writeTable(folder.file("mixed.db"),
                          {12,
                           2,
                           1252,
                           {{"ID", FieldType::Long, 4, 0},
                            {"NAME", FieldType::Alpha, 20, 0},
                            {"SHARE", FieldType::Number, 8, 0},
                            {"DAY", FieldType::Date, 4, 0}}},
                          rows);
    const QString source = QString::fromStdString(folder.path());
    const QString sum = R"(SELECT count(*), sum("ID"), sum("SHARE"), max("NAME") FROM "MIXED")";

    const TransferRun refused = transfer({"--typed", source, limited});
    EXPECT_EQ(refused.status, 0) << refused.err.toStdString();
    EXPECT_EQ(refused.err.count("PostgreSQL's COPY cannot be used ("), 1)
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("too many connections for role")) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("): the rows go as batched inserts\n"));
    const std::vector<QStringList> inserted = queryRows(dsn, sum);

    const TransferRun copied = transfer({"--typed", "--overwrite", source, dsn});
    EXPECT_EQ(copied.status, 0) << copied.err.toStdString();
    EXPECT_TRUE(copied.err.contains("the rows go by PostgreSQL's COPY\n"));
    EXPECT_EQ(queryRows(dsn, sum), inserted);
    EXPECT_EQ(inserted[0][0], "500");

    const TransferRun asked = transfer({"--typed", "--overwrite", "--inserts", source, dsn});
    EXPECT_EQ(asked.status, 0) << asked.err.toStdString();
    EXPECT_FALSE(asked.err.contains("COPY")) << asked.err.toStdString();
}

TEST(BulkLoad, AMariaDbServerWithoutLocalFilesTakesInserts) {
    const QString dsn = TestDatabases::newMariaDbDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "MariaDB is not installed";
    TempDir folder;
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back(
            {Value::integer(i), Value::text(i % 5 ? "back\\slash\ttab " + std::to_string(i) : "")});
    pxfixture::writeTable(
        folder.file("lines.db"),
        {12, 2, 1252, {{"ID", FieldType::Long, 4, 0}, {"NOTE", FieldType::Alpha, 40, 0}}}, rows);
    const QString source = QString::fromStdString(folder.path());
    const QString sum = R"(SELECT count(*), count("NOTE"), sum(length("NOTE")) FROM "LINES")";

    const TransferRun loaded = transfer({"--typed", source, dsn});
    EXPECT_EQ(loaded.status, 0) << loaded.err.toStdString();
    EXPECT_TRUE(loaded.err.contains("the rows go by MariaDB's LOAD DATA LOCAL INFILE\n"));
    const std::vector<QStringList> viaLoad = queryRows(dsn, sum);
    EXPECT_EQ(viaLoad[0], (QStringList{"300", "240", "4232"}));

    TestDatabases::execute(dsn, "SET GLOBAL local_infile = 0");
    const TransferRun refused = transfer({"--typed", "--overwrite", source, dsn});
    TestDatabases::execute(dsn, "SET GLOBAL local_infile = 1");
    EXPECT_EQ(refused.status, 0) << refused.err.toStdString();
    EXPECT_TRUE(
        refused.err.contains("MariaDB's LOAD DATA LOCAL INFILE cannot be used (the "
                             "server's local_infile is off): the rows go as batched "
                             "inserts\n"))
        << refused.err.toStdString();
    EXPECT_EQ(queryRows(dsn, sum), viaLoad);
}

TEST(BulkLoad, ALoadTheServerRefusesAtItsStatementLeavesItsTableAndTheNextToInserts) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    // Every new table under row security, which COPY FROM refuses and inserts pass; the
    // superuser the tests connect as is exempt, so the run goes as a role of its own.
    TestDatabases::execute(dsn, R"(CREATE FUNCTION guarded() RETURNS event_trigger
        LANGUAGE plpgsql AS $$
        DECLARE created record;
        BEGIN
            FOR created IN SELECT * FROM pg_event_trigger_ddl_commands()
                           WHERE command_tag = 'CREATE TABLE'
                             AND object_identity NOT LIKE '%morvane_journal%' LOOP
                EXECUTE format('ALTER TABLE %s ENABLE ROW LEVEL SECURITY, FORCE ROW LEVEL '
                               'SECURITY', created.object_identity);
                EXECUTE format('CREATE POLICY open ON %s USING (true) WITH CHECK '
                               '(current_setting(''morvane.refuse'', true) IS DISTINCT '
                               'FROM ''on'')', created.object_identity);
            END LOOP;
        END $$)");
    TestDatabases::execute(dsn,
                           "CREATE EVENT TRIGGER guarded ON ddl_command_end "
                           "WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION guarded()");
    const QString role = dsn.toLower();
    TestDatabases::execute(dsn, "CREATE ROLE " + role + " LOGIN");
    TestDatabases::execute(dsn, "GRANT ALL ON SCHEMA public TO " + role);

    TempDir folder;
    for (const char* name : {"first.db", "second.db"}) {
        std::vector<std::vector<Value>> rows;
        for (int i = 0; i < 300; ++i)
            rows.push_back({Value::integer(i), Value::text("row\t" + std::to_string(i))});
        pxfixture::writeTable(
            folder.file(name),
            {12, 1, 1252, {{"ID", FieldType::Long, 4, 0}, {"NOTE", FieldType::Alpha, 20, 0}}},
            rows);
    }
    const TransferRun run = transfer({"--typed", QString::fromStdString(folder.path()),
                                      TestDatabases::postgresDsnAs(dsn, role)});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("the rows go by PostgreSQL's COPY\n")) << run.err.toStdString();
    EXPECT_EQ(run.err.count("PostgreSQL's COPY was refused (COPY FROM not supported with row-level "
                            "security): the rows go as batched inserts\n"),
              1)
        << run.err.toStdString();
    for (const QString table : {"FIRST", "SECOND"})
        EXPECT_EQ(queryRows(dsn, R"(SELECT count(*), sum(length("NOTE")) FROM ")" + table + '"')[0],
                  (QStringList{"300", "1990"}));
    const QString workTables = "SELECT count(*) FROM pg_tables WHERE tablename LIKE '%morvane_new'";
    EXPECT_EQ(queryRows(dsn, workTables)[0], QStringList{"0"});

    // The inserts taken instead fail too: each table stays as the last copy left it.
    TestDatabases::execute(dsn, "ALTER ROLE " + role + " SET morvane.refuse = 'on'");
    const TransferRun refused =
        transfer({"--typed", "--overwrite", QString::fromStdString(folder.path()),
                  TestDatabases::postgresDsnAs(dsn, role)});
    EXPECT_NE(refused.status, 0) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("row-level security policy")) << refused.err.toStdString();
    for (const QString table : {"FIRST", "SECOND"})
        EXPECT_EQ(queryRows(dsn, R"(SELECT count(*), sum(length("NOTE")) FROM ")" + table + '"')[0],
                  (QStringList{"300", "1990"}));
    EXPECT_EQ(queryRows(dsn, workTables)[0], QStringList{"0"});
}
