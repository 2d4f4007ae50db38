// The statements that carry the rest of a table's definition: column rules, range checks,
// secondary indexes and foreign keys, in the SQL most products share; a product changes only
// the parts its grammar words otherwise.
#include "TargetProduct.h"

#include "data/Datatype.h"

namespace {

QString quotedName(const QString& name) {
    return Datatype::QuotedName(name);
}

QString quotedList(const QStringList& names) {
    QStringList quoted;
    for (const QString& name : names)
        quoted << quotedName(name);
    return quoted.join(QStringLiteral(", "));
}

QString fieldName(const ColumnRules& rules) {
    return QString::fromStdString(rules.field.name);
}

}  // namespace

QString TargetProduct::valueLiteral(const px::Value& value) const {
    switch (value.kind()) {
        case px::Value::Kind::Null:
        case px::Value::Kind::Bytes:
            return {};
        case px::Value::Kind::Integer:
        case px::Value::Kind::Double:
        case px::Value::Kind::Decimal:
            return QString::fromStdString(value.toText());
        case px::Value::Kind::Boolean:
            return booleanLiteral(value.asBoolean());
        default:
            return textLiteral(QString::fromStdString(value.toText()));
    }
}

QString TargetProduct::textLiteral(const QString& text) const {
    if (!backslashEscapes())
        return literal(text);
    return literal(QString(text).replace(QLatin1Char('\\'), QStringLiteral("\\\\")));
}

QString TargetProduct::pictureComment(const ColumnRules& rules) const {
    return textLiteral(QStringLiteral("Paradox picture: ") + rules.picture);
}

