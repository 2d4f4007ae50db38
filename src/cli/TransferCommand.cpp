#include "TransferCommand.h"

#include <QElapsedTimer>
#include <QLocale>

#include <unistd.h>

#include <cstdio>
#include <vector>

#include "ConsoleDialogs.h"
#include "ProgressReport.h"
#include "TransferOptions.h"
#include "data/ParadoxModule.h"
#include "data/SybaseModule.h"
#include "runtime/ErrorTrap.h"
#include "tables/TableTransfer.h"
#include "tables/TargetNames.h"

namespace {

constexpr int kAllCopied = 0;
constexpr int kSomeFailed = 1;
constexpr int kNothingWritten = 2;

int refuse(const QString& message) {
    std::fprintf(stderr, "morvane-transfer: %s\n", qPrintable(message));
    return kNothingWritten;
}

struct Sides {
    std::vector<TableEntry> paradox;
    QStringList target;
};

// The tables of both sides, or the reason they cannot be had.
QString listBothSides(const TransferOptions& options, Dialogs& dialogs, Sides& sides) {
    try {
        Paradox::ListParadoxTables(options.folder, dialogs, [&](const TableEntry& table) {
            sides.paradox.push_back(table);
        });
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    }
    if (sides.paradox.empty())
        return QStringLiteral("no Paradox tables in ") + options.folder;
    std::sort(sides.paradox.begin(), sides.paradox.end(),
              [](const TableEntry& a, const TableEntry& b) {
                  return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
              });
    try {
        Sybase::ListSybaseTables(options.dataSource,
                                 [&](const QString& name) { sides.target << name; });
    } catch (const std::exception& failure) {
        return QStringLiteral("the data source ") + options.dataSource +
               QStringLiteral(" cannot be opened: ") + QString::fromUtf8(failure.what());
    }
    return {};
}

void printSides(const TransferOptions& options, const Sides& sides) {
    std::printf("Paradox tables in %s:\n", qPrintable(options.folder));
    for (const TableEntry& table : sides.paradox)
        std::printf("  %s\t%s\n", qPrintable(table.name), qPrintable(table.file));
    std::printf("Tables in %s:\n", qPrintable(options.dataSource));
    for (const QString& name : sides.target)
        std::printf("  %s\n", qPrintable(name));
}

// The tables the command line names, or every one; "" in `problem` when they can be copied.
std::vector<TableEntry> chosenTables(const TransferOptions& options, const Sides& sides,
                                     QString& problem) {
    std::vector<TableEntry> chosen;
    for (const TableEntry& table : sides.paradox)
        if (options.tables.isEmpty() || options.tables.contains(table.name, Qt::CaseInsensitive))
            chosen.push_back(table);
    for (const QString& wanted : options.tables)
        if (std::none_of(chosen.begin(), chosen.end(), [&](const TableEntry& table) {
                return table.name.compare(wanted, Qt::CaseInsensitive) == 0;
            }))
            problem = options.folder + QStringLiteral(" has no table ") + wanted;
    // Two files of one name would land in one target table.
    for (size_t i = 1; i < chosen.size() && problem.isEmpty(); ++i)
        if (chosen[i].name.compare(chosen[i - 1].name, Qt::CaseInsensitive) == 0)
            problem = QStringLiteral(
                          "two tables are named %1: %2 and %3; copy the folders one "
                          "at a time")
                          .arg(chosen[i].name, chosen[i - 1].file, chosen[i].file);
    return chosen;
}

}  // namespace

int runTransferCommand(const QStringList& arguments) {
    int exitCode = 0;
    const std::optional<TransferOptions> parsed = parseTransferOptions(arguments, exitCode);
    if (!parsed)
        return exitCode;
    const TransferOptions& options = *parsed;
    ConsoleDialogs dialogs(options.overwrite);

    Sides sides;
    if (const QString problem = listBothSides(options, dialogs, sides); !problem.isEmpty())
        return refuse(problem);
    if (options.list) {
        printSides(options, sides);
        return kAllCopied;
    }
    QString problem;
    std::vector<TableEntry> tables = chosenTables(options, sides, problem);
    if (!problem.isEmpty())
        return refuse(problem);

    // Existing target tables are met before anything is written.
    const TargetNames existing(sides.target);
    QStringList met;
    for (const TableEntry& table : tables)
        if (existing.has(table.name))
            met << existing.spellingOf(table.name);
    if (!met.isEmpty() && !options.overwrite && !options.skipExisting)
        return refuse(QStringLiteral("these tables exist in %1: %2; choose --overwrite or "
                                     "--skip-existing")
                          .arg(options.dataSource, met.join(QStringLiteral(", "))));
    if (options.skipExisting)
        std::erase_if(tables, [&](const TableEntry& table) { return existing.has(table.name); });

    ErrorTrap trap(dialogs, nullptr, QStringLiteral("morvane-transfer"));
    ProgressReport progress(stderr, ::isatty(STDERR_FILENO) == 1, options.quiet);
    TableTransfer transfer(
        trap, dialogs, nullptr, progress, sides.target,
        options.fast ? TableTransfer::Mode::Fast : TableTransfer::Mode::StatementPerRow);
    dialogs.setTable(options.dataSource);
    if (!transfer.open({options.folder, options.dataSource}))
        return kNothingWritten;

    QElapsedTimer clock;
    clock.start();
    long long rows = 0;
    int copied = 0;
    QStringList failed;
    bool connectionLost = false;
    for (const TableEntry& table : tables) {
        if (connectionLost) {
            failed << table.name + QStringLiteral(": not copied, the connection was lost");
            continue;
        }
        dialogs.setTable(table.name);
        progress.tableStarting(table.name);
        const int failuresBefore = dialogs.failures();
        const TableTransfer::Outcome outcome = transfer.copy(table);
        const bool whole =
            outcome == TableTransfer::Outcome::Done && dialogs.failures() == failuresBefore;
        progress.tableFinished(whole ? QString() : dialogs.firstCause());
        if (whole) {
            ++copied;
            rows += progress.rowsOfTable();
        } else {
            failed << table.name + QStringLiteral(": ") + dialogs.firstCause();
        }
        connectionLost = outcome == TableTransfer::Outcome::TransferEnds;
    }
    transfer.close();

    if (!options.quiet)
        std::fprintf(stderr, "Copied %d of %zu tables, %s rows, in %.1f s.\n", copied,
                     tables.size(), qPrintable(QLocale::c().toString(rows)),
                     double(clock.elapsed()) / 1000.0);
    for (const QString& line : failed)
        std::fprintf(stderr, "Failed: %s\n", qPrintable(line));
    return failed.isEmpty() && copied == static_cast<int>(tables.size()) ? kAllCopied : kSomeFailed;
}
