// morvane-transfer --refresh against --overwrite of the same tables into PostgreSQL: with
// nothing changed (a keyed table of 200,000 rows and a keyless one of 20,000), and after 10
// rows of the keyed table changed, refreshed in place. Each figure the median of three runs.
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../tests/support/Databases.h"
#include "BenchTable.h"
#include "Measure.h"
#include "PrivateHome.h"

namespace {

constexpr int kRows = 200000;
constexpr int kKeylessRows = 20000;
constexpr int kChanged = 10;

Measurement run(const std::string& folder, const QString& dsn, const char* option) {
    return measureProgram(
        {MORVANE_TRANSFER, "--quiet", "--typed", option, folder, dsn.toStdString()}, kRows);
}

void line(const char* what, const Measurement& m) {
    std::printf("  %-40s %7.2f s, peak memory %ld KiB\n", what, m.seconds, m.peakKiB);
}

}  // namespace

int main(int argc, char** argv) {
    PrivateHome home;
    QCoreApplication application(argc, argv);
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty()) {
        std::printf("PostgreSQL: not installed, skipped\n");
        return 0;
    }
    const std::string folder = home.home.file("tables");
    std::filesystem::create_directories(folder);
    const std::string keyed = folder + "/BIG.db";
    writeBenchTable(keyed, kRows, 1);
    writeBenchTable(folder + "/PLAIN.db", kKeylessRows);
    run(folder, dsn, "--overwrite");

    std::printf("morvane-transfer --typed into PostgreSQL 15, %d keyed and %d keyless rows:\n",
                kRows, kKeylessRows);
    std::vector<Measurement> overwrite, unchanged, changed;
    for (int i = 0; i < 3; ++i) {
        overwrite.push_back(run(folder, dsn, "--overwrite"));
        unchanged.push_back(run(folder, dsn, "--refresh"));
    }
    // Each refresh in turn changes the same 10 rows one way or back.
    for (int i = 0; i < 3; ++i) {
        writeBenchTable(keyed, kRows, 1, i % 2 == 0 ? kChanged : 0);
        changed.push_back(run(folder, dsn, "--refresh"));
    }
    const Measurement replaced = median(overwrite), same = median(unchanged),
                      tenRows = median(changed);
    line("--overwrite:", replaced);
    line("--refresh, nothing changed:", same);
    line("--refresh, 10 rows of the keyed table:", tenRows);
    std::printf("  time ratio, --refresh unchanged / --overwrite: %.3f  (goal: at most 0.05)\n",
                same.seconds / replaced.seconds);
    std::printf("  time ratio, --refresh of 10 rows / --overwrite: %.2f  (goal: at most 0.5)\n",
                tenRows.seconds / replaced.seconds);
    return 0;
}
