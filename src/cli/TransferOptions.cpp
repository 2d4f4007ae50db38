#include "TransferOptions.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {

constexpr const char* kDescription =
    "Copies Paradox tables, structure and rows, from FOLDER (subfolders included) into the data\n"
    "source DSN: the named TABLEs, or every table of the folder. Each table goes in one\n"
    "transaction, under a name of its own until it is whole, so that it arrives whole or not\n"
    "at all; a table it replaces stays as it was until its copy is whole and checked.\n"
    "\n"
    "Before it copies anything, a run completes what runs that ended part-way (killed, or their\n"
    "connection lost) left on the target, as the journal of the program's steps there says.\n"
    "\n"
    "Exit status: 0 every table was copied; 1 some table failed or arrived incomplete, another\n"
    "table lost a foreign key, or a folder could not be read (the tables that were copied are\n"
    "complete); 3 every table arrived\n"
    "whole and verified, but a part of some table's definition (a key, a rule, an index, a\n"
    "foreign key) could not be carried, each named in a warning; 2 bad usage, a folder\n"
    "without tables, a data source that cannot be opened, or existing tables met with neither\n"
    "--overwrite nor --skip-existing (nothing is written then); 130 stopped by Ctrl-C, 143 by\n"
    "SIGTERM (the table being copied is rolled back; the ones before it are complete).";

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
                                  QStringLiteral("Print the tables of both sides and exit: each "
                                                 "Paradox table with its fields, key, indexes, "
                                                 "validity checks and relationships."));
    const QCommandLineOption overwrite(
        QStringLiteral("overwrite"),
        QStringLiteral("Replace existing target tables, each only by a complete, checked copy."));
    const QCommandLineOption skip(QStringLiteral("skip-existing"),
                                  QStringLiteral("Leave existing target tables as they are."));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Print only errors and warnings."));
    const QCommandLineOption rowByRow(
        QStringLiteral("row-by-row"),
        QStringLiteral("Send each row as a statement of its own, without a transaction, as the "
                       "tables screen does: for a target that cannot take a transaction. A table "
                       "that fails part-way is named as incomplete."));
    const QCommandLineOption fast(
        QStringLiteral("fast"),
        QStringLiteral("The default: each table in one transaction with one prepared insert. "
                       "Accepted for the scripts that name it."));
    const QCommandLineOption noVerify(
        QStringLiteral("no-verify"),
        QStringLiteral("Leave the copied tables unchecked. Otherwise each is read back and "
                       "compared with its source, and a table that differs counts as failed."));
    const QCommandLineOption inserts(
        QStringLiteral("inserts"),
        QStringLiteral("Send the rows as the driver's batched inserts even where the server has "
                       "a load of its own (PostgreSQL's COPY, on a session beside the data "
                       "source's)."));
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("Write a JSON report of the run to FILE: each table with its rows, its "
                       "check and its differences; the options, times and exit status."),
        QStringLiteral("FILE"));
    const QCommandLineOption typed(
        QStringLiteral("typed"),
        QStringLiteral("Give each column a type that holds the Paradox field's values exactly "
                       "(text, integers, doubles, decimals, dates, times, booleans, bytes), and "
                       "each table its primary key, its AutoInc counter, its validity checks "
                       "(required fields, defaults, ranges; pictures as comments) and secondary "
                       "indexes; once every table is on the target, its lookups and referential "
                       "integrity become foreign keys. What cannot be carried is named as a "
                       "warning and the table stays whole. Otherwise every column is TEXT or "
                       "NUMERIC, as the tables screen makes them."));
    const QCommandLineOption jobs(
        QStringLiteral("jobs"),
        QStringLiteral("Copy N tables at once, each on sessions of its own (default 1: a "
                       "server's connections may be counted or licensed). A table's copy is "
                       "never split; the relationships are made once all are copied, and the "
                       "summary keeps the folder's order."),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption copyAttempts(
        QStringLiteral("copy-attempts"),
        QStringLiteral("Copy a table whose source file changes while it is read (a program "
                       "saving to it) up to N times, each from the start, before it fails; "
                       "default 3."),
        QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption salvage(
        QStringLiteral("salvage"),
        QStringLiteral("Copy damaged tables too: every row that can be read, none invented; "
                       "what could not be read is named per table (exit status 1). Without it "
                       "a damaged table fails."));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QStringLiteral("Print the script the run would give the target, in its order, and write "
                       "nothing: each table's statements (with --typed: its key, rules and "
                       "indexes), then the foreign keys between the tables; other tables' keys "
                       "that a replacement drops and makes again; what the run would refuse or "
                       "leave out, and its warnings, as comments. Tables the target has are "
                       "skipped unless --overwrite is given."));
    const QCommandLineOption repair(
        QStringLiteral("repair"),
        QStringLiteral("Only complete what runs that ended part-way left on the target, and exit: "
                       "morvane-transfer --repair DSN. Every run does this first."));
    const QCommandLineOption lockWait(
        QStringLiteral("lock-wait"),
        QStringLiteral("Let a statement wait at most SECONDS for another session's lock (a drop, "
                       "a rename, a foreign key made again) before it fails; default 60, 0 for "
                       "the server's own setting. What a failed step leaves to do stays in the "
                       "journal for the next run."),
        QStringLiteral("SECONDS"), QStringLiteral("60"));
    const QCommandLineOption refresh(
        QStringLiteral("refresh"),
        QStringLiteral("Bring the tables the target has in step with their sources, by the "
                       "record each verified copy leaves on the target: a table whose source "
                       "has not changed is left alone; a keyed table (--typed) gets only the "
                       "rows that differ, in place, checked before its commit; any other is "
                       "replaced as --overwrite replaces it, and the line says why. A table "
                       "with no record, or recorded with the other mapping, is refused unless "
                       "--overwrite is given too. Tables the target lacks are copied."));
    const QCommandLineOption verifyRecorded(
        QStringLiteral("verify"),
        QStringLiteral("Only check every table the target has a record of against its source, "
                       "as the check of a copy does, and write nothing: which tables equal "
                       "their source, and the first rows of those that differ."));
    const QCommandLineOption names(
        QStringLiteral("names"),
        QStringLiteral("Name the tables and columns made on the target: as-is (as Paradox names "
                       "them, the default), lower (in lower case) or snake (lower case, every "
                       "character that needs quotes made \"_\", a reserved word or a leading "
                       "digit given a \"_\": \"Order No\" becomes order_no). Keys, indexes and "
                       "relationships follow; --list, --dry-run and the report say what each "
                       "name became."),
        QStringLiteral("STYLE"), QStringLiteral("as-is"));
    const QCommandLineOption schema(
        QStringLiteral("schema"),
        QStringLiteral("Put the tables, their keys, indexes and relationships in the schema NAME "
                       "(on MariaDB a database, on SQL Anywhere the user who owns them), made "
                       "first where it is missing and the product lets it be made; --list, "
                       "--refresh and --verify look there too. The program's own journal stays "
                       "where the data source starts."),
        QStringLiteral("NAME"));
    const QCommandLineOption cast(
        QStringLiteral("cast"),
        QStringLiteral("Give a column the type TYPE on the target rather than the mapping's, "
                       "by its Paradox names as --list shows them (TABLE * for every table that "
                       "has the column); repeatable. The check still compares every value: a "
                       "value the type cannot hold exactly fails its table."),
        QStringLiteral("TABLE.COLUMN=TYPE"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Display this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Display the version and exit."));
    parser.addOptions({list,    overwrite, skip,     quiet,    rowByRow, fast,
                       inserts, jobs,      noVerify, report,   typed,    copyAttempts,
                       salvage, dryRun,    repair,   lockWait, refresh,  verifyRecorded,
                       names,   cast,      schema,   help,     version});

    if (!parser.parse(arguments)) {
        exitCode = usageError(parser.errorText());
        return std::nullopt;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        // The usage line names the program as it is known, not the path it was started by.
        const QString text =
            parser.isSet(help)
                ? parser.helpText().replace(arguments.value(0), QStringLiteral("morvane-transfer"))
                : QStringLiteral("morvane-transfer " MORVANE_VERSION "\n");
        std::fputs(qPrintable(text), stdout);
        exitCode = 0;
        return std::nullopt;
    }
    QStringList positional = parser.positionalArguments();
    if (parser.isSet(repair)) {
        if (positional.size() != 1) {
            exitCode = usageError(QStringLiteral("--repair takes a DSN, and nothing else"));
            return std::nullopt;
        }
        positional.prepend(QString());
    }
    if (positional.size() < 2) {
        exitCode = usageError(QStringLiteral("a FOLDER and a DSN are needed"));
        return std::nullopt;
    }
    if (parser.isSet(overwrite) && parser.isSet(skip)) {
        exitCode = usageError(QStringLiteral("--overwrite and --skip-existing exclude each other"));
        return std::nullopt;
    }
    if (parser.isSet(refresh) && (parser.isSet(skip) || parser.isSet(rowByRow) ||
                                  parser.isSet(noVerify) || parser.isSet(dryRun))) {
        exitCode = usageError(QStringLiteral(
            "--refresh proves each table in one transaction: it takes neither --skip-existing, "
            "--row-by-row, --no-verify nor --dry-run"));
        return std::nullopt;
    }
    if (parser.isSet(verifyRecorded) &&
        (parser.isSet(refresh) || parser.isSet(overwrite) || parser.isSet(skip) ||
         parser.isSet(dryRun) || parser.isSet(list) || parser.isSet(noVerify))) {
        exitCode =
            usageError(QStringLiteral("--verify writes nothing and lists nothing: it takes none of "
                                      "--refresh, --overwrite, --skip-existing, --dry-run, --list, "
                                      "--no-verify"));
        return std::nullopt;
    }
    if (parser.isSet(fast) && parser.isSet(rowByRow)) {
        exitCode = usageError(QStringLiteral("--fast and --row-by-row exclude each other"));
        return std::nullopt;
    }
    bool attemptsRead = false;
    const int attempts = parser.value(copyAttempts).toInt(&attemptsRead);
    if (!attemptsRead || attempts < 1) {
        exitCode = usageError(QStringLiteral("--copy-attempts takes a whole number from 1, not ") +
                              parser.value(copyAttempts));
        return std::nullopt;
    }
    bool jobsRead = false;
    const int sideBySide = parser.value(jobs).toInt(&jobsRead);
    if (!jobsRead || sideBySide < 1) {
        exitCode = usageError(QStringLiteral("--jobs takes a whole number from 1, not ") +
                              parser.value(jobs));
        return std::nullopt;
    }
    if (sideBySide > 1 && parser.isSet(refresh)) {
        exitCode =
            usageError(QStringLiteral("--jobs: a refresh writes its tables together, in "
                                      "one transaction of one session; leave --jobs out"));
        return std::nullopt;
    }
    bool waitRead = false;
    const int wait = parser.value(lockWait).toInt(&waitRead);
    if (!waitRead || wait < 0) {
        exitCode = usageError(QStringLiteral("--lock-wait takes a whole number of seconds from 0, "
                                             "not ") +
                              parser.value(lockWait));
        return std::nullopt;
    }
    const std::optional<NameRule::Style> style = NameRule::styleNamed(parser.value(names));
    if (!style) {
        exitCode = usageError(QStringLiteral("--names takes as-is, lower or snake, not ") +
                              parser.value(names));
        return std::nullopt;
    }
    TransferOptions options;
    for (const QString& chosen : parser.values(cast))
        if (const QString problem = options.casts.add(chosen); !problem.isEmpty()) {
            exitCode = usageError(problem);
            return std::nullopt;
        }
    options.names = *style;
    options.schema = parser.value(schema);
    options.copyAttempts = attempts;
    options.jobs = sideBySide;
    options.repair = parser.isSet(repair);
    options.lockWait = wait;
    options.salvage = parser.isSet(salvage);
    options.folder = positional.takeFirst();
    options.dataSource = positional.takeFirst();
    options.tables = positional;
    options.list = parser.isSet(list);
    options.overwrite = parser.isSet(overwrite);
    options.skipExisting = parser.isSet(skip);
    options.quiet = parser.isSet(quiet);
    options.rowByRow = parser.isSet(rowByRow);
    options.verify = !parser.isSet(noVerify);
    options.inserts = parser.isSet(inserts);
    options.reportFile = parser.value(report);
    options.typed = parser.isSet(typed);
    options.dryRun = parser.isSet(dryRun);
    options.refresh = parser.isSet(refresh);
    options.verifyRecorded = parser.isSet(verifyRecorded);
    return options;
}
