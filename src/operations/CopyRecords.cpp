#include "CopyRecords.h"

#include <QDateTime>

#include "RowDigest.h"
#include "RunJournal.h"
#include "ado/Connection.h"
#include "data/Datatype.h"
#include "data/products/TargetProduct.h"

namespace {

const QString kKind = QStringLiteral("verified copy");
const QString kState = QStringLiteral("record");

// The columns a record fills, in the order every statement here names them.
const char* const kColumns =
    R"("run", "step", "kind", "state", "at", "table_name", "key_columns", "source_file", )"
    R"("source_stamp", "row_count", "digest", "layout")";

QString fileText(const px::ChangeStamp::FileState& file) {
    if (!file.exists)
        return QStringLiteral("none");
    return QStringLiteral("%1.%2 %3 %4.%5 %6.%7")
        .arg(file.device)
        .arg(file.inode)
        .arg(file.size)
        .arg(file.modifiedSeconds)
        .arg(file.modifiedNanoseconds, 9, 10, QLatin1Char('0'))
        .arg(file.changedSeconds)
        .arg(file.changedNanoseconds, 9, 10, QLatin1Char('0'));
}

}  // namespace

QString stampText(const px::ChangeStamp& stamp) {
    return fileText(stamp.table) + QStringLiteral(" / ") + fileText(stamp.blobs) +
           QStringLiteral(" / ") +
           QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(stamp.header.data()),
                                          static_cast<qsizetype>(stamp.header.size()))
                                   .toHex());
}

CopyRecords::CopyRecords(ado::Connection& target, const TargetProduct& product)
    : target_(target), product_(product) {}

std::vector<CopyRecord> CopyRecords::all() {
    return read(inSchema());
}

std::optional<CopyRecord> CopyRecords::of(const QString& table) {
    std::vector<CopyRecord> records = read(inSchema() + QStringLiteral(R"( AND "table_name" = )") +
                                           product_.textLiteralOf(table));
    if (records.empty())
        return std::nullopt;
    return records.back();
}

QStringList CopyRecords::writeStatements(CopyRecord record) {
    record.at = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const auto literal = [&](const QString& text) { return product_.textLiteralOf(text); };
    const QString journal = product_.atHome(RunJournal::kTable);
    const QString schema = product_.chosenSchema();
    // One row per table, whichever run made it: keyed by the table's name, and its schema.
    const QString key = schema.isEmpty() ? record.table : schema + QLatin1Char('.') + record.table;
    return {QStringLiteral("DELETE FROM ") + journal + QStringLiteral(R"( WHERE "kind" = )") +
                literal(kKind) + inSchema() + QStringLiteral(R"( AND "table_name" = )") +
                literal(record.table),
            QStringLiteral("INSERT INTO ") + journal + QStringLiteral(" (") +
                QString::fromLatin1(kColumns) + QStringLiteral(R"(, "schema_name") VALUES ()") +
                QStringList{literal(QStringLiteral("record ") +
                                    QString::number(RowDigest::hash(key.toStdString(), 0), 16)),
                            QStringLiteral("1"), literal(kKind), literal(kState),
                            literal(record.at), literal(record.table),
                            literal(journalNamesText(record.key)), literal(record.sourceFile),
                            literal(record.stamp), literal(QString::number(record.rows)),
                            literal(record.digest), literal(record.layout),
                            schema.isEmpty() ? QStringLiteral("NULL") : literal(schema)}
                    .join(QStringLiteral(", ")) +
                QLatin1Char(')')};
}

void CopyRecords::forget(const QString& table) {
    try {
        target_.Execute(QStringLiteral("DELETE FROM ") + product_.atHome(RunJournal::kTable) +
                        QStringLiteral(R"( WHERE "kind" = )") + product_.textLiteralOf(kKind) +
                        inSchema() + QStringLiteral(R"( AND "table_name" = )") +
                        product_.textLiteralOf(table));
    } catch (const std::exception&) {
        // No journal: no record.
    }
}

QString CopyRecords::inSchema() {
    // A journal made before schemas were kept holds records of the connection's own.
    if (!schemaColumn_)
        schemaColumn_ = RunJournal::hasColumn(target_, product_, R"("schema_name")");
    const QString& schema = product_.chosenSchema();
    if (!*schemaColumn_)
        return schema.isEmpty() ? QString() : QStringLiteral(" AND 1 = 0");
    return schema.isEmpty()
               ? QStringLiteral(R"( AND "schema_name" IS NULL)")
               : QStringLiteral(R"( AND "schema_name" = )") + product_.textLiteralOf(schema);
}

std::vector<CopyRecord> CopyRecords::read(const QString& where) {
    std::vector<CopyRecord> records;
    std::unique_ptr<ado::RecordSet> rows;
    try {
        rows = target_.Query(QStringLiteral("SELECT ") + QString::fromLatin1(kColumns) +
                             QStringLiteral(" FROM ") + product_.atHome(RunJournal::kTable) +
                             QStringLiteral(R"( WHERE "kind" = )") + product_.textLiteralOf(kKind) +
                             where + QStringLiteral(R"( ORDER BY "table_name", "at")"));
    } catch (const std::exception&) {
        return records;  // no journal, or one made before records were kept
    }
    for (; !rows->Eof(); rows->MoveNext()) {
        const auto text = [&](int column) {
            return QString::fromStdString(rows->Fields(column).Value().toText());
        };
        CopyRecord record;
        record.at = text(4);
        record.table = text(5);
        record.key = journalNamesOf(text(6)).value_or(QStringList());
        record.sourceFile = text(7);
        record.stamp = text(8);
        bool counted = false;
        record.rows = text(9).toLongLong(&counted);
        record.digest = text(10);
        record.layout = text(11);
        // A record that cannot be read is no record: the table is treated as unrecorded.
        if (counted && !record.table.isEmpty() && !record.layout.isEmpty())
            records.push_back(std::move(record));
    }
    return records;
}
