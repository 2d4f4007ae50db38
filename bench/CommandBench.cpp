// morvane-transfer's default (a table per transaction, batched; PostgreSQL's rows by COPY)
// against its row-by-row mode, into PostgreSQL with its default durability, into SQLite and into
// MariaDB, against each server's own loader (psql's \copy, LOAD DATA LOCAL INFILE) and against
// pgloader (a general loader) loading the same rows from a file into the same server; and its
// peak memory at two table sizes. Every figure is a ratio of runs made here, one after the other.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../src/cli/ConsoleDialogs.h"
#include "../tests/support/Databases.h"
#include "../tests/support/OdbcQuery.h"
#include "BenchTable.h"
#include "Measure.h"
#include "PrivateHome.h"
#include "fixture/IndexHeaderWriter.h"
#include "fixture/ParadoxWriter.h"
#include "fixture/ValidityWriter.h"
#include "operations/TableTransfer.h"
#include "paradox/ChangeStamp.h"
#include "paradox/Table.h"
#include "runtime/ErrorTrap.h"

using px::Value;

namespace {

constexpr int kRows = 200000;
constexpr int kSmallRows = 20000;
constexpr int kHugeRows = 2000000;  // the check against the copy
// Each row its own commit, with fsync: a smaller table tells the rate as well.
constexpr int kDurableStatementRows = 10000;

// A folder holding the benchmarks' table of `rows` rows, keyed on its first `keyFields`.
std::string tableFolder(const TempDir& home, const std::string& name, int rows, int keyFields = 0) {
    const std::string folder = home.file(name);
    std::filesystem::create_directories(folder);
    writeBenchTable(folder + "/BIG.db", rows, keyFields);
    return folder;
}

// The keyed table again, with the rest of a definition: a secondary index on Name, and validity
// checks (Day required, Amount within a range, a picture on Name).
std::string definedFolder(const TempDir& home, int rows) {
    const std::string folder = tableFolder(home, "defined", rows, 1);
    pxfixture::writeSecondaryIndexHeader(folder + "/BIG.X02", kBenchFields, {2}, 1);
    px::ValidityChecks checks;
    checks.fields.push_back({"Name", false, {}, {}, {}, "*!", {}});
    checks.fields.push_back({"Amount", false, Value::real(0), Value::real(1e9), {}, {}, {}});
    checks.fields.push_back({"Day", true, {}, {}, {}, {}, {}});
    pxfixture::writeValidityFile(folder + "/BIG.VAL", kBenchFields, checks);
    return folder;
}

// The same rows as CSV, each value as the transfer sends it, an empty field for NULL.
void writeCsv(const std::string& table, const std::string& csv) {
    px::Table source(table);
    std::ofstream out(csv);
    std::vector<Value> row;
    while (source.next(row)) {
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string text = row[i].isNull() ? std::string() : row[i].toText();
            out << (i ? "," : "") << (text.empty() ? "" : "\"" + text + "\"");
        }
        out << '\n';
    }
}

Measurement transfer(const std::string& folder, const QString& dsn, bool fast, long long rows,
                     std::vector<std::string> options = {}) {
    std::vector<std::string> command{MORVANE_TRANSFER, "--quiet"};
    if (!fast)
        command.push_back("--row-by-row");
    command.insert(command.end(), options.begin(), options.end());
    command.push_back(folder);
    command.push_back(dsn.toStdString());
    return measureProgram(command, rows);
}

// One table copied as the transfer copies it, in one transaction through a work table;
// `targetTables` names the target's tables, so that BIG among them is replaced.
long long copyThroughTransfer(const std::string& folder, const QString& dsn,
                              const QStringList& targetTables) {
    struct Unseen : TransferObserver {
        void rowStarting(long long, long long) override {}
        void tableEnded() override {}
        void targetDropped(const QString&) override {}
        void targetCreated(const QString&) override {}
    } observer;
    ConsoleDialogs dialogs(true);
    ErrorTrap trap(dialogs, nullptr, QStringLiteral("command_bench"));
    TableTransfer transfer(trap, dialogs, nullptr, observer, targetTables,
                           TableTransfer::Mode::Fast);
    if (!transfer.open({QString::fromStdString(folder), dsn}))
        return -1;
    const TableTransfer::Outcome outcome =
        transfer.copy({QStringLiteral("BIG"), QString::fromStdString(folder + "/BIG.db")});
    transfer.close();
    const bool whole = outcome == TableTransfer::Outcome::Done && dialogs.takeFailures().isEmpty();
    return whole ? transfer.rowsWritten() : -1;
}

