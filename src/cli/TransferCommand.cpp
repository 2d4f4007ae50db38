#include "TransferCommand.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "ConsoleDialogs.h"
#include "Interruption.h"
#include "NameChanges.h"
#include "ProgressReport.h"
#include "RunReport.h"
#include "RunSummary.h"
#include "TableCopies.h"
#include "TransferOptions.h"
#include "ado/Connection.h"
#include "data/ParadoxModule.h"
#include "data/SybaseModule.h"
#include "data/products/TargetProduct.h"
#include "operations/CopyRecords.h"
#include "operations/JournalRepair.h"
#include "operations/RunJournal.h"
#include "operations/TableTransfer.h"
#include "operations/TargetNames.h"
#include "paradox/FormatError.h"
#include "paradox/SecondaryIndex.h"
#include "paradox/Table.h"
#include "paradox/ValidityFile.h"
#include "runtime/Counting.h"
#include "runtime/ErrorTrap.h"

namespace {

constexpr int kAllCopied = 0;
constexpr int kNothingWritten = 2;

struct Sides {
    std::vector<TableEntry> paradox;
    QStringList target;  // the tables an unqualified name reaches
    std::unique_ptr<TargetProduct> product;
};

// Why the folder cannot be the Paradox folder, or "".
QString folderProblem(const QString& folder) {
    const QFileInfo about(folder);
    if (!about.exists())
        return folder + QStringLiteral(": no such folder");
    if (!about.isDir())
        return folder + QStringLiteral(" is a file, not a folder");
    return {};
}

// The tables of both sides, or the reason they cannot be had. Subfolders that cannot be read
// become warnings.
QString listBothSides(const TransferOptions& options, Dialogs& dialogs, RunSummary& summary,
                      Sides& sides, ado::Connection& home, const QString& openProblem) {
    if (const QString problem = folderProblem(options.folder); !problem.isEmpty())
        return problem;
    try {
        Paradox::ListParadoxTables(
            options.folder, dialogs,
            [&](const TableEntry& table) { sides.paradox.push_back(table); },
            [&](const QString& folder, const QString& reason) {
                summary.warn(QStringLiteral("the folder %1 cannot be read (%2): tables in it may "
                                            "be missing")
                                 .arg(folder, reason));
            });
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    }
    std::sort(sides.paradox.begin(), sides.paradox.end(),
              [](const TableEntry& a, const TableEntry& b) {
                  return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
              });
    QString problem = openProblem;
    try {
        if (problem.isEmpty())
            Sybase::ListReachableTables(
                home, *sides.product, [&](const QString& name) { sides.target << name; },
                options.schema);
    } catch (const std::exception& failure) {
        problem = QString::fromUtf8(failure.what());
    }
    if (!problem.isEmpty())
        return QStringLiteral("the data source ") + options.dataSource +
               QStringLiteral(" cannot be opened: ") + problem;
    return {};
}

// The table's secondary indexes, each with its fields; one that cannot be read, with why.
void printIndexes(const px::Table& source) {
    std::vector<std::string> problems;
    for (const px::SecondaryIndex& index :
         px::secondaryIndexesOf(source.path(), source.keyFieldCount(), problems)) {
        std::string keys;
        for (const px::SecondaryIndex::Key& key : index.keys)
            keys += (keys.empty() ? "" : ", ") + key.field + (key.descending ? " DESC" : "");
        std::printf("      index %s: %s%s%s\n", index.name.c_str(), keys.c_str(),
                    index.unique ? ", unique" : "", index.caseInsensitive ? ", ignoring case" : "");
    }
    for (const std::string& problem : problems)
        std::printf("      (index %s)\n", problem.c_str());
}

// The table's validity checks and its relationships to parent tables, from its .VAL file.
void printValidityChecks(px::Table& source) {
    const std::optional<std::string> file = px::validityFileOf(source.path());
    if (!file)
        return;
    px::ValidityChecks checks;
    try {
        checks = px::readValidityFile(*file, source);
    } catch (const std::exception& failure) {
        std::printf("      (validity checks: %s)\n", failure.what());
        return;
    }
    for (const px::FieldChecks& field : checks.fields) {
        std::string line;
        const auto add = [&](const std::string& part) {
            line += (line.empty() ? "" : ", ") + part;
        };
        if (field.required)
            add("required");
        if (!field.minimum.isNull())
            add("at least " + field.minimum.toText());
        if (!field.maximum.isNull())
            add("at most " + field.maximum.toText());
        if (!field.defaultValue.isNull())
            add("default " + field.defaultValue.toText());
        if (!field.picture.empty())
            add("picture " + field.picture);
        if (!field.lookupTable.empty())
            add("looked up in " + field.lookupTable);
        std::printf("      check %s: %s\n", field.field.c_str(), line.c_str());
    }
    for (const px::Relationship& related : checks.relationships) {
        std::string fields;
        for (const std::string& field : related.fields)
            fields += (fields.empty() ? "" : ", ") + field;
        std::printf("      relationship %s: %s -> %s, updates %s\n", related.name.c_str(),
                    fields.c_str(), related.parentTable.c_str(),
                    related.cascadesUpdates ? "cascade" : "restricted");
    }
}

// Each folder of `tables` where a Paradox program's lock files lie, with a sentence naming them.
std::vector<std::pair<QString, QString>> lockedFolders(const std::vector<TableEntry>& tables) {
    QStringList folders;
    for (const TableEntry& table : tables)
        if (const QString folder = QFileInfo(table.file).absolutePath(); !folders.contains(folder))
            folders << folder;
    std::vector<std::pair<QString, QString>> locked;
    for (const QString& folder : folders)
        if (const QStringList files = Paradox::LockFilesIn(folder); !files.isEmpty())
            locked.emplace_back(folder, QStringLiteral("a Paradox program may be using ") + folder +
                                            QStringLiteral(": ") +
                                            files.join(QStringLiteral(", ")) +
                                            QStringLiteral(" lie beside its tables (a program that "
                                                           "ended without closing them leaves them "
                                                           "too)"));
    return locked;
}

// What a work table left by an earlier run is, after its name; "" for other tables.
QString workTableNote(const QString& name, const Sides& sides) {
    if (RunJournal::isJournal(name))
        return QStringLiteral(
            "\t(the journal of this program's steps on the target: what a run "
            "that ends part-way leaves to the next)");
    if (!TargetProduct::isWorkTableName(name))
        return {};
    for (const QString& table : sides.target)
        if (sides.product->workTableName(table).compare(name, Qt::CaseInsensitive) == 0)
            return QStringLiteral(
                "\t(a copy left unfinished; the next copy of its table "
                "removes it)");
    // Its own table is gone: a replacement whose rename failed leaves the only copy there is.
    const QString table = TargetProduct::tableOfWorkTable(name);
    const QString rename = sides.product->workTableName(table) == name
                               ? QStringLiteral("; ") +
                                     sides.product->renameStatement(name, table) +
                                     QStringLiteral(" gives it its name")
                               : QString();
    return QStringLiteral(
               "\t(the target has no table of its own: it may hold the only copy, "
               "unless it is empty") +
           rename + QLatin1Char(')');
}

// What the journal holds: the steps runs left open, and the record of each verified copy.
void printJournal(const QString& dataSource, const TargetProduct& product) {
    try {
        ado::Connection target;
        target.Open(QStringLiteral("Data Source=") + dataSource);
        RunJournal journal(target, product);
        for (const JournalEntry& entry : journal.allEntries()) {
            if (!entry.open)
                continue;
            const QString what =
                entry.kind == JournalEntry::Kind::ForeignKey
                    ? QStringLiteral("foreign key %1 of %2 to %3, dropped")
                          .arg(entry.key.name, entry.child, entry.table)
                : entry.kind == JournalEntry::Kind::Replacement
                    ? QStringLiteral("%1 replaced by %2").arg(entry.table, entry.work)
                    : QStringLiteral("%1 copied into %2%3")
                          .arg(entry.table, entry.work,
                               entry.verified ? QStringLiteral(", verified") : QString());
            std::printf("      open step %d of run %s, %s UTC: %s\n", entry.step,
                        qPrintable(entry.run), qPrintable(entry.at), qPrintable(what));
        }
        for (const CopyRecord& record : CopyRecords(target, product).all())
            std::printf("      verified copy of %s from %s: %s, %s, %s UTC\n",
                        qPrintable(record.table), qPrintable(record.sourceFile),
                        qPrintable(rowsCounted(record.rows)),
                        record.layout.startsWith(QStringLiteral("typed")) ? "typed" : "untyped",
                        qPrintable(record.at));
    } catch (const std::exception& failure) {
        std::printf("      (%s)\n", failure.what());
    }
}

// Each Paradox table with its fields, their Paradox types, its secondary indexes, validity
// checks and relationships; and the data source's tables.
// "\t-> name" where the target names something otherwise than Paradox does.
QString becomes(const QString& paradox, const NameRule& names) {
    const QString target = names(paradox);
    return target == paradox ? QString() : QStringLiteral("\t-> ") + target;
}

void printSides(const TransferOptions& options, const Sides& sides) {
    const NameRule names(options.names, *sides.product);
    std::printf("Paradox tables in %s:\n", qPrintable(options.folder));
    for (const auto& [folder, note] : lockedFolders(sides.paradox))
        std::printf("  (%s)\n", qPrintable(note));
    for (const TableEntry& table : sides.paradox) {
        std::printf("  %s\t%s%s\n", qPrintable(table.name), qPrintable(table.file),
                    qPrintable(becomes(table.name, names)));
        try {
            px::Table source(QFile::encodeName(table.file).toStdString());
            for (size_t i = 0; i < source.fields().size(); ++i)
                std::printf(
                    "      %s\t%s%s%s\n", source.fields()[i].name.c_str(),
                    source.fields()[i].typeName().c_str(),
                    static_cast<int>(i) < source.keyFieldCount() ? "\tkey" : "",
                    qPrintable(becomes(QString::fromStdString(source.fields()[i].name), names)));
            printIndexes(source);
            printValidityChecks(source);
        } catch (const std::exception& failure) {
            std::printf("      (%s)\n", failure.what());
        }
    }
    std::printf("Tables in %s:\n", qPrintable(options.dataSource));
    for (const QString& name : sides.target) {
        std::printf("  %s%s\n", qPrintable(name), qPrintable(workTableNote(name, sides)));
        if (RunJournal::isJournal(name))
            printJournal(options.dataSource, *sides.product);
    }
    // The journal stays where the data source starts, whatever schema the tables go to.
    if (!options.schema.isEmpty()) {
        std::printf(
            "  (the journal of this program's steps, beside the data source's own tables)\n");
        printJournal(options.dataSource, *sides.product);
    }
}

void printStatements(const QStringList& statements) {
    // The screen's create statement ends with its own semicolon.
    for (const QString& statement : statements)
        std::printf("%s%s\n", qPrintable(statement),
                    statement.endsWith(QLatin1Char(';')) ? "" : ";");
}

void printComments(const QStringList& lines) {
    for (const QString& line : lines)
        std::printf("-- %s\n", qPrintable(line));
}

// The script a run would give the target, on standard output, with what it would refuse, leave
// out or warn of as comments; nothing is written.
int printScript(const std::vector<TableEntry>& tables, const QStringList& notes,
                const TransferOptions& options, TableTransfer& transfer, RunSummary& summary) {
    std::printf(
        "-- The statements morvane-transfer would give %s, in order; none was run. Each "
        "table's rows\n-- go in after its CREATE TABLE, and each copy is checked before "
        "it takes its name.\n",
        qPrintable(options.dataSource));
    printComments(summary.warnings() + NameChanges::lines(summary.names()) + notes);
    printStatements(transfer.product().sessionStatements());
    if (!options.schema.isEmpty())
        printStatements(transfer.product().useSchemaStatements(options.schema));
    int status = kAllCopied;
    for (const TableEntry& table : tables) {
        std::printf("-- %s, from %s\n", qPrintable(table.name), qPrintable(table.file));
        try {
            const TableTransfer::Plan plan = transfer.plan(table, options.overwrite);
            printStatements(plan.statements);
            printComments(plan.notes);
        } catch (const std::exception& failure) {
            std::printf("-- cannot be made: %s\n", failure.what());
            summary.warn(table.name + QStringLiteral(": ") + QString::fromUtf8(failure.what()));
            status = 1;
        }
    }
    const TableTransfer::Plan related = transfer.planRelationships();
    if (!related.statements.isEmpty() || !related.notes.isEmpty()) {
        std::printf("-- The foreign keys between the tables\n");
        printStatements(related.statements);
        printComments(related.notes);
    }
    return status;
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

// Files named *.db that are no Paradox tables at all (Windows' Thumbs.db) are passed over with
// a note when the command line named no tables; named ones are copied, and fail as they will.
void passOverOtherFiles(std::vector<TableEntry>& tables, ProgressReport& progress) {
    std::erase_if(tables, [&](const TableEntry& table) {
        try {
            // The header tells; the walk of a large table's blocks waits for its copy.
            px::Table probe(QFile::encodeName(table.file).toStdString(),
                            px::Table::Reading::HeaderOnly);
        } catch (const px::NotATable& notATable) {
            QString reason = QString::fromUtf8(notATable.what());
            reason[0] = reason[0].toLower();  // "The Paradox table file ..." inside a line
            progress.note(table.name + QStringLiteral(": skipped, ") + reason);
            return true;
        } catch (const std::exception&) {
            // A damaged table is still a table: its copy reports the damage.
        }
        return false;
    });
}

}  // namespace

namespace {

// --verify: every recorded table (or the named ones) checked against its source, one line each;
// 0 when every one equals its source.
int verifyRecorded(const TransferOptions& options, TableTransfer& transfer,
                   ProgressReport& progress) {
    progress.doing(QStringLiteral("checking the recorded tables"));
    int equal = 0, checked = 0;
    for (const TableTransfer::Verified& table : transfer.verifyRecorded()) {
        if (!options.tables.isEmpty() && !options.tables.contains(table.table, Qt::CaseInsensitive))
            continue;
        ++checked;
        if (!table.problem.isEmpty()) {
            progress.error(QStringLiteral("Not checked: ") + table.table + QStringLiteral(": ") +
                           table.problem);
        } else if (table.check->exact()) {
            ++equal;
            progress.note(table.table + QStringLiteral(": equals its source ") + table.sourceFile +
                          QStringLiteral(" (%1)").arg(rowsCounted(table.check->rowsStored)));
        } else {
            progress.error(QStringLiteral("Differs: ") + table.check->describe(table.table, 3));
        }
    }
    if (checked == 0) {
        progress.error(QStringLiteral("No table of ") + options.dataSource +
                       QStringLiteral(" has a record of a verified copy to check"));
        return 1;
    }
    progress.note(
        QStringLiteral("%1 of %2 recorded tables equal their source.").arg(equal).arg(checked));
    if (Interruption::requested())
        return Interruption::exitStatus();
    return equal == checked ? 0 : 1;
}

// The run once its options are known; its exit status. Every result goes into the summary.
TableTransfer::Mode modeOf(const TransferOptions& options) {
    return options.rowByRow ? TableTransfer::Mode::StatementPerRow : TableTransfer::Mode::Fast;
}

// Gives a transfer the run's options, before it opens.
void configure(TableTransfer& transfer, const TransferOptions& options) {
    if (!options.verify)
        transfer.skipChecks();
    // A run that writes no rows opens no load.
    if (options.inserts || options.dryRun || options.verifyRecorded)
        transfer.sendAsInserts();
    transfer.setCopyAttempts(options.copyAttempts);
    transfer.setLockWait(options.lockWait);
    transfer.setDamagedTables(options.salvage ? TableTransfer::DamagedTables::Salvage
                                              : TableTransfer::DamagedTables::Refuse);
    if (options.typed)
        transfer.useTypedMapping();
    transfer.nameTargets(options.names);
    transfer.putTablesIn(options.schema, !options.dryRun);
    transfer.castColumns(options.casts);
    if (options.refresh)
        transfer.refreshTables(options.overwrite);
}

// A job beside the first, with sessions, dialogs and progress of its own.
struct HelperJob {
    HelperJob(const TransferOptions& options, const QStringList& targetTables, int job)
        : dialogs(options.overwrite),
          trap(dialogs, nullptr, QStringLiteral("morvane-transfer")),
          progress(stderr, false, options.quiet, options.dataSource,
                   [] { return Interruption::requested(); }),
          transfer(trap, dialogs, nullptr, progress, targetTables, modeOf(options)) {
        configure(transfer, options);
        transfer.copyAlongside(job);
    }
    ConsoleDialogs dialogs;
    ErrorTrap trap;
    CreationWatch progress;
    TableTransfer transfer;
};

// The jobs beside the first that --jobs asks for, where there is more than one table to copy;
// a job whose sessions cannot be opened is left out, and said so.
std::vector<std::unique_ptr<HelperJob>> helperJobs(
    const TransferOptions& options, const QStringList& targetTables, size_t tables,
    const TargetProduct& product, const std::function<void(const QString&)>& note) {
    std::vector<std::unique_ptr<HelperJob>> helpers;
    if (options.jobs > 1 && product.oneWriterAtATime()) {
        note(QStringLiteral("--jobs: %1 takes one writer at a time: the tables are copied one "
                            "after the other")
                 .arg(product.displayName()));
        return helpers;
    }
    const size_t wanted = std::min<size_t>(static_cast<size_t>(options.jobs), tables);
    for (size_t job = 2; job <= wanted; ++job) {
        auto helper = std::make_unique<HelperJob>(options, targetTables, static_cast<int>(job));
        if (!helper->transfer.open({options.folder, options.dataSource})) {
            note(QStringLiteral("--jobs: %1 tables are copied at once, not %2: %3")
                     .arg(job - 1)
                     .arg(options.jobs)
                     .arg(helper->dialogs.takeFailures().join(QStringLiteral("; "))));
            break;
        }
        helpers.push_back(std::move(helper));
    }
    return helpers;
}

int run(const TransferOptions& options, RunSummary& summary, const QDateTime& start) {
    Interruption::install();
    QElapsedTimer clock;
    clock.start();
    ConsoleDialogs dialogs(options.overwrite);
    // Tables copied side by side end in lines of their own, never one updated in place.
    CreationWatch progress(stderr, ::isatty(STDERR_FILENO) == 1 && options.jobs == 1, options.quiet,
                           options.dataSource, [] { return Interruption::requested(); });
    const auto refuse = [&](const QString& reason) {
        summary.refused(reason);
        std::fprintf(stderr, "morvane-transfer: %s\n", qPrintable(reason));
        return kNothingWritten;
    };

    // One connection serves the repair and the listing.
    Sides sides;
    ado::Connection home;
    QString openProblem;
    try {
        home.Open(Sybase::DsnConnectionString(options.dataSource));
        sides.product = TargetProduct::of(home);
    } catch (const std::exception& failure) {
        openProblem = QString::fromUtf8(failure.what());
    }
    // What runs that ended part-way left on the target is completed before anything else.
    if (!options.list && !options.dryRun) {
        progress.doing(QStringLiteral("reading the journal of earlier runs"));
        try {
            if (openProblem.isEmpty())
                summary.repairedTarget(repairFrom(home, *sides.product, options.dataSource),
                                       progress);
        } catch (const std::exception& failure) {
            if (options.repair)
                openProblem = QString::fromUtf8(failure.what());
        }
        if (options.repair && !openProblem.isEmpty())
            return refuse(QStringLiteral("the data source ") + options.dataSource +
                          QStringLiteral(" cannot be opened: ") + openProblem);
        if (options.repair)
            return summary.exitStatus();
    }

    progress.doing(QStringLiteral("listing the tables"));
    const QString listed = listBothSides(options, dialogs, summary, sides, home, openProblem);
    home.Close();
    if (!listed.isEmpty())
        return refuse(listed);
    // What the scan reported on its way: folders it met that vanished or could not be read.
    for (const QString& failure : dialogs.takeFailures())
        summary.warn(failure);
    if (!options.schema.isEmpty() && !sides.product->hasSchemas())
        return refuse(QStringLiteral("--schema: ") + sides.product->displayName() +
                      QStringLiteral(" has no schemas to put the tables in; leave it out"));
    if (options.list) {
        printSides(options, sides);
        return kAllCopied;
    }
    QString problem;
    std::vector<TableEntry> tables = chosenTables(options, sides, problem);
    if (!problem.isEmpty())
        return refuse(problem);
    if (options.tables.isEmpty())
        passOverOtherFiles(tables, progress);
    if (tables.empty())
        return refuse(QStringLiteral("no Paradox tables in ") + options.folder);
    // Nothing is written there, and the copies notice a table that changes under them.
    for (const auto& [folder, note] : lockedFolders(tables)) {
        progress.note(note);
        summary.note(note);
    }

    // Names that would collide, and casts of no field, are refused before anything is written.
    const NameRule names(options.names, *sides.product);
    const NameChanges changes(tables, names, options.casts);
    if (!changes.refusal().isEmpty())
        return refuse(changes.refusal());
    summary.namesChanged(changes.changed());
    // Existing target tables are met before anything is written.
    const TargetNames existing(sides.target);
    QStringList met;
    for (const TableEntry& table : tables)
        if (existing.has(names(table.name)))
            met << existing.spellingOf(names(table.name));
    // A dry run over tables the target has shows the rest of the run.
    const bool skipExisting = options.skipExisting || (options.dryRun && !options.overwrite);
    if (!met.isEmpty() && !options.overwrite && !skipExisting && !options.refresh &&
        !options.verifyRecorded)
        return refuse(QStringLiteral("these tables exist in %1: %2; choose --overwrite or "
                                     "--skip-existing")
                          .arg(options.dataSource, met.join(QStringLiteral(", "))));

    ErrorTrap trap(dialogs, nullptr, QStringLiteral("morvane-transfer"));
    TableTransfer transfer(trap, dialogs, nullptr, progress, sides.target, modeOf(options));
    configure(transfer, options);
    progress.doing(QStringLiteral("opening the data source"));
    if (!transfer.open({options.folder, options.dataSource}))
        return refuse(dialogs.takeFailures().join(QStringLiteral("; ")));

    QStringList notes;  // a dry run's script says them too, and the report
    const auto note = [&](const QString& line) {
        progress.note(line);
        summary.note(line);
        notes << line;
    };
    if (!transfer.lockWaitNote().isEmpty())
        note(transfer.lockWaitNote());
    if (!transfer.schemaNote().isEmpty())
        note(transfer.schemaNote());
    if (!transfer.loadNote().isEmpty())
        note(transfer.loadNote());
    else if (!transfer.loadName().isEmpty())
        note(QStringLiteral("the rows go by %1's %2")
                 .arg(transfer.product().displayName(), transfer.loadName()));
    if (transfer.typedMapping()) {
        if (const QString notice = transfer.typedMapping()->notice(); !notice.isEmpty())
            note(notice);
        if (const QString leftOut = transfer.product().leftOut(); !leftOut.isEmpty())
            note(transfer.product().displayName() +
                 QStringLiteral(": left out of each table's definition: ") + leftOut);
    }
    if (options.verifyRecorded) {
        const int status = verifyRecorded(options, transfer, progress);
        transfer.close();
        return status;
    }
    std::vector<TableEntry> toCopy;
    for (const TableEntry& table : tables) {
        if (skipExisting && existing.has(names(table.name))) {
            TableResult skipped;
            skipped.entry = table;
            skipped.state = TableResult::State::Skipped;
            note(table.name + QStringLiteral(": skipped, the target has it") +
                 (options.skipExisting ? QString()
                                       : QStringLiteral("; without --overwrite or "
                                                        "--skip-existing the run would not "
                                                        "start")));
            summary.add(skipped);
        } else {
            toCopy.push_back(table);
        }
    }
    if (options.dryRun) {
        const int status = printScript(toCopy, notes, options, transfer, summary);
        transfer.close();
        return status;
    }
    {
        std::vector<std::unique_ptr<HelperJob>> helpers =
            helperJobs(options, sides.target, toCopy.size(), transfer.product(), note);
        std::vector<CopyJob> jobs{{transfer, dialogs, progress}};
        for (const auto& helper : helpers)
            jobs.push_back({helper->transfer, helper->dialogs, helper->progress});
        // A signal cancels a statement that waits on another session's lock at once.
        // Its wait ends as soon as the run does, which then need not wait for it.
        std::jthread canceller([&](const std::stop_token& stop) {
            std::mutex mutex;
            std::condition_variable_any woken;
            std::unique_lock lock(mutex);
            while (!stop.stop_requested()) {
                if (Interruption::requested())
                    for (CopyJob& job : jobs)
                        job.transfer.cancelRunningStatement();
                woken.wait_for(lock, stop, std::chrono::milliseconds(50), [] { return false; });
            }
        });
        // A second Ctrl-C ends the program at once: the report it leaves is the run's so far.
        const auto keepLastReport = [&] {
            if (!options.reportFile.isEmpty())
                Interruption::setLastReport(
                    QFile::encodeName(options.reportFile).toStdString(),
                    RunReport::render(options, summary, start, 130).toStdString());
        };
        keepLastReport();
        copyAll(toCopy, options, jobs, summary, keepLastReport);
        if (options.refresh)
            for (const QString& gone : transfer.recordsWithoutSource()) {
                progress.note(gone);
                summary.note(gone);
            }
        // The first job makes every table's foreign keys, once all are on the target.
        for (const auto& helper : helpers) {
            transfer.takeOverRelationships(helper->transfer);
            helper->transfer.close();
            for (const QString& failure : helper->dialogs.takeFailures())
                summary.warn(failure);
        }
        if (transfer.typedMapping()) {
            // After a stop none are made: the tables whose foreign keys are missing are named.
            if (!Interruption::requested())
                progress.doing(QStringLiteral("making the relationships between the tables"));
            for (const QString& child : transfer.makeRelationships())
                summary.warnOn(child, QStringLiteral("its foreign keys were not made: the run was "
                                                     "stopped"));
            for (const DefinitionWriter::Problem& related : transfer.takeDefinitionProblems())
                summary.warnOn(related.table, related.text);
        }
    }
    transfer.close();
    // The relationships' problems are told on their tables, once.
    for (const QString& failure : dialogs.takeFailures())
        if (!summary.warnedOf(failure))
            summary.warn(failure);
    if (Interruption::requested())
        summary.interrupted(Interruption::exitStatus());
    summary.print(progress, options.quiet, double(clock.elapsed()) / 1000.0);
    return summary.exitStatus();
}

}  // namespace

int runTransferCommand(const QStringList& arguments) {
    int exitCode = 0;
    const std::optional<TransferOptions> parsed = parseTransferOptions(arguments, exitCode);
    if (!parsed)
        return exitCode;
    const QDateTime start = QDateTime::currentDateTime();
    RunSummary summary;
    int status = run(*parsed, summary, start);
    if (!parsed->reportFile.isEmpty() && !parsed->list) {
        if (const QString failure =
                RunReport::write(parsed->reportFile, *parsed, summary, start, status);
            !failure.isEmpty()) {
            std::fprintf(stderr, "morvane-transfer: the report %s cannot be written: %s\n",
                         qPrintable(parsed->reportFile), qPrintable(failure));
            status = std::max(status, 1);
        }
    }
    return status;
}
