// A dry run of the transfer: the statements a copy would give the target, in the order it gives
// them, worked out from the source and from what the target holds now, with nothing written.
#include "TableTransfer.h"

#include <algorithm>

#include "TableSwap.h"
#include "ado/Connection.h"
#include "data/Datatype.h"

namespace {

QString drop(const QString& table) {
    return QStringLiteral("DROP TABLE ") + Datatype::QuotedName(table);
}

}  // namespace

TableTransfer::Plan TableTransfer::plan(const TableEntry& entry, bool overwrite) {
    const QString named = names_(entry.name);
    const QString table = targetNames_.has(named) ? targetNames_.spellingOf(named) : named;
    ado::RecordSet source;
    source.OpenTable(entry.file, *paradox_);
    TableLayout layout(source, *product_, typed_ ? &*typed_ : nullptr, names_);
    layout.castColumns(casts_, entry.name);
    const SourceScan scan = scanSource(entry, layout);
    if (scan.blankCounter)
        layout.counterMayBeBlank();
    const bool replacing = overwrite && targetNames_.has(table);
    const QString work = replacing || mode_ == Mode::Fast ? product_->workTableName(table) : table;
    QStringList copyKey;
    if (layout.typed())
        for (int field = 0; field < layout.keyFieldCount(); ++field)
            copyKey << layout.checkedColumns()[static_cast<size_t>(field)].name;

    Plan plan;
    if (work != table && targetNames_.has(work)) {
        const QString leftover = targetNames_.spellingOf(work);
        if (const long long rows = rowsIn(leftover); !targetNames_.has(table) && rows > 0)
            return {
                {},
                {table + QStringLiteral(" is not copied: ") + onlyCopyNote(leftover, table, rows)}};
        plan.statements << drop(leftover);
    }
    plan.statements << layout.createStatement(work) << layout.keyStatements(work);
    if (layout.autoIncrementColumn())
        plan.statements << layout.counterStatements(
            work, std::max(layout.lastAutoIncrement(), scan.highestCounter));
    ReferringKeys keys;
    if (replacing) {
        try {
            keys = ReferringKeys::to(*target_, *product_, table);
        } catch (const std::exception& failure) {
            plan.notes << table +
                              QStringLiteral(
                                  ": other tables' foreign keys to it were not "
                                  "looked at: ") +
                              QString::fromUtf8(failure.what());
        }
        if (const QString obstacle = keys.keyObstacle(copyKey); !obstacle.isEmpty())
            return {{}, {table + QStringLiteral(" would not be replaced: ") + obstacle}};
        if (!keys.empty())
            plan.notes << table + QStringLiteral(
                                      ": the run first checks that every row other "
                                      "tables' foreign keys refer to is in the copy");
    }
    // The swap the run would make, step by step.
    if (work != table)
        plan.statements << TableSwap(*product_, work, table, replacing, std::move(keys),
                                     layout.sourceFields())
                               .statements();
    if (layout.typed()) {
        SourceDefinition definition =
            readSourceDefinition(entry.file, table, *product_, layout.sourceFields(),
                                 layout.keyFieldCount(), scan.blankCounter, names_);
        for (const QString& problem : definition.problems)
            plan.notes << table + QStringLiteral(": ") + problem;
        plan.statements << definitions_->plannedStatements(std::move(definition));
    }
    // The relationships planned after it find it as the run would.
    targetNames_.add(table);
    plannedKeys_[table.toLower()] = copyKey;
    return plan;
}

TableTransfer::Plan TableTransfer::planRelationships() {
    Plan plan;
    plan.statements = definitions_->plannedRelationships(
        targetNames_,
        [&](const QString& parent) {
            const auto planned = plannedKeys_.find(parent.toLower());
            return planned != plannedKeys_.end() ? planned->second : primaryKeyOf(*target_, parent);
        },
        plan.notes);
    return plan;
}