// The overwrite in the order it had before work tables: the old table dropped first, then the
// same copy made into the free name.
long long dropThenCopy(const std::string& folder, const QString& dsn) {
    TestDatabases::execute(dsn, R"(DROP TABLE "BIG")");
    return copyThroughTransfer(folder, dsn, {});
}

// The middle one by time.
Measurement middleOf(std::vector<Measurement> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Measurement& a, const Measurement& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}

// PostgreSQL's own load of the same rows, as its users run it: psql's \copy of them as CSV
// into an empty table made first, as the typed copy makes it; the median of three.
Measurement postgresCopy(const TempDir& data, const std::string& folder) {
    const QString dsn = TestDatabases::newPostgresDsn();
    transfer(folder, dsn, true, kRows, {"--typed", "--no-verify"});
    const std::string csv = data.file("typed.csv");
    const QString database = queryRows(dsn, "SELECT current_database()")[0][0];
    const auto psql = [&](const std::string& command) {
        return measureProgram({"/usr/bin/psql", "-q", "-h", "127.0.0.1", "-p",
                               std::to_string(TestDatabases::postgresPort()), "-U", "postgres",
                               "-d", database.toStdString(), "-c", command},
                              kRows);
    };
    psql("\\copy \"BIG\" TO '" + csv + "' CSV");
    TestDatabases::execute(dsn, R"(CREATE TABLE loaded (LIKE "BIG" INCLUDING ALL))");
    std::vector<Measurement> runs;
    for (int i = 0; i < 3; ++i) {
        TestDatabases::execute(dsn, "TRUNCATE loaded");
        runs.push_back(psql("\\copy loaded FROM '" + csv + "' CSV"));
    }
    return middleOf(runs);
}

// MariaDB's own load of the same rows: LOAD DATA LOCAL INFILE from the mariadb client into an
// empty table made first, as the typed copy makes it; the median of three.
Measurement mariaDbLoad(const TempDir& data, const std::string& folder) {
    const QString dsn = TestDatabases::newMariaDbDsn();
    transfer(folder, dsn, true, kRows, {"--typed", "--no-verify"});
    const std::string rows = data.file("typed.tsv");
    const auto client = [&](const std::string& statement) {
        std::vector<std::string> command;
        for (const QString& word : TestDatabases::mariaDbClient(dsn))
            command.push_back(word.toStdString());
        command.insert(command.end(), {"-e", statement});
        return measureProgram(command, kRows);
    };
    client("SELECT * FROM BIG INTO OUTFILE '" + rows + "'");
    client("CREATE TABLE loaded LIKE BIG");
    std::vector<Measurement> runs;
    for (int i = 0; i < 3; ++i) {
        client("TRUNCATE loaded");
        runs.push_back(client("LOAD DATA LOCAL INFILE '" + rows + "' INTO TABLE loaded"));
    }
    return middleOf(runs);
}

void line(const char* what, const Measurement& m) {
    std::printf("  %-34s %9.0f rows/s, peak memory %ld KiB\n", what, m.perSecond(), m.peakKiB);
}

void ratio(const char* what, double value, const char* goal) {
    std::printf("  %s: %.2f  (goal: %s)\n", what, value, goal);
}

}  // namespace

