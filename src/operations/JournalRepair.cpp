#include "JournalRepair.h"

#include <map>
#include <set>

#include "ReferringKeys.h"
#include "RunJournal.h"
#include "TogetherStatements.h"
#include "ado/Connection.h"
#include "data/Datatype.h"
#include "data/SybaseModule.h"
#include "data/products/TargetProduct.h"

bool targetHasTable(ado::Connection& target, const QString& table) {
    try {
        target.Query(QStringLiteral("SELECT 1 FROM ") + Datatype::QuotedName(table) +
                     QStringLiteral(" WHERE 1 = 0"));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

namespace {

// The steps a gone run left open on one of its tables.
struct TableSteps {
    const JournalEntry* replacement = nullptr;
    const JournalEntry* workTable = nullptr;
    std::vector<const JournalEntry*> keys;
    QString at;  // when its first step was written
};

QString plural(qsizetype count, const char* one, const char* many) {
    return QString::number(count) + QLatin1Char(' ') + QString::fromLatin1(count == 1 ? one : many);
}

}  // namespace

JournalRepair::Outcome JournalRepair::run() {
    Outcome outcome;
    RunJournal::Reading reading = journal_.openEntriesOfOthers();
    outcome.notes << reading.unreadable;
    for (const auto& [run, entries] : reading.byRun) {
        // A run's tables are reached through its own schema: a repair there completes it.
        if (entries.front().schema != product_.chosenSchema()) {
            outcome.otherSchemas.insert(entries.front().schema);
            continue;
        }
        const std::optional<bool> gone = journal_.claim(run);
        if (!gone) {
            outcome.notes << QStringLiteral(
                                 "the run %1 left steps open in %2, and it cannot be "
                                 "told whether it still runs: they are left as they are")
                                 .arg(run, RunJournal::kTable);
            continue;
        }
        if (!*gone) {
            outcome.notes << QStringLiteral(
                                 "another run (%1) is at work on this target: its "
                                 "steps are left to it")
                                 .arg(run);
            continue;
        }
        std::map<QString, TableSteps> byTable;
        for (const JournalEntry& entry : entries) {
            TableSteps& steps = byTable[entry.table];
            if (steps.at.isEmpty())
                steps.at = entry.at;
            if (entry.kind == JournalEntry::Kind::Replacement)
                steps.replacement = &entry;
            else if (entry.kind == JournalEntry::Kind::WorkTable)
                steps.workTable = &entry;
            else
                steps.keys.push_back(&entry);
        }
        bool allDone = true;
        for (const auto& [table, steps] : byTable) {
            QStringList did;
            QStringList failed;
            try {
                const JournalEntry* copy = steps.replacement ? steps.replacement : steps.workTable;
                if (copy) {
                    const bool hasTable = targetHasTable(target_, table);
                    const bool hasCopy = targetHasTable(target_, copy->work);
                    const bool takesName =
                        hasCopy && !hasTable && (steps.replacement || copy->verified);
                    if (takesName) {
                        target_.Execute(product_.renameStatement(copy->work, table));
                        did << QStringLiteral("its ") +
                                   (copy->verified ? QStringLiteral("verified")
                                                   : QStringLiteral("unverified")) +
                                   QStringLiteral(" copy ") + copy->work +
                                   QStringLiteral(" took its name");
                    } else if (hasCopy) {
                        target_.Execute(QStringLiteral("DROP TABLE ") +
                                        Datatype::QuotedName(copy->work));
                        did << (steps.replacement
                                    ? QStringLiteral("its old table still stood, and its copy ")
                                    : QStringLiteral("its unfinished copy ")) +
                                   copy->work + QStringLiteral(" was dropped");
                    }
                    if (!hasCopy && !hasTable && steps.replacement)
                        failed << QStringLiteral("neither ") + table + QStringLiteral(" nor ") +
                                      copy->work + QStringLiteral(" is on the target");
                }
                // The keys its parent has now, whichever table took its name.
                std::set<std::pair<QString, QString>> present;
                if (!steps.keys.empty()) {
                    const ReferringKeys keys = ReferringKeys::to(target_, product_, table);
                    for (const ReferringKeys::Key& key : keys.keys())
                        present.insert({key.child.toLower(), key.key.name.toLower()});
                }
                qsizetype made = 0;
                for (const JournalEntry* key : steps.keys) {
                    if (!present.count({key->child.toLower(), key->key.name.toLower()})) {
                        try {
                            runTogether(target_,
                                        foreignKeyStatements(product_, key->child, key->key));
                            ++made;
                        } catch (const std::exception& failure) {
                            failed << QStringLiteral("foreign key ") + key->key.name +
                                          QStringLiteral(" of ") + key->child +
                                          QStringLiteral(" could not be made again: ") +
                                          QString::fromUtf8(failure.what()) +
                                          QStringLiteral("; it is made by: ") +
                                          foreignKeyStatements(product_, key->child, key->key)
                                              .join(QStringLiteral("; "));
                            continue;
                        }
                    }
                    journal_.markDone(*key);
                }
                if (made > 0)
                    did << plural(made, "foreign key of another table",
                                  "foreign keys of other "
                                  "tables") +
                               QStringLiteral(" made again");
                if (failed.isEmpty()) {
                    if (steps.replacement)
                        journal_.markDone(*steps.replacement);
                    if (steps.workTable)
                        journal_.markDone(*steps.workTable);
                }
            } catch (const std::exception& failure) {
                failed << QString::fromUtf8(failure.what());
            }
            const QString what = steps.replacement ? QStringLiteral("a replacement")
                                 : steps.workTable ? QStringLiteral("a copy")
                                                   : QStringLiteral("a step");
            const QString header = table + QStringLiteral(": ") + what +
                                   QStringLiteral(" ended part-way at ") + steps.at +
                                   QStringLiteral(" UTC");
            if (!did.isEmpty() || failed.isEmpty())
                outcome.repaired << header + (did.isEmpty()
                                                  ? QStringLiteral("; nothing was left to do")
                                                  : QStringLiteral("; ") +
                                                        did.join(QStringLiteral("; ")));
            for (const QString& failure : failed)
                outcome.failures << table + QStringLiteral(": ") + failure;
            allDone = allDone && failed.isEmpty();
        }
        if (allDone)
            journal_.forget(run);
    }
    return outcome;
}

JournalRepair::Outcome repairDataSource(const QString& dataSourceName) {
    ado::Connection target;
    target.Open(Sybase::DsnConnectionString(dataSourceName));
    const std::unique_ptr<TargetProduct> product = TargetProduct::of(target);
    return repairFrom(target, *product, dataSourceName);
}

JournalRepair::Outcome repairFrom(ado::Connection& home, const TargetProduct& product,
                                  const QString& dataSourceName) {
    RunJournal journal(home, product);
    JournalRepair::Outcome outcome = JournalRepair(home, product, journal).run();
    for (const QString& schema : outcome.otherSchemas) {
        ado::Connection inSchema;
        inSchema.Open(Sybase::DsnConnectionString(dataSourceName));
        const std::unique_ptr<TargetProduct> there = TargetProduct::of(inSchema);
        there->useSchema(inSchema, schema);
        RunJournal itsJournal(inSchema, *there);
        const JournalRepair::Outcome repaired = JournalRepair(inSchema, *there, itsJournal).run();
        outcome.repaired << repaired.repaired;
        outcome.failures << repaired.failures;
        for (const QString& note : repaired.notes)
            if (!outcome.notes.contains(note))
                outcome.notes << note;
    }
    return outcome;
}

int stepsLeftOn(const QString& dataSourceName) {
    ado::Connection target;
    target.Open(Sybase::DsnConnectionString(dataSourceName));
    const std::unique_ptr<TargetProduct> product = TargetProduct::of(target);
    RunJournal journal(target, *product);
    int steps = 0;
    for (const auto& [run, entries] : journal.openEntriesOfOthers().byRun)
        steps += static_cast<int>(entries.size());
    return steps;
}
