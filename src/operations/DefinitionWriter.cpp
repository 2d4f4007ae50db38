#include "DefinitionWriter.h"

#include <stdexcept>

#include "ReferringKeys.h"
#include "TargetNames.h"
#include "TogetherStatements.h"
#include "ado/Connection.h"
#include "data/Datatype.h"
#include "runtime/Counting.h"
#include "runtime/ErrorTrap.h"
#include "runtime/OneLine.h"

namespace {

// The lines of the transfer's numbering that report a definition's parts.
constexpr int kRulesLine = 270;
constexpr int kRelationshipsLine = 278;

QString quoted(const QString& name) {
    return Datatype::QuotedName(name);
}

}  // namespace

long long DefinitionWriter::count(const QString& query) {
    const auto counted = target_.Query(query, {ado::ValueType::Integer});
    return counted->Eof() ? 0 : counted->Fields(0).Value().asInteger();
}

void DefinitionWriter::report(int line, const QString& table, const QString& what,
                              const QString& why, bool loss) {
    tell(line, table, table + QStringLiteral(": ") + what + QStringLiteral(": ") + why, loss);
}

void DefinitionWriter::tell(int line, const QString& table, const QString& text, bool loss) {
    problems_.push_back({table, oneLine(text), loss});
    trap_.report(line, std::runtime_error(problems_.back().text.toStdString()));
}

bool DefinitionWriter::run(int line, const QString& table, const DefinitionStep& step,
                           const std::function<bool()>& stopped) {
    try {
        runTogether(target_, step.statements);
        return true;
    } catch (const std::exception& failure) {
        if (!stopped || !stopped())
            report(line, table, step.failure, QString::fromUtf8(failure.what()));
        return false;
    }
}

void DefinitionWriter::addTo(SourceDefinition definition) {
    TableDefinition& table = definition.table;
    for (const QString& problem : definition.problems)
        tell(kRulesLine, table.table, table.table + QStringLiteral(": ") + problem);
    // A rule that rows already break is left out, and said so, rather than refused.
    const QString from = QStringLiteral(" FROM ") + quoted(table.table) + QStringLiteral(" WHERE ");
    for (ColumnRules& rules : table.columns) {
        const QString field = QString::fromStdString(rules.field.name);
        try {
            if (rules.required) {
                const long long blank = count(QStringLiteral("SELECT count(*)") + from +
                                              quoted(field) + QStringLiteral(" IS NULL"));
                if (blank > 0) {
                    rules.required = false;
                    report(kRulesLine, table.table, field + QStringLiteral(" cannot be required"),
                           counted(blank, "row has no value in it", "rows have no value in it"));
                }
            }
            if (const QString range = TargetProduct::rangeCondition(rules); !range.isEmpty()) {
                const long long outside = count(QStringLiteral("SELECT count(*)") + from +
                                                QStringLiteral("NOT (") + range + QLatin1Char(')'));
                if (outside > 0) {
                    rules.minimum.clear();
                    rules.maximum.clear();
                    report(kRulesLine, table.table,
                           field + QStringLiteral(" gets no check of its range"),
                           counted(outside, "row lies outside it", "rows lie outside it"));
                }
            }
        } catch (const std::exception& failure) {
            report(kRulesLine, table.table, field + QStringLiteral(" keeps no rules"),
                   QString::fromUtf8(failure.what()));
            rules = ColumnRules{rules.field, false, {}, {}, {}, {}};
        }
    }
    for (const DefinitionStep& step : product_.definitionSteps(table))
        run(kRulesLine, table.table, step);
    if (!definition.relationships.empty())
        waiting_.push_back(std::move(definition));
}

QString DefinitionWriter::obstacleTo(PendingRelationship& relationship, const TargetNames& names,
                                     const KeyOf& keyOf, bool rowsThere) {
    ForeignKey& key = relationship.key;
    try {
        key.parentColumns = parentColumnsOf(relationship);
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    }
    if (!names.has(key.parent))
        return key.parent + QStringLiteral(" is not on the target");
    key.parent = names.spellingOf(key.parent);
    // The referenced columns must be the parent's whole key, in any order.
    if (!sameColumns(key.parentColumns, keyOf(key.parent)))
        return key.parent + QStringLiteral(" has no key on ") +
               key.parentColumns.join(QStringLiteral(", "));
    if (!rowsThere)
        return {};
    // A child value without a parent row would be refused: the first one is named.
    const auto orphan =
        firstOrphan(target_, relationship.child, key.columns, key.parent, key.parentColumns);
    if (!orphan)
        return {};
    return valuesIn(*orphan, key.columns) + QStringLiteral(" has no row in ") + key.parent;
}

void DefinitionWriter::addForeignKeys(SourceDefinition& definition, const TargetNames& names,
                                      const KeyOf& keyOf, bool rowsThere, const Refusal& refused) {
    for (PendingRelationship& relationship : definition.relationships) {
        QString obstacle;
        try {
            obstacle = obstacleTo(relationship, names, keyOf, rowsThere);
        } catch (const std::exception& failure) {
            obstacle = QString::fromUtf8(failure.what());
        }
        if (obstacle.isEmpty())
            definition.table.foreignKeys.push_back(relationship.key);
        else
            refused(QStringLiteral("no foreign key to ") + relationship.key.parent, obstacle);
    }
}

QStringList DefinitionWriter::makeRelationships(const TargetNames& names,
                                                const std::function<bool()>& stopped) {
    const KeyOf keyOf = [&](const QString& table) { return primaryKeyOf(target_, table); };
    QStringList leftOut;
    for (SourceDefinition& definition : std::exchange(waiting_, {})) {
        const TableDefinition& child = definition.table;
        if (stopped()) {
            leftOut << child.table;
            continue;
        }
        addForeignKeys(definition, names, keyOf, true,
                       [&](const QString& what, const QString& why) {
                           report(kRelationshipsLine, child.table, what, why);
                       });
        // A key the stop cancelled is left out with the rest, not told as a failure.
        if (!child.foreignKeys.empty())
            for (const DefinitionStep& step : product_.foreignKeySteps(child))
                if (!run(kRelationshipsLine, child.table, step, stopped) && stopped()) {
                    leftOut << child.table;
                    break;
                }
    }
    return leftOut;
}

QStringList DefinitionWriter::plannedStatements(SourceDefinition definition) {
    QStringList statements;
    for (const DefinitionStep& step : product_.definitionSteps(definition.table))
        statements << step.statements;
    if (!definition.relationships.empty())
        waiting_.push_back(std::move(definition));
    return statements;
}

QStringList DefinitionWriter::plannedRelationships(const TargetNames& names, const KeyOf& keyOf,
                                                   QStringList& refused) {
    QStringList statements;
    for (SourceDefinition& definition : std::exchange(waiting_, {})) {
        const TableDefinition& child = definition.table;
        addForeignKeys(definition, names, keyOf, false,
                       [&](const QString& what, const QString& why) {
                           refused << oneLine(child.table + QStringLiteral(": ") + what +
                                              QStringLiteral(": ") + why);
                       });
        if (!child.foreignKeys.empty())
            for (const DefinitionStep& step : product_.foreignKeySteps(child))
                statements << step.statements;
    }
    return statements;
}
