#include "TransferOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr const char* kDescription =
    "Copies Paradox tables, structure and rows, from FOLDER (subfolders included) into the data\n"
    "source DSN: the named TABLEs, or every table of the folder.\n"
    "\n"
    "Exit status: 0 every table was copied; 1 some table failed (the others are complete);\n"
    "2 bad usage, a folder without tables, a data source that cannot be opened, or existing\n"
    "tables met with neither --overwrite nor --skip-existing (nothing is written then).";

int usageError(const QString& message) {
    std::fprintf(stderr, "morvane-transfer: %s\nTry 'morvane-transfer --help' for more.\n",
                 qPrintable(message));
    return 2;
}

}  // namespace

std::optional<TransferOptions> parseTransferOptions(const QStringList& arguments, int& exitCode) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The Paradox folder."));
    parser.addPositionalArgument(QStringLiteral("DSN"), QStringLiteral("The target data source."));
    parser.addPositionalArgument(QStringLiteral("TABLE"), QStringLiteral("Tables to copy."),
                                 QStringLiteral("[TABLE...]"));
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("Print the tables of both sides and exit."));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"),
                                       QStringLiteral("Drop and recreate existing target tables."));
    const QCommandLineOption skip(QStringLiteral("skip-existing"),
                                  QStringLiteral("Leave existing target tables as they are."));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Print only errors."));
    const QCommandLineOption fast(
        QStringLiteral("fast"),
        QStringLiteral("Copy each table in one transaction with one prepared insert; a table "
                       "that fails is rolled back whole."));
    parser.addOptions({list, overwrite, skip, quiet, fast});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(arguments)) {
        exitCode = usageError(parser.errorText());
        return std::nullopt;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        // The usage line names the program as it is known, not the path it was started by.
        const QString text = parser.isSet(help)
                                 ? parser.helpText().replace(QCoreApplication::arguments().value(0),
                                                             QStringLiteral("morvane-transfer"))
                                 : QStringLiteral("morvane-transfer " MORVANE_VERSION "\n");
        std::fputs(qPrintable(text), stdout);
        exitCode = 0;
        return std::nullopt;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.size() < 2) {
        exitCode = usageError(QStringLiteral("a FOLDER and a DSN are needed"));
        return std::nullopt;
    }
    if (parser.isSet(overwrite) && parser.isSet(skip)) {
        exitCode = usageError(QStringLiteral("--overwrite and --skip-existing exclude each other"));
        return std::nullopt;
    }
    TransferOptions options;
    options.folder = positional.takeFirst();
    options.dataSource = positional.takeFirst();
    options.tables = positional;
    options.list = parser.isSet(list);
    options.overwrite = parser.isSet(overwrite);
    options.skipExisting = parser.isSet(skip);
    options.quiet = parser.isSet(quiet);
    options.fast = parser.isSet(fast);
    return options;
}
