// The tables screen's copy with "Keep Paradox types, keys and rules" on against morvane-transfer
// --typed, the same 200,000 keyed rows into the same server (PostgreSQL, MariaDB), runs
// alternated; and the longest stretch in which the window handled no event during the screen's
// copy, seen by a timer that asks every 5 ms.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../tests/support/Databases.h"
#include "../tests/support/TablesScreen.h"
#include "BenchTable.h"
#include "Measure.h"
#include "PrivateHome.h"

namespace {

constexpr int kRows = 200000;

// The screen's copy of BIG; the longest pause between two timer ticks, in milliseconds, goes to
// `pauseFile`. The lists are loaded before the clock starts.
Measurement throughTheScreen(const QString& dsn, const std::string& folder,
                             const std::string& pauseFile) {
    std::unique_ptr<TablesScreen> screen;
    return measureInChild(
        [&]() -> long long {
            using Clock = std::chrono::steady_clock;
            Clock::time_point last = Clock::now();
            double longest = 0;
            QTimer ticker;
            QObject::connect(&ticker, &QTimer::timeout, [&] {
                const Clock::time_point now = Clock::now();
                longest = std::max(longest,
                                   std::chrono::duration<double, std::milli>(now - last).count());
                last = now;
            });
            ticker.start(5);
            screen->form2().PushButton4_Click();
            std::ofstream(pauseFile) << longest;
            return screen->test.dialogs.calls().empty() ? kRows : -1;
        },
        [&] {
            screen = std::make_unique<TablesScreen>(dsn);
            screen->form1->Text1->setText(QString::fromStdString(folder));
            screen->form2().Check1->click();
            screen->reload();
            TablesScreen::select(*screen->form2().List2, {"BIG"});
        });
}

double readPause(const std::string& pauseFile) {
    double pause = -1;
    std::ifstream(pauseFile) >> pause;
    return pause;
}

}  // namespace

int main(int argc, char** argv) {
    PrivateHome home;
    QApplication application(argc, argv);
    TempDir data;
    const std::string folder = data.file("tables");
    std::filesystem::create_directories(folder);
    writeBenchTable(folder + "/BIG.db", kRows, 1);
    const std::string pauseFile = data.file("pause");

    for (const bool mariaDb : {false, true}) {
        const char* name = mariaDb ? "MariaDB (Connector/ODBC)" : "PostgreSQL 15 (psqlODBC)";
        const auto fresh = [&] {
            return mariaDb ? TestDatabases::newMariaDbDsn() : TestDatabases::newPostgresDsn();
        };
        if (fresh().isEmpty()) {
            std::printf("%s: not installed, skipped\n", name);
            continue;
        }
        std::vector<Measurement> screenRuns, commandRuns;
        std::vector<double> pauses;
        for (int run = 0; run < 3; ++run) {
            screenRuns.push_back(throughTheScreen(fresh(), folder, pauseFile));
            pauses.push_back(readPause(pauseFile));
            commandRuns.push_back(measureProgram(
                {MORVANE_TRANSFER, "--quiet", "--typed", folder, fresh().toStdString()}, kRows));
        }
        const auto median = [](std::vector<Measurement> runs) {
            std::sort(runs.begin(), runs.end(), [](const Measurement& a, const Measurement& b) {
                return a.seconds < b.seconds;
            });
            return runs[runs.size() / 2];
        };
        const Measurement screen = median(screenRuns), command = median(commandRuns);
        if (screen.items != kRows) {
            std::fprintf(stderr, "%s: the screen's copy did not end without a box\n", name);
            return 1;
        }
        std::printf("%s, %d keyed rows:\n", name, kRows);
        std::printf("  the screen with the check box: %9.0f rows/s, peak memory %ld KiB\n",
                    screen.perSecond(), screen.peakKiB);
        std::printf("  morvane-transfer --typed:      %9.0f rows/s, peak memory %ld KiB\n",
                    command.perSecond(), command.peakKiB);
        std::printf("  time ratio (screen / morvane-transfer --typed): %.2f  (goal: at most 1.1)\n",
                    screen.seconds / command.seconds);
        std::printf(
            "  longest pause in event handling: %.0f ms, worst of %zu runs  (goal: under "
            "100 ms)\n",
            *std::max_element(pauses.begin(), pauses.end()), pauses.size());
    }
    return 0;
}