QString TargetProduct::booleanLiteral(bool value) const {
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

std::vector<DefinitionStep> TargetProduct::definitionSteps(
    const TableDefinition& definition) const {
    std::vector<DefinitionStep> steps;
    for (const ColumnRules& rules : definition.columns) {
        for (DefinitionStep& step : columnSteps(definition, rules))
            steps.push_back(std::move(step));
        if (!rangeCondition(rules).isEmpty())
            steps.push_back(rangeStep(definition.table, rules));
    }
    for (const IndexDefinition& index : definition.indexes)
        steps.push_back(indexStep(definition.table, index));
    return steps;
}

std::vector<DefinitionStep> TargetProduct::columnSteps(const TableDefinition& definition,
                                                       const ColumnRules& rules) const {
    const QString& table = definition.table;
    std::vector<DefinitionStep> steps;
    if (rules.required)
        steps.push_back({fieldName(rules) + QStringLiteral(" cannot be required"),
                         {alterColumn(table, rules.field, QStringLiteral("NOT NULL"))}});
    if (!rules.defaultValue.isEmpty())
        steps.push_back(defaultStep(table, rules));
    if (!rules.picture.isEmpty())
        steps.push_back(
            {fieldName(rules) + QStringLiteral(" keeps no picture"),
             {QStringLiteral("COMMENT ON COLUMN ") + quotedName(table) + QLatin1Char('.') +
              quoted(rules.field) + QStringLiteral(" IS ") + pictureComment(rules)}});
    return steps;
}

QString TargetProduct::alterColumn(const QString& table, const px::Field& field,
                                   const QString& change) const {
    return QStringLiteral("ALTER TABLE ") + quotedName(table) + QStringLiteral(" ALTER COLUMN ") +
           quoted(field) + QStringLiteral(" SET ") + change;
}

DefinitionStep TargetProduct::defaultStep(const QString& table, const ColumnRules& rules) const {
    return {fieldName(rules) + QStringLiteral(" gets no default"),
            {alterColumn(table, rules.field, QStringLiteral("DEFAULT ") + rules.defaultValue)}};
}

QString TargetProduct::rangeCondition(const ColumnRules& rules) {
    QStringList parts;
    if (!rules.minimum.isEmpty())
        parts << quoted(rules.field) + QStringLiteral(" >= ") + rules.minimum;
    if (!rules.maximum.isEmpty())
        parts << quoted(rules.field) + QStringLiteral(" <= ") + rules.maximum;
    return parts.join(QStringLiteral(" AND "));
}

DefinitionStep TargetProduct::rangeStep(const QString& table, const ColumnRules& rules) const {
    return {
        fieldName(rules) + QStringLiteral(" gets no check of its range"),
        {QStringLiteral("ALTER TABLE ") + quotedName(table) + QStringLiteral(" ADD CONSTRAINT ") +
         quotedName(
             derivedName(table, QLatin1Char('_') + fieldName(rules) + QStringLiteral("_range"))) +
         QStringLiteral(" CHECK (") + rangeCondition(rules) + QLatin1Char(')')}};
}

QString TargetProduct::indexedColumn(const QString& column, bool descending, bool) const {
    return quotedName(column) + (descending ? QStringLiteral(" DESC") : QString());
}

DefinitionStep TargetProduct::indexStep(const QString& table, const IndexDefinition& index) const {
    QStringList columns;
    for (qsizetype i = 0; i < index.columns.size(); ++i)
        columns << indexedColumn(index.columns[i], index.descending[i], index.ignoringCase[i]);
    return {QStringLiteral("no index ") + index.name,
            {QStringLiteral("CREATE ") +
             (index.unique ? QStringLiteral("UNIQUE INDEX ") : QStringLiteral("INDEX ")) +
             quotedName(derivedName(table, QLatin1Char('_') + index.name)) +
             QStringLiteral(" ON ") + quotedName(table) + QStringLiteral(" (") +
             columns.join(QStringLiteral(", ")) + QLatin1Char(')')}};
}

std::vector<DefinitionStep> TargetProduct::foreignKeySteps(
    const TableDefinition& definition) const {
    std::vector<DefinitionStep> steps;
    for (const ForeignKey& key : definition.foreignKeys)
        steps.push_back(foreignKeyStep(definition.table, key));
    return steps;
}

DefinitionStep TargetProduct::foreignKeyStep(const QString& table, const ForeignKey& key) const {
    // Deleting a parent row that has dependents is refused whatever the update rule.
    return {QStringLiteral("no foreign key to ") + key.parent,
            {QStringLiteral("ALTER TABLE ") + quotedName(table) + QStringLiteral(" ADD ") +
             foreignKeyClause(key)}};
}

QString TargetProduct::foreignKeyClause(const ForeignKey& key) const {
    return QStringLiteral("CONSTRAINT ") + quotedName(key.name) + QStringLiteral(" FOREIGN KEY (") +
           quotedList(key.columns) + QStringLiteral(") REFERENCES ") + quotedName(key.parent) +
           QStringLiteral(" (") + quotedList(key.parentColumns) + QStringLiteral(") ON UPDATE ") +
           keyAction(key.onUpdate) + QStringLiteral(" ON DELETE ") + keyAction(key.onDelete) +
           keyDeferral(key.deferral);
}

QString TargetProduct::keyAction(KeyAction action) const {
    switch (action) {
        case KeyAction::Cascade:
            return QStringLiteral("CASCADE");
        case KeyAction::SetNull:
            return QStringLiteral("SET NULL");
        case KeyAction::SetDefault:
            return QStringLiteral("SET DEFAULT");
        case KeyAction::NoAction:
            return QStringLiteral("NO ACTION");
        default:
            return QStringLiteral("RESTRICT");
    }
}

QString TargetProduct::keyDeferral(KeyDeferral deferral) const {
    switch (deferral) {
        case KeyDeferral::InitiallyDeferred:
            return QStringLiteral(" DEFERRABLE INITIALLY DEFERRED");
        case KeyDeferral::InitiallyImmediate:
            return QStringLiteral(" DEFERRABLE INITIALLY IMMEDIATE");
        default:
            return {};
    }
}

QString TargetProduct::dropForeignKey(const QString& table, const QString& name) const {
    return QStringLiteral("ALTER TABLE ") + quotedName(table) +
           QStringLiteral(" DROP CONSTRAINT ") + quotedName(name);
}
