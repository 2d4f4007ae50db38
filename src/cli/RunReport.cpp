#include "RunReport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <map>

#include "RunSummary.h"
#include "TransferOptions.h"

namespace RunReport {

namespace {

QString stateName(TableResult::State state) {
    switch (state) {
        case TableResult::State::Copied:
            return QStringLiteral("copied");
        case TableResult::State::Unkeyed:
            return QStringLiteral("copied without its key");
        case TableResult::State::Failed:
            return QStringLiteral("failed");
        case TableResult::State::Incomplete:
            return QStringLiteral("incomplete");
        case TableResult::State::Interrupted:
            return QStringLiteral("interrupted");
        case TableResult::State::NotCopied:
            return QStringLiteral("not copied");
        case TableResult::State::Skipped:
            return QStringLiteral("skipped");
        case TableResult::State::Salvaged:
            return QStringLiteral("salvaged");
    }
    return {};
}

// "TABLE.COLUMN": "TYPE" for each cast asked for.
QJsonObject castsOf(const ColumnCasts& casts) {
    QJsonObject all;
    for (const ColumnCasts::Cast& cast : casts.all())
        all[cast.table + QLatin1Char('.') + cast.column] = cast.type;
    return all;
}

QJsonObject optionsOf(const TransferOptions& options) {
    return {{QStringLiteral("folder"), options.folder},
            {QStringLiteral("dataSource"), options.dataSource},
            {QStringLiteral("tables"), QJsonArray::fromStringList(options.tables)},
            {QStringLiteral("overwrite"), options.overwrite},
            {QStringLiteral("skipExisting"), options.skipExisting},
            {QStringLiteral("rowByRow"), options.rowByRow},
            {QStringLiteral("inserts"), options.inserts},
            {QStringLiteral("verify"), options.verify},
            {QStringLiteral("typed"), options.typed},
            {QStringLiteral("copyAttempts"), options.copyAttempts},
            {QStringLiteral("salvage"), options.salvage},
            {QStringLiteral("refresh"), options.refresh},
            {QStringLiteral("names"), NameRule::wordOf(options.names)},
            {QStringLiteral("casts"), castsOf(options.casts)}};
}

// Each renamed table by its Paradox name: its name on the target and its renamed columns.
QJsonObject namesOf(const std::vector<NameChanges::Table>& changed) {
    QJsonObject names;
    for (const NameChanges::Table& table : changed) {
        QJsonObject columns;
        for (const auto& [paradox, target] : table.columns)
            columns[paradox] = target;
        names[table.paradox] = QJsonObject{{QStringLiteral("table"), table.target},
                                           {QStringLiteral("columns"), columns}};
    }
    return names;
}

QJsonArray blocksOf(const std::vector<px::SalvageReport::LostBlock>& lost) {
    QJsonArray blocks;
    for (const px::SalvageReport::LostBlock& block : lost)
        blocks.append(QJsonObject{{QStringLiteral("block"), qint64(block.number)},
                                  {QStringLiteral("rows"), qint64(block.rows)},
                                  {QStringLiteral("why"), QString::fromStdString(block.why)}});
    return blocks;
}

QJsonObject countsOf(const std::map<std::string, uint64_t>& perField) {
    QJsonObject counts;
    for (const auto& [field, count] : perField)
        counts[QString::fromStdString(field)] = qint64(count);
    return counts;
}

// What the salvage reading of a damaged table did and could not read: per block and per field.
QJsonObject salvageOf(const px::SalvageReport& salvage) {
    QJsonArray repairs;
    for (const std::string& repair : salvage.repairs)
        repairs.append(QString::fromStdString(repair));
    return {{QStringLiteral("damage"), QString::fromStdString(salvage.damage)},
            {QStringLiteral("rowsInHeader"), qint64(salvage.rowsInHeader)},
            {QStringLiteral("rowsRead"), qint64(salvage.rowsFound)},
            {QStringLiteral("rowsReadByPosition"), qint64(salvage.rowsByPosition)},
            {QStringLiteral("rowsLostInBlocks"), qint64(salvage.rowsLost())},
            {QStringLiteral("lostBlocks"), blocksOf(salvage.lostBlocks)},
            {QStringLiteral("blocksNotTaken"), blocksOf(salvage.blocksNotTaken)},
            {QStringLiteral("valuesLost"), countsOf(salvage.valuesLost)},
            {QStringLiteral("memosCut"), countsOf(salvage.memosCut)},
            {QStringLiteral("blobFile"), QString::fromStdString(salvage.blobFileProblem)},
            {QStringLiteral("repairs"), repairs},
            {QStringLiteral("nothingLost"), salvage.nothingLost()},
            {QStringLiteral("summary"), QString::fromStdString(salvage.describe())}};
}

// How the table was checked, in words, and the differences found.
void describeCheck(const TableResult& result, bool verifying, QJsonObject& table) {
    if (!result.check) {
        table[QStringLiteral("verified")] = false;
        table[QStringLiteral("verification")] =
            !verifying ? QStringLiteral("not checked: --no-verify")
                       : QStringLiteral("not checked: its rows were not all sent");
        return;
    }
    const TableCheck::Result& check = *result.check;
    table[QStringLiteral("verified")] = check.exact();
    if (!check.undecided.isEmpty()) {
        table[QStringLiteral("verification")] = QStringLiteral("not verified: ") + check.undecided;
        return;
    }
    table[QStringLiteral("verification")] =
        check.exact() ? QStringLiteral(
                            "read back whole; an order-independent digest of its rows "
                            "equals the source's")
                      : QStringLiteral(
                            "read back whole; its rows paired with the source's by "
                            "the columns that arrived unchanged");
    QJsonArray examples;
    for (const TableCheck::Difference& difference : check.examples) {
        QJsonObject example{{QStringLiteral("row"), difference.row}};
        if (!difference.column.isEmpty())
            example[QStringLiteral("column")] = difference.column;
        if (!difference.sent.isEmpty())
            example[QStringLiteral("sent")] = difference.sent;
        if (!difference.stored.isEmpty())
            example[QStringLiteral("stored")] = difference.stored;
        examples.append(example);
    }
    table[QStringLiteral("differences")] =
        QJsonObject{{QStringLiteral("rowsStored"), check.rowsStored},
                    {QStringLiteral("valuesDiffer"), check.valuesDiffer},
                    {QStringLiteral("rowsNotStored"), check.rowsMissing},
                    {QStringLiteral("rowsNotSent"), check.rowsExtra},
                    {QStringLiteral("countsComplete"), check.countsComplete},
                    {QStringLiteral("digestsEqual"), check.digestsEqual},
                    {QStringLiteral("examples"), examples}};
}

// What a refresh did with the table: "copied", "unchanged", "refreshed" with the rows it
// inserted, updated and deleted, or "replaced" and why.
QJsonObject refreshOf(const TableResult& result) {
    using Refresh = TableResult::Refresh;
    static const std::map<Refresh, QString> names = {
        {Refresh::Copied, QStringLiteral("copied")},
        {Refresh::Unchanged, QStringLiteral("unchanged")},
        {Refresh::Refreshed, QStringLiteral("refreshed")},
        {Refresh::Replaced, QStringLiteral("replaced")}};
    QJsonObject refresh{{QStringLiteral("did"), names.at(result.refresh)}};
    if (result.refresh == Refresh::Refreshed) {
        refresh[QStringLiteral("inserted")] = result.changes.inserted;
        refresh[QStringLiteral("updated")] = result.changes.updated;
        refresh[QStringLiteral("deleted")] = result.changes.deleted;
    }
    if (result.refresh == Refresh::Replaced)
        refresh[QStringLiteral("because")] = result.replacedBecause;
    if (!result.refreshedSince.isEmpty())
        refresh[QStringLiteral("recordedCopy")] = result.refreshedSince;
    return refresh;
}

}  // namespace

QByteArray render(const TransferOptions& options, const RunSummary& summary, const QDateTime& start,
                  int exitStatus) {
    QJsonArray tables;
    for (const TableResult& result : summary.results()) {
        QJsonObject table{{QStringLiteral("name"), result.entry.name},
                          {QStringLiteral("sourceFile"), result.entry.file},
                          {QStringLiteral("state"), stateName(result.state)},
                          {QStringLiteral("rowsRead"), result.sourceRows},
                          {QStringLiteral("rowsWritten"), result.rowsWritten},
                          {QStringLiteral("seconds"), result.seconds},
                          {QStringLiteral("copies"), result.copies},
                          {QStringLiteral("causes"), QJsonArray::fromStringList(result.causes)},
                          {QStringLiteral("warnings"), QJsonArray::fromStringList(result.warnings)},
                          {QStringLiteral("losses"), QJsonArray::fromStringList(result.losses)}};
        describeCheck(result, options.verify, table);
        if (result.salvage)
            table[QStringLiteral("salvage")] = salvageOf(*result.salvage);
        if (result.refresh != TableResult::Refresh::None)
            table[QStringLiteral("refresh")] = refreshOf(result);
        tables.append(table);
    }
    QJsonObject run{
        {QStringLiteral("program"), QStringLiteral("morvane-transfer")},
        {QStringLiteral("version"), QStringLiteral(MORVANE_VERSION)},
        {QStringLiteral("options"), optionsOf(options)},
        {QStringLiteral("start"), start.toString(Qt::ISODateWithMs)},
        {QStringLiteral("end"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
        {QStringLiteral("exitStatus"), exitStatus},
        {QStringLiteral("tables"), tables},
        {QStringLiteral("warnings"), QJsonArray::fromStringList(summary.warnings())},
        {QStringLiteral("notes"), QJsonArray::fromStringList(summary.notes())},
        {QStringLiteral("repaired"), QJsonArray::fromStringList(summary.repair().repaired)},
        {QStringLiteral("notRepaired"), QJsonArray::fromStringList(summary.repair().failures)}};
    if (!summary.names().empty())
        run[QStringLiteral("names")] = namesOf(summary.names());
    if (!summary.refusal().isEmpty())
        run[QStringLiteral("refused")] = summary.refusal();
    return QJsonDocument(run).toJson();
}

QString write(const QString& file, const TransferOptions& options, const RunSummary& summary,
              const QDateTime& start, int exitStatus) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(render(options, summary, start, exitStatus)) < 0 || !out.commit())
        return out.errorString();
    return {};
}

}  // namespace RunReport
