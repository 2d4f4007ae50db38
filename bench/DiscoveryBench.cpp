// Listing the Paradox tables of a large folder tree, beside `find DIR -iname '*.db'` on the same
// tree in the same run.
#include <QApplication>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "../tests/support/ScriptedDialogs.h"
#include "../tests/support/TempDir.h"
#include "Measure.h"
#include "data/ParadoxModule.h"

namespace fs = std::filesystem;

namespace {

// 20 x 20 x 49 folders (20,020 with the upper levels) and 5,000 tables among other files.
long long makeTree(const std::string& root) {
    long long tables = 0;
    int folder = 0;
    for (int a = 0; a < 20; ++a)
        for (int b = 0; b < 20; ++b)
            for (int c = 0; c < 49; ++c, ++folder) {
                const std::string path = root + "/f" + std::to_string(a) + "/g" +
                                         std::to_string(b) + "/h" + std::to_string(c);
                fs::create_directories(path);
                if (folder % 3 == 0 && tables < 5000) {
                    std::ofstream(path + "/TABLE" + std::to_string(folder) + ".DB");
                    ++tables;
                }
                std::ofstream(path + "/readme.txt");
            }
    return tables;
}

long long listWithFind(const std::string& root) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (!std::freopen("/dev/null", "w", stdout))
            ::_exit(127);
        ::execlp("find", "find", root.c_str(), "-iname", "*.db", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 5000 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TempDir dir;
    const std::string root = dir.file("tree");
    const long long tables = makeTree(root);

    const Measurement ours = medianOf(5, [&] {
        ScriptedDialogs dialogs;
        long long found = 0;
        Paradox::ListParadoxTables(QString::fromStdString(root), dialogs,
                                   [&](const TableEntry&) { ++found; });
        return found;
    });
    const Measurement find = medianOf(5, [&] { return listWithFind(root); });
    if (ours.items != tables) {
        std::fprintf(stderr, "the scan found %lld tables of %lld\n", ours.items, tables);
        return 1;
    }
    std::printf("Listing %lld tables in a tree of 20,020 folders\n", tables);
    std::printf("  morvane scan: %.3f s\n", ours.seconds);
    std::printf("  find -iname:  %.3f s\n", find.seconds);
    std::printf("  time ratio (morvane / find): %.2f  (goal: at most 1.5)\n",
                ours.seconds / find.seconds);
    return 0;
}
