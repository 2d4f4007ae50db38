// How long morvane-transfer takes to end after Ctrl-C, wherever the run is: sending rows, the
// check reading the copy back, a key being made, a drop waiting on another session's lock. Each
// phase is reached by what the server is seen running, on PostgreSQL and MariaDB; each figure
// is the median of three runs. The goal is under a second.
#include <QCoreApplication>
#include <QProcess>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "../tests/support/Databases.h"
#include "BenchTable.h"
#include "PrivateHome.h"

namespace {

constexpr int kRows = 100000;

struct Phase {
    const char* what;
    QString statement;  // what the server runs when the run is there
    bool overwrite = false;
    // Makes the phase last on a fresh target, before the run starts; what it holds is let go
    // once the run ended.
    std::function<std::shared_ptr<void>(const QString& dsn)> prepare;
};

// Seconds from Ctrl-C to the run's end, or a negative number when the run did not reach the
// phase or did not end as a stopped run ends.
double secondsToStop(const std::string& folder, const QString& dsn, const Phase& phase) {
    if (phase.overwrite) {
        QProcess first;
        first.start(QStringLiteral(MORVANE_TRANSFER),
                    {QStringLiteral("--typed"), QString::fromStdString(folder), dsn});
        first.waitForFinished(600000);
    }
    const std::shared_ptr<void> held = phase.prepare ? phase.prepare(dsn) : nullptr;
    QProcess run;
    QStringList arguments{QStringLiteral("--typed")};
    if (phase.overwrite)
        arguments << QStringLiteral("--overwrite");
    run.start(QStringLiteral(MORVANE_TRANSFER), arguments << QString::fromStdString(folder) << dsn);
    run.waitForStarted();
    if (!TestDatabases::waitForStatement(dsn, phase.statement)) {
        run.kill();
        run.waitForFinished();
        return -1;
    }
    const auto signalled = std::chrono::steady_clock::now();
    ::kill(static_cast<pid_t>(run.processId()), SIGINT);
    run.waitForFinished(600000);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    return run.exitStatus() == QProcess::NormalExit && run.exitCode() == 130 ? seconds : -1;
}

double medianOfThree(const std::function<double()>& measure) {
    std::vector<double> runs;
    for (int i = 0; i < 3; ++i)
        if (runs.push_back(measure()); runs.back() < 0)
            return -1;
    std::sort(runs.begin(), runs.end());
    return runs[1];
}

// Another session reads BIG, so that the drop of the old table waits for it.
std::shared_ptr<void> readerOfBig(const QString& dsn) {
    return std::make_shared<ReadingSession>(dsn, QStringLiteral("BIG"));
}

}  // namespace

int main(int argc, char** argv) {
    PrivateHome home;
    QCoreApplication application(argc, argv);
    const std::string folder = home.home.file("big");
    std::filesystem::create_directories(folder);
    writeBenchTable(folder + "/BIG.db", kRows, 1);

    // The phases on `product`, each with what its server runs then.
    const auto phasesOn = [](const std::string& product) {
        const bool postgres = product == "postgres";
        std::vector<Phase> phases = {
            {"sending rows", QStringLiteral(R"(INSERT INTO "BIG__morvane_new")"), false, {}},
            // PostgreSQL's check reads through a cursor, a page at a time.
            {"the check reads the copy",
             postgres ? QStringLiteral("FROM morvane_check")
                      : QStringLiteral(R"(SELECT "Id", "Name")"),
             false,
             {}},
            {"a drop waits on a lock", QStringLiteral(R"(DROP TABLE "BIG")"), true, readerOfBig}};
        // A key that takes half a minute to make.
        if (postgres)
            phases.push_back(
                {"a key is made", QStringLiteral("ADD PRIMARY KEY"), false, [](const QString& dsn) {
                     TestDatabases::slowDefinitions(dsn, QStringLiteral("PRIMARY KEY"), 30);
                     return std::shared_ptr<void>();
                 }});
        return phases;
    };

    std::printf("morvane-transfer --typed, %d keyed rows: seconds from Ctrl-C to the end\n", kRows);
    for (const std::string product : {"postgres", "mariadb"}) {
        if (TestDatabases::newDsnOn(product).isEmpty()) {
            std::printf("%s: not installed, skipped\n", product.c_str());
            continue;
        }
        std::printf("%s:\n", product == "postgres" ? "PostgreSQL 15" : "MariaDB");
        for (const Phase& phase : phasesOn(product)) {
            const double seconds = medianOfThree(
                [&] { return secondsToStop(folder, TestDatabases::newDsnOn(product), phase); });
            if (seconds < 0)
                std::printf("  Ctrl-C while %-26s not measured: the run did not stop there\n",
                            (std::string(phase.what) + ":").c_str());
            else
                std::printf("  Ctrl-C while %-26s %6.2f s  (goal: under 1)\n",
                            (std::string(phase.what) + ":").c_str(), seconds);
        }
    }
    return 0;
}
