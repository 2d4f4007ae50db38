#include "TableSwap.h"

#include <numeric>
#include <stdexcept>

#include "DefinitionWriter.h"
#include "JournalRepair.h"
#include "RunJournal.h"
#include "TogetherStatements.h"
#include "ado/Connection.h"
#include "data/Datatype.h"
#include "data/products/TargetProduct.h"
#include "runtime/ErrorTrap.h"

TableSwap::TableSwap(const TargetProduct& product, QString work, QString table, bool replacing,
                     ReferringKeys keys, const std::vector<px::Field>& fields)
    : product_(product), work_(std::move(work)), table_(std::move(table)) {
    // Where the target keeps foreign keys to a dropped table, they need not go.
    if (replacing && product_.foreignKeysHoldDrops())
        keys_ = std::move(keys);
    for (size_t key = 0; key < keys_.keys().size(); ++key)
        steps_.push_back({Step::Kind::DropForeignKey, {keys_.dropStatement(product_, key)}, key});
    if (replacing)
        steps_.push_back({Step::Kind::DropTable,
                          {QStringLiteral("DROP TABLE ") + Datatype::QuotedName(table_)}});
    steps_.push_back({Step::Kind::Rename, product_.renameStatements(work_, table_, fields)});
    for (size_t key = 0; key < keys_.keys().size(); ++key)
        steps_.push_back({Step::Kind::MakeForeignKey, keys_.makeStatements(product_, key), key});
}

QStringList TableSwap::statements() const {
    QStringList statements;
    for (const Step& step : steps_)
        statements << step.statements;
    return statements;
}

void TableSwap::run(Context& context) {
    if (product_.ddlCommits())
        runOneByOne(context);
    else
        runTogether(context);
}

void TableSwap::runTogether(Context& context) {
    // The work table's row is done with the step that gives it the name.
    QStringList statements = this->statements();
    if (context.workStep != 0)
        statements << context.journal.doneStatement(context.workStep);
    context.mayWait(table_, [&] { ::runTogether(context.target, statements); });
    oldTableGone_ = true;
    if (context.workStep != 0)
        context.journal.doneWith(context.workStep);
}

void TableSwap::runOneByOne(Context& context) {
    const bool journaled = context.journal.ready();
    std::vector<size_t> dropped;
    std::vector<int> keySteps(keys_.keys().size(), 0);
    int replacement = 0;
    const auto stop = [&] {
        if (context.stopped())
            throw std::runtime_error("the run was stopped");
    };
    auto step = steps_.begin();
    try {
        context.mayWait(table_, [&] {
            for (; step != steps_.end() && step->kind == Step::Kind::DropForeignKey; ++step) {
                stop();
                if (journaled) {
                    JournalEntry entry;
                    entry.kind = JournalEntry::Kind::ForeignKey;
                    entry.table = table_;
                    entry.child = keys_.keys()[step->key].child;
                    entry.key = keys_.keys()[step->key].key;
                    keySteps[step->key] = context.journal.write(entry);
                }
                context.target.Execute(step->statements.front());
                dropped.push_back(step->key);
            }
            if (step != steps_.end() && step->kind == Step::Kind::DropTable) {
                stop();
                if (journaled) {
                    JournalEntry entry;
                    entry.kind = JournalEntry::Kind::Replacement;
                    entry.table = table_;
                    entry.work = work_;
                    entry.verified = context.verified;
                    replacement = context.journal.write(entry);
                }
                context.target.Execute(step->statements.front());
                ++step;
            }
        });
    } catch (const std::exception&) {
        // Where the old table still stands, the replacement never began.
        if (replacement != 0 && targetHasTable(context.target, table_))
            context.journal.markDone(replacement);
        remakeKeys(context, dropped, keySteps);
        throw;
    }
    // The point of no return: the old table is gone, and no message says the target keeps it.
    oldTableGone_ = true;
    context.trap.setPrefix({});
    std::vector<size_t> all(keys_.keys().size());
    std::iota(all.begin(), all.end(), size_t{0});
    try {
        context.mayWait(table_, [&] {
            for (const QString& statement : step->statements)
                context.target.Execute(statement);
        });
    } catch (const std::exception& failure) {
        // The copy is all the target has of the table now: it is kept, and the next run gives
        // it its name and makes the keys again, as the journal says.
        for (size_t key : all)
            context.definitions.report(
                278, keys_.keys()[key].child,
                QStringLiteral("foreign key ") + keys_.keys()[key].key.name +
                    QStringLiteral(" to ") + table_ + QStringLiteral(" was lost"),
                QStringLiteral("make it once ") + work_ + QStringLiteral(" has its name: ") +
                    keys_.makeStatements(product_, key).join(QStringLiteral("; ")) +
                    (journaled ? QStringLiteral("; the next run on this target does both")
                               : QString()),
                true);
        throw std::runtime_error("the old table was dropped, and its complete copy " +
                                 work_.toStdString() + " cannot take its name: " + failure.what() +
                                 "; " + product_.renameStatement(work_, table_).toStdString() +
                                 " gives it");
    }
    if (remakeKeys(context, all, keySteps)) {
        if (replacement != 0)
            context.journal.markDone(replacement);
        if (context.workStep != 0)
            context.journal.markDone(context.workStep);
    }
}

bool TableSwap::remakeKeys(Context& context, const std::vector<size_t>& which,
                           const std::vector<int>& steps) {
    // Each waits for its child's lock at most as long as the run lets a statement wait, and a
    // stop cancels it: the journal keeps it for the next run.
    bool all = true;
    for (size_t key : which) {
        const QStringList statements = keys_.makeStatements(product_, key);
        try {
            context.mayWait(keys_.keys()[key].child,
                            [&] { ::runTogether(context.target, statements); });
            if (steps[key] != 0)
                context.journal.markDone(steps[key]);
        } catch (const std::exception& failure) {
            all = false;
            const ReferringKeys::Key& lost = keys_.keys()[key];
            context.definitions.report(
                278, lost.child,
                QStringLiteral("foreign key ") + lost.key.name + QStringLiteral(" to ") +
                    lost.key.parent + QStringLiteral(" could not be made again"),
                QString::fromUtf8(failure.what()) + QStringLiteral("; it is made by: ") +
                    statements.join(QStringLiteral("; ")) +
                    (steps[key] != 0 ? QStringLiteral("; the next run on this target makes it")
                                     : QString()),
                true);
        }
    }
    return all;
}
