#include "SourceDefinition.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#include "data/ParadoxModule.h"
#include "paradox/SecondaryIndex.h"
#include "paradox/Table.h"
#include "paradox/TableFiles.h"
#include "paradox/ValidityFile.h"

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The table file called `fileName` (any letter case) in `folder`, or "".
QString tableFileIn(const QString& folder, const QString& fileName) {
    const QString base = QFileInfo(fileName).completeBaseName();
    for (const std::string& name : px::tableFilesOf(QFile::encodeName(folder).toStdString(),
                                                    QFile::encodeName(base).toStdString()))
        if (fromUtf8(name).endsWith(QStringLiteral(".db"), Qt::CaseInsensitive))
            return folder + QLatin1Char('/') + fromUtf8(name);
    return {};
}

std::vector<ColumnRules> columnRulesOf(const px::ValidityChecks& checks,
                                       const std::vector<px::Field>& fields,
                                       const TargetProduct& product, const NameRule& names) {
    std::vector<ColumnRules> columns;
    for (const px::FieldChecks& checked : checks.fields) {
        const std::string name = names(fromUtf8(checked.field)).toStdString();
        const auto field = std::find_if(fields.begin(), fields.end(),
                                        [&](const px::Field& own) { return own.name == name; });
        ColumnRules rules;
        rules.field = *field;
        // The counter's column is always filled, and keeps its own definition.
        rules.required = checked.required && field->type != px::FieldType::AutoIncrement;
        rules.defaultValue = product.valueLiteral(checked.defaultValue);
        rules.minimum = product.valueLiteral(checked.minimum);
        rules.maximum = product.valueLiteral(checked.maximum);
        rules.picture = fromUtf8(checked.picture);
        if (rules.required || !rules.defaultValue.isEmpty() || !rules.minimum.isEmpty() ||
            !rules.maximum.isEmpty() || !rules.picture.isEmpty())
            columns.push_back(std::move(rules));
    }
    return columns;
}

bool isText(const std::vector<px::Field>& fields, const QString& column) {
    const std::string name = column.toStdString();
    for (const px::Field& field : fields)
        if (field.name == name)
            return field.type == px::FieldType::Alpha || field.type == px::FieldType::Memo;
    return false;
}

}  // namespace

SourceDefinition readSourceDefinition(const QString& tablePath, const QString& table,
                                      const TargetProduct& product,
                                      const std::vector<px::Field>& fields, int keyFields,
                                      bool blankCounter, const NameRule& names) {
    SourceDefinition definition;
    definition.table = {table, fields, keyFields, blankCounter, {}, {}, {}};
    const std::string path = QFile::encodeName(tablePath).toStdString();
    const QString folder = QFileInfo(tablePath).path();

    std::vector<std::string> problems;
    for (const px::SecondaryIndex& index : px::secondaryIndexesOf(path, keyFields, problems)) {
        IndexDefinition made;
        made.name = names(fromUtf8(index.name));
        made.unique = index.unique;
        for (const px::SecondaryIndex::Key& key : index.keys) {
            made.columns << names(fromUtf8(key.field));
            made.descending << key.descending;
            made.ignoringCase << (index.caseInsensitive && isText(fields, made.columns.back()));
        }
        definition.table.indexes.push_back(std::move(made));
    }
    for (const std::string& problem : problems)
        definition.problems << QStringLiteral("the index ") + fromUtf8(problem);

    const std::optional<std::string> validity = px::validityFileOf(path);
    if (!validity)
        return definition;
    px::ValidityChecks checks;
    try {
        // Its header and fields are all a definition needs, damaged or not.
        px::Table source(path, px::Table::Reading::Salvage);
        checks = px::readValidityFile(*validity, source);
    } catch (const px::UnknownValidityVersion&) {
        definition.problems << QStringLiteral(
            "validity checks of this Paradox version are not "
            "carried");
        return definition;
    } catch (const std::exception& failure) {
        definition.problems << QStringLiteral("its validity checks are not carried: ") +
                                   fromUtf8(failure.what());
        return definition;
    }
    definition.table.columns = columnRulesOf(checks, fields, product, names);

    // A lookup refers to the first field of the table looked up in.
    for (const px::FieldChecks& checked : checks.fields)
        if (!checked.lookupTable.empty())
            checks.relationships.push_back(
                {checked.field + "_lookup", {checked.field}, checked.lookupTable, {1}, false});
    for (const px::Relationship& related : checks.relationships) {
        PendingRelationship pending;
        pending.child = table;
        pending.key.name =
            product.derivedName(table, QLatin1Char('_') + names(fromUtf8(related.name)));
        for (const std::string& field : related.fields)
            pending.key.columns << names(fromUtf8(field));
        pending.key.parent = names(Paradox::TableNameOf(fromUtf8(related.parentTable)));
        pending.key.onUpdate = related.cascadesUpdates ? KeyAction::Cascade : KeyAction::Restrict;
        pending.parentFile = tableFileIn(folder, fromUtf8(related.parentTable));
        pending.parentFieldNumbers = related.parentFieldNumbers;
        pending.names = names;
        definition.relationships.push_back(std::move(pending));
    }
    return definition;
}

QStringList parentColumnsOf(const PendingRelationship& relationship) {
    if (relationship.parentFile.isEmpty())
        throw std::runtime_error(relationship.key.parent.toStdString() +
                                 " has no table file beside its child's, to name its fields");
    const px::Table parent(QFile::encodeName(relationship.parentFile).toStdString(),
                           px::Table::Reading::Salvage);
    QStringList columns;
    for (int number : relationship.parentFieldNumbers) {
        if (number < 1 || number > static_cast<int>(parent.fields().size()))
            throw std::runtime_error(relationship.key.parent.toStdString() + " has no field " +
                                     std::to_string(number));
        columns << relationship.names(
            fromUtf8(parent.fields()[static_cast<size_t>(number - 1)].name));
    }
    return columns;
}