int main(int argc, char** argv) {
    PrivateHome home;
    QCoreApplication application(argc, argv);
    TempDir data;
    const std::string big = tableFolder(data, "big", kRows);
    const std::string small = tableFolder(data, "small", kSmallRows);
    const std::string durable = tableFolder(data, "durable", kDurableStatementRows);

    std::printf("morvane-transfer into SQLite (WAL, synchronous NORMAL), %d rows:\n", kRows);
    const Measurement sqliteRows = transfer(big, TestDatabases::newSqliteDsn(), false, kRows);
    const Measurement sqliteFast = transfer(big, TestDatabases::newSqliteDsn(), true, kRows);
    line("--row-by-row:", sqliteRows);
    line("a table per transaction:", sqliteFast);
    ratio("rate ratio (--fast / per row)", sqliteFast.perSecond() / sqliteRows.perSecond(),
          "at least 2");

    if (TestDatabases::newMariaDbDsn().isEmpty()) {
        std::printf("MariaDB: not installed, skipped\n");
    } else {
        std::printf("MariaDB 10.11 (Connector/ODBC), %d rows:\n", kRows);
        std::vector<Measurement> typed;
        for (int i = 0; i < 3; ++i)
            typed.push_back(
                transfer(big, TestDatabases::newMariaDbDsn(), true, kRows, {"--typed"}));
        const Measurement loaded = mariaDbLoad(data, big);
        line("--typed, checked:", middleOf(typed));
        line("LOAD DATA LOCAL INFILE:", loaded);
        ratio("time ratio, --typed checked / LOAD DATA", middleOf(typed).seconds / loaded.seconds,
              "at most 2.0");
    }

    if (TestDatabases::newPostgresDsn().isEmpty()) {
        std::printf("PostgreSQL: not installed, skipped\n");
        return 0;
    }
    TestDatabases::stopPostgres();
    TestDatabases::startPostgres(true);
    std::printf("PostgreSQL 15 (psqlODBC), fsync and synchronous commit on:\n");
    // Each figure the median of three runs, checked and unchecked taking turns.
    const auto median = [&](const std::string& folder, bool fast, long long rows,
                            std::vector<std::string> options = {}) {
        std::vector<Measurement> runs;
        for (int i = 0; i < 3; ++i)
            runs.push_back(transfer(folder, TestDatabases::newPostgresDsn(), fast, rows, options));
        return middleOf(runs);
    };
    const Measurement postgresRows = median(durable, false, kDurableStatementRows);
    const Measurement postgresRowsUnchecked =
        median(durable, false, kDurableStatementRows, {"--no-verify"});
    const Measurement postgresFast = median(big, true, kRows);
    const Measurement postgresFastUnchecked = median(big, true, kRows, {"--no-verify"});
    const Measurement postgresSmall = median(small, true, kSmallRows);
    const Measurement postgresTyped = median(big, true, kRows, {"--typed"});
    line("one statement per row:", postgresRows);
    line("the same, unchecked:", postgresRowsUnchecked);
    line("--fast, 200,000 rows:", postgresFast);
    line("the same, unchecked:", postgresFastUnchecked);
    line("--fast, 20,000 rows:", postgresSmall);
    line("--typed --fast, 200,000 rows:", postgresTyped);
    ratio("rate ratio (--fast / per row)", postgresFast.perSecond() / postgresRows.perSecond(),
          "at least 20");
    ratio("time ratio, statement per row checked / unchecked",
          postgresRows.seconds / postgresRowsUnchecked.seconds, "at most 1.05");
    ratio("time ratio, --fast checked / unchecked",
          postgresFast.seconds / postgresFastUnchecked.seconds, "at most 1.3");
    ratio("time ratio, --typed --fast / --fast", postgresTyped.seconds / postgresFast.seconds,
          "at most 1.1");
    {
        const Measurement copied = postgresCopy(data, big);
        const Measurement inserted = median(big, true, kRows, {"--typed", "--inserts"});
        line("psql's \\copy, the same rows:", copied);
        line("--typed --inserts:", inserted);
        ratio("time ratio, --typed checked / \\copy", postgresTyped.seconds / copied.seconds,
              "at most 2.0");
        ratio("time ratio, --typed / --typed --inserts", postgresTyped.seconds / inserted.seconds,
              "measured");
    }
    {
        // The whole definition against the types, key and counter alone, on the same keyed
        // rows; the median of three, taking turns.
        const std::string keyed = tableFolder(data, "keyed", kRows, 1);
        const std::string defined = definedFolder(data, kRows);
        std::vector<Measurement> plain, whole;
        for (int i = 0; i < 3; ++i) {
            plain.push_back(
                transfer(keyed, TestDatabases::newPostgresDsn(), true, kRows, {"--typed"}));
            whole.push_back(
                transfer(defined, TestDatabases::newPostgresDsn(), true, kRows, {"--typed"}));
        }
        line("--typed, key only:", middleOf(plain));
        line("--typed, index and checks too:", middleOf(whole));
        ratio("time ratio, --typed with the whole definition / key only",
              middleOf(whole).seconds / middleOf(plain).seconds, "at most 1.3");
    }
    {
        // Four tables side by side on two jobs against one after the other; the median of
        // three, taking turns.
        const std::string four = data.file("four");
        std::filesystem::create_directories(four);
        for (const char* name : {"A", "B", "C", "D"})
            std::filesystem::copy_file(big + "/BIG.db", four + "/" + name + ".db");
        std::vector<Measurement> oneJob, twoJobs;
        for (int i = 0; i < 3; ++i) {
            oneJob.push_back(
                transfer(four, TestDatabases::newPostgresDsn(), true, 4 * kRows, {"--typed"}));
            twoJobs.push_back(transfer(four, TestDatabases::newPostgresDsn(), true, 4 * kRows,
                                       {"--typed", "--jobs", "2"}));
        }
        line("--typed, four tables, one job:", middleOf(oneJob));
        line("the same, --jobs 2:", middleOf(twoJobs));
        ratio("time ratio, --jobs 2 / --jobs 1 (four tables)",
              middleOf(twoJobs).seconds / middleOf(oneJob).seconds, "at most 0.75");
        std::filesystem::remove_all(four);
    }
    {
        // Replacing a table through a work table against dropping it first, each over a
        // target that holds the table already; the median of three, taking turns.
        std::vector<Measurement> throughWork, inPlace;
        for (int i = 0; i < 3; ++i) {
            const QString first = TestDatabases::newPostgresDsn(),
                          second = TestDatabases::newPostgresDsn();
            transfer(big, first, true, kRows);
            transfer(big, second, true, kRows);
            throughWork.push_back(measureInChild(
                [&] { return copyThroughTransfer(big, first, {QStringLiteral("BIG")}); }));
            inPlace.push_back(measureInChild([&] { return dropThenCopy(big, second); }));
        }
        const Measurement replaced = middleOf(throughWork), dropped = middleOf(inPlace);
        line("overwrite through a work table:", replaced);
        line("dropped first, then copied:", dropped);
        ratio("time ratio, --overwrite through a work table / drop first",
              replaced.seconds / dropped.seconds, "at most 1.05");
    }
    {
        // Noticing a source that changes while it is copied costs each copy two stamps of its
        // files (three when the check finds a difference): timed here against the whole copy.
        const std::string table = big + "/BIG.db";
        constexpr int kStamps = 1000;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kStamps; ++i)
            px::changeStampOf(table);
        const double stamp =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
            kStamps;
        std::printf("  one stamp of the source:           %9.1f microseconds\n", stamp * 1e6);
        ratio("time ratio, --fast noticing a changing source / not noticing",
              postgresFast.seconds / (postgresFast.seconds - 3 * stamp), "at most 1.02");
    }
    ratio("peak memory ratio, checked (200,000 / 20,000 rows)",
          double(postgresFast.peakKiB) / double(postgresSmall.peakKiB), "flat, 1.00");
    {
        // The check's share of a large table's copy, once each.
        const std::string huge = tableFolder(data, "huge", kHugeRows);
        const Measurement checked =
            transfer(huge, TestDatabases::newPostgresDsn(), true, kHugeRows);
        const Measurement unchecked =
            transfer(huge, TestDatabases::newPostgresDsn(), true, kHugeRows, {"--no-verify"});
        line("--fast, 2,000,000 rows:", checked);
        line("the same, unchecked:", unchecked);
        ratio("peak memory ratio, checked (2,000,000 / 200,000 rows)",
              double(checked.peakKiB) / double(postgresFast.peakKiB), "at most 1.3");
        ratio("time ratio, the check / the copy (2,000,000 rows)",
              (checked.seconds - unchecked.seconds) / unchecked.seconds, "measured");
        std::filesystem::remove_all(huge);
    }

    const QString pgloader = QStringLiteral("/usr/bin/pgloader");
    if (!QFile::exists(pgloader)) {
        std::printf("  pgloader: not installed, skipped\n");
    } else {
        const QString dsn = TestDatabases::newPostgresDsn();
        const QString database = queryRows(dsn, "SELECT current_database()")[0][0];
        TestDatabases::execute(dsn, R"(CREATE TABLE big("Id" NUMERIC, "Name" TEXT,
            "Amount" NUMERIC, "Day" TEXT, "Flag" TEXT, "Stamp" TEXT))");
        const std::string csv = data.file("big.csv");
        writeCsv(big + "/BIG.db", csv);
        const std::string load = data.file("big.load");
        std::ofstream(load) << "LOAD CSV FROM '" << csv << "'\n"
                            << "  (Id [null if blanks], Name [null if blanks], Amount [null if "
                               "blanks], Day [null if blanks], Flag [null if blanks], Stamp "
                               "[null if blanks])\n"
                            << "INTO postgresql://postgres@127.0.0.1:"
                            << TestDatabases::postgresPort() << "/" << database.toStdString()
                            << "?tablename=big\n"
                            << "WITH fields optionally enclosed by '\"', fields terminated by ','"
                            << ";\n";
        const Measurement loaded = measureProgram({pgloader.toStdString(), load}, kRows);
        if (queryRows(dsn, "SELECT count(*) FROM big")[0][0] != QString::number(kRows))
            throw std::runtime_error("pgloader did not load every row");
        line("pgloader, the same rows from CSV:", loaded);
        ratio("rate ratio (--fast / pgloader)", postgresFast.perSecond() / loaded.perSecond(),
              "at least 2.0");
    }
    TestDatabases::stopPostgres();
    TestDatabases::startPostgres();
    return 0;
}
