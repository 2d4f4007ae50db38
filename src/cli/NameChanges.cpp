#include "NameChanges.h"

#include <QFile>

#include <map>

#include "paradox/Table.h"

namespace {

// The Paradox fields of a table, or none where its header cannot be read: its copy says why.
QStringList fieldsOf(const TableEntry& table) {
    QStringList fields;
    try {
        const px::Table source(QFile::encodeName(table.file).toStdString(),
                               px::Table::Reading::HeaderOnly);
        for (const px::Field& field : source.fields())
            fields << QString::fromStdString(field.name);
    } catch (const std::exception&) {
    }
    return fields;
}

}  // namespace

NameChanges::NameChanges(const std::vector<TableEntry>& tables, const NameRule& names,
                         const ColumnCasts& casts) {
    if (names.keepsNames() && casts.empty())
        return;
    std::map<QString, QString> tableOf;  // the target's name in lower case: its Paradox table
    std::vector<bool> castFound(casts.all().size());
    for (const TableEntry& entry : tables) {
        Table table{entry.name, names(entry.name), {}};
        const auto [took, free] = tableOf.emplace(table.target.toLower(), entry.name);
        if (!free && refusal_.isEmpty())
            refusal_ = QStringLiteral("%1 and %2 would both be named %3 on the target")
                           .arg(took->second, entry.name, table.target);
        std::map<QString, QString> columnOf;
        for (const QString& field : fieldsOf(entry)) {
            const QString column = names(field);
            const auto [held, unique] = columnOf.emplace(column.toLower(), field);
            if (!unique && refusal_.isEmpty())
                refusal_ = QStringLiteral(
                               "%1: the fields \"%2\" and \"%3\" would both be named "
                               "%4 on the target")
                               .arg(entry.name, held->second, field, column);
            if (column != field)
                table.columns.emplace_back(field, column);
            for (size_t i = 0; i < casts.all().size(); ++i) {
                const ColumnCasts::Cast& cast = casts.all()[i];
                castFound[i] =
                    castFound[i] || ((cast.table == QLatin1String("*") ||
                                      cast.table.compare(entry.name, Qt::CaseInsensitive) == 0) &&
                                     cast.column.compare(field, Qt::CaseInsensitive) == 0);
            }
        }
        if (table.target != table.paradox || !table.columns.empty())
            changed_.push_back(std::move(table));
    }
    for (size_t i = 0; i < casts.all().size() && refusal_.isEmpty(); ++i)
        if (!castFound[i])
            refusal_ = QStringLiteral("--cast %1.%2: no table chosen has that field")
                           .arg(casts.all()[i].table, casts.all()[i].column);
}

QStringList NameChanges::lines(const std::vector<Table>& changed) {
    QStringList lines;
    for (const Table& table : changed) {
        QStringList columns;
        for (const auto& [paradox, target] : table.columns)
            columns << paradox + QStringLiteral(" -> ") + target;
        lines << QStringLiteral("names: ") + table.paradox + QStringLiteral(" -> ") + table.target +
                     (columns.isEmpty()
                          ? QString()
                          : QStringLiteral(": ") + columns.join(QStringLiteral(", ")));
    }
    return lines;
}
