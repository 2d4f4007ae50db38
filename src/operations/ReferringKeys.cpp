#include "ReferringKeys.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <map>

#include "ado/Connection.h"
#include "data/Datatype.h"
#include "data/products/TargetProduct.h"

namespace {

QString quoted(const QString& name) {
    return Datatype::QuotedName(name);
}

QString textOf(const ado::Variant& value) {
    return QString::fromStdString(value.toText());
}

// A catalog's number, which some drivers give as text; -1 for none.
long long numberOf(const ado::Variant& value) {
    bool ok = false;
    const long long number = QString::fromStdString(value.toText()).trimmed().toLongLong(&ok);
    return value.isNull() || !ok ? -1 : number;
}

KeyAction actionOf(const ado::Variant& value) {
    switch (numberOf(value)) {
        case SQL_CASCADE:
            return KeyAction::Cascade;
        case SQL_SET_NULL:
            return KeyAction::SetNull;
        case SQL_SET_DEFAULT:
            return KeyAction::SetDefault;
        case SQL_NO_ACTION:
            return KeyAction::NoAction;
        default:
            return KeyAction::Restrict;
    }
}

KeyDeferral deferralOf(const ado::Variant& value) {
    switch (numberOf(value)) {
        case SQL_INITIALLY_DEFERRED:
            return KeyDeferral::InitiallyDeferred;
        case SQL_INITIALLY_IMMEDIATE:
            return KeyDeferral::InitiallyImmediate;
        default:
            return KeyDeferral::NotDeferrable;
    }
}

QStringList sortedLower(QStringList names) {
    for (QString& name : names)
        name = name.toLower();
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

QStringList primaryKeyOf(ado::Connection& target, const QString& table) {
    QStringList columns;
    for (const auto primary = target.PrimaryKeys(table); !primary->Eof(); primary->MoveNext())
        columns << textOf(primary->Fields(3).Value());
    return columns;
}

bool sameColumns(const QStringList& a, const QStringList& b) {
    return sortedLower(a) == sortedLower(b);
}

std::optional<QStringList> firstOrphan(ado::Connection& target, const QString& child,
                                       const QStringList& columns, const QString& parent,
                                       const QStringList& parentColumns) {
    QStringList present, matches, selected;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        present << QStringLiteral("c.") + quoted(columns[i]) + QStringLiteral(" IS NOT NULL");
        matches << QStringLiteral("p.") + quoted(parentColumns[i]) + QStringLiteral(" = c.") +
                       quoted(columns[i]);
        selected << QStringLiteral("c.") + quoted(columns[i]);
    }
    const auto orphans = target.Query(
        QStringLiteral("SELECT ") + selected.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
        quoted(child) + QStringLiteral(" c WHERE ") + present.join(QStringLiteral(" AND ")) +
        QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM ") + quoted(parent) +
        QStringLiteral(" p WHERE ") + matches.join(QStringLiteral(" AND ")) + QLatin1Char(')'));
    if (orphans->Eof())
        return std::nullopt;
    QStringList values;
    for (qsizetype i = 0; i < columns.size(); ++i)
        values << textOf(orphans->Fields(static_cast<int>(i)).Value());
    return values;
}

QString listed(const QStringList& items) {
    return items.size() == 1
               ? items.front()
               : QLatin1Char('(') + items.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString valuesIn(const QStringList& values, const QStringList& columns) {
    return listed(values) + QStringLiteral(" in ") + listed(columns);
}

ReferringKeys ReferringKeys::to(ado::Connection& target, const TargetProduct& product,
                                const QString& table) {
    // SQLForeignKeys, from 0: PKCOLUMN_NAME 3, FKTABLE_CAT 4, FKTABLE_SCHEM 5, FKTABLE_NAME 6,
    // FKCOLUMN_NAME 7, KEY_SEQ 8, UPDATE_RULE 9, DELETE_RULE 10, FK_NAME 11, DEFERRABILITY 13.
    struct Column {
        long long sequence;
        QString column, parentColumn;
    };
    std::map<std::pair<QString, QString>, std::pair<Key, std::vector<Column>>> byName;
    const auto listed = target.ForeignKeysTo(table);
    for (; !listed->Eof(); listed->MoveNext()) {
        const auto text = [&](int column) { return textOf(listed->Fields(column).Value()); };
        if (!product.reaches(text(4), text(5)))
            continue;
        auto& [key, columns] = byName[{text(6), text(11)}];
        key.child = text(6);
        key.key.name = text(11);
        key.key.parent = table;
        key.key.onUpdate = actionOf(listed->Fields(9).Value());
        key.key.onDelete = actionOf(listed->Fields(10).Value());
        key.key.deferral = deferralOf(listed->Fields(13).Value());
        columns.push_back({numberOf(listed->Fields(8).Value()), text(7), text(3)});
    }
    ReferringKeys keys;
    keys.table_ = table;
    for (auto& [name, entry] : byName) {
        auto& [key, columns] = entry;
        std::sort(columns.begin(), columns.end(),
                  [](const Column& a, const Column& b) { return a.sequence < b.sequence; });
        for (const Column& column : columns) {
            key.key.columns << column.column;
            key.key.parentColumns << column.parentColumn;
        }
        keys.keys_.push_back(std::move(key));
    }
    return keys;
}

QString ReferringKeys::obstacleIn(ado::Connection& target, const QString& copy) const {
    if (keys_.empty())
        return {};
    if (const QString obstacle = keyObstacle(primaryKeyOf(target, copy)); !obstacle.isEmpty())
        return obstacle;
    for (const Key& key : keys_)
        if (const auto orphan =
                firstOrphan(target, key.child, key.key.columns, copy, key.key.parentColumns))
            return key.child + QStringLiteral(" refers to ") + listed(key.key.parentColumns) +
                   QLatin1Char(' ') + listed(*orphan) +
                   QStringLiteral(", which the new copy lacks");
    return {};
}

QString ReferringKeys::keyObstacle(const QStringList& copyKey) const {
    for (const Key& key : keys_)
        if (!sameColumns(key.key.parentColumns, copyKey))
            return key.child + QStringLiteral(" refers to ") + table_ + QStringLiteral(" (") +
                   key.key.parentColumns.join(QStringLiteral(", ")) +
                   QStringLiteral(
                       "), and the new copy has no key on it: copy it with its key "
                       "(--typed, or the tables screen's \"Keep Paradox types, keys "
                       "and rules\")");
    return {};
}

QString ReferringKeys::dropStatement(const TargetProduct& product, size_t key) const {
    return product.dropForeignKey(keys_[key].child, keys_[key].key.name);
}

QStringList ReferringKeys::makeStatements(const TargetProduct& product, size_t key) const {
    TableDefinition child;
    child.table = keys_[key].child;
    child.foreignKeys = {keys_[key].key};
    QStringList statements;
    for (const DefinitionStep& step : product.foreignKeySteps(child))
        statements << step.statements;
    return statements;
}

QStringList ReferringKeys::dropStatements(const TargetProduct& product) const {
    QStringList statements;
    for (size_t i = 0; i < keys_.size(); ++i)
        statements << dropStatement(product, i);
    return statements;
}

QStringList ReferringKeys::makeStatements(const TargetProduct& product) const {
    QStringList statements;
    for (size_t i = 0; i < keys_.size(); ++i)
        statements << makeStatements(product, i);
    return statements;
}
