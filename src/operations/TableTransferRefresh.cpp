// A transfer's refresh of the tables the target has, by the records of their verified copies;
// and the verify that checks every recorded table against its source.
#include "TableTransfer.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <map>
#include <set>

#include "CopyRecords.h"
#include "RowDigest.h"
#include "RunJournal.h"
#include "SourceDefinition.h"
#include "TogetherStatements.h"
#include "ado/Connection.h"
#include "data/Datatype.h"
#include "runtime/ErrorTrap.h"
#include "runtime/EventPump.h"

namespace {

// The files beside a table that hold the rest of its definition: its validity checks and its
// secondary indexes (".VAL", ".Xnn", ".Ynn"), in any case.
QStringList definitionFiles(const QString& tablePath) {
    const QFileInfo table(tablePath);
    QStringList files;
    for (const QFileInfo& file :
         QDir(table.absolutePath()).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (file.completeBaseName().compare(table.completeBaseName(), Qt::CaseInsensitive) != 0)
            continue;
        const QString suffix = file.suffix().toUpper();
        if (suffix == QStringLiteral("VAL") ||
            (suffix.size() == 3 &&
             (suffix[0] == QLatin1Char('X') || suffix[0] == QLatin1Char('Y'))))
            files << file.absoluteFilePath();
    }
    return files;
}

}  // namespace

QString TableTransfer::recordedStamp(const TableEntry& entry) const {
    QString text = stampText(stamp_->stamp);
    for (const QString& file : definitionFiles(entry.file)) {
        const QFileInfo info(file);
        text += QStringLiteral(" / ") + info.fileName() + QLatin1Char(' ') +
                QString::number(info.size()) + QLatin1Char(' ') +
                QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char(' ') +
                QString::number(info.metadataChangeTime().toMSecsSinceEpoch());
    }
    return text;
}

QString TableTransfer::layoutText(const TableEntry& entry, const TableLayout& layout,
                                  const QString& table) const {
    QStringList statements{layout.createStatement(table)};
    statements << layout.keyStatements(table);
    if (layout.typed()) {
        try {
            const SourceDefinition definition =
                readSourceDefinition(entry.file, table, *product_, layout.sourceFields(),
                                     layout.keyFieldCount(), layout.blankCounter(), names_);
            for (const DefinitionStep& step : product_->definitionSteps(definition.table))
                statements << step.statements;
        } catch (const std::exception&) {
            // A definition that cannot be read is told by the copy; the layout is the rest.
        }
    }
    const std::string text = statements.join(QLatin1Char('\n')).toStdString();
    // The names' style is there for a later run to read the table back by.
    return (layout.typed() ? QStringLiteral("typed ") : QStringLiteral("screen ")) +
           (names_.keepsNames() ? QString() : names_.styleWord() + QLatin1Char(' ')) +
           QString::number(RowDigest::hash(text, 0), 16);
}

QStringList TableTransfer::recordStatements(const TableEntry& entry, const QString& table,
                                            const TableLayout& layout) {
    if (!journal_->ready())
        return {};
    CopyRecord record;
    record.table = table;
    record.sourceFile = entry.file;
    record.stamp = recordedStamp(entry);
    record.rows = lastCheck_->rowsSent;
    record.digest = lastCheck_->digest;
    record.layout = layoutText(entry, layout, table);
    for (int field = 0; field < layout.keyFieldCount(); ++field)
        record.key << layout.checkedColumns()[static_cast<size_t>(field)].name;
    return CopyRecords(*target_, *product_).writeStatements(std::move(record));
}

TableTransfer::Outcome TableTransfer::refreshOnce(const TableEntry& entry, const QString& table) {
    refresh_ = {};
    rowsWritten_ = sourceRows_ = 0;
    lastCheck_.reset();
    prepareJournal();
    std::optional<CopyRecord> record;
    trap_.step(144, [&] { record = CopyRecords(*target_, *product_).of(table); });
    const QString mapping = typed_ ? QStringLiteral("typed") : QStringLiteral("screen");
    const auto replace = [&](const QString& why) {
        refresh_.kind = Refresh::Kind::Replaced;
        refresh_.why = why;
        return copyOnce(entry, table, true);
    };
    if (!record || !record->layout.startsWith(mapping + QLatin1Char(' '))) {
        const QString why =
            !record ? QStringLiteral(
                          "it has no record of a verified copy (made by another "
                          "program, or before records were kept)")
                    : QStringLiteral("its verified copy was made ") +
                          (typed_ ? QStringLiteral("without") : QStringLiteral("with")) +
                          QStringLiteral(" --typed");
        if (replaceUnrecorded_)
            return replace(why);
        trap_.report(144, std::runtime_error((table + QStringLiteral(" is not refreshed: ") + why +
                                              QStringLiteral("; --overwrite replaces it"))
                                                 .toStdString()));
        return Outcome::Skipped;
    }
    refresh_.since = record->at;
    // Nothing read but the files' stamps and the target's count.
    if (!askFirst_ && record->sourceFile == entry.file && record->stamp == recordedStamp(entry)) {
        long long rows = -1;
        trap_.step(218, [&] { rows = rowsIn(table); });
        if (rows == record->rows) {
            refresh_.kind = Refresh::Kind::Unchanged;
            sourceRows_ = rows;
            return Outcome::Done;
        }
    }
    ado::RecordSet source;
    std::optional<TableLayout> layout;
    if (!readyToWrite(entry, table, source, layout))
        return Outcome::Skipped;
    source.Close();
    if (layoutText(entry, *layout, table) != record->layout)
        return replace(QStringLiteral("its definition changed"));
    if (!layout->typed())
        return replace(QStringLiteral("copied without --typed, its table has no key"));
    if (layout->keyFieldCount() == 0)
        return replace(QStringLiteral("it has no key"));
    Held held{entry, table, std::make_unique<TableLayout>(*layout), nullptr, *stamp_};
    held.refresh =
        std::make_unique<TableRefresh>(*target_, *product_, *paradox_, entry.file, table,
                                       *held.layout, [&] { return observer_.stopRequested(); });
    QString notInPlace;
    if (!readStep(268, [&] { RunLettingEventsRun([&] { notInPlace = held.refresh->compare(); }); }))
        return observer_.stopRequested() ? Outcome::Interrupted : Outcome::Skipped;
    // Rows read while the source moved may mix two of its states: it is compared again.
    if (sourceChanged())
        return Outcome::Skipped;
    if (!notInPlace.isEmpty())
        return replace(notInPlace);
    refresh_.kind = Refresh::Kind::Refreshed;
    refresh_.counts = held.refresh->counts();
    refresh_.held = true;
    sourceRows_ = held.refresh->sourceRows();
    held_.push_back(std::move(held));
    return Outcome::Done;
}

std::vector<TableTransfer::Written> TableTransfer::writeRefreshes() {
    if (held_.size() > 1)
        childrenFirst();
    std::vector<Written> written;
    for (const Held& held : held_)
        written.push_back(
            {held.entry, held.table, held.refresh->counts(), std::nullopt, 0, {}, false});
    if (held_.empty())
        return written;
    // The table a failure is told on; every other was rolled back with it.
    size_t at = 0;
    const auto failAll = [&](const QString& cause) {
        try {
            target_->RollbackTrans();
        } catch (const std::exception&) {
        }
        const bool stopped = observer_.stopRequested();
        for (size_t i = 0; i < written.size(); ++i) {
            written[i].stopped = stopped;
            written[i].failure =
                written[i].table +
                QStringLiteral(" was not refreshed: the target keeps its table as it was: ") +
                (i == at ? cause
                         : QStringLiteral("the tables refreshed with it were rolled back, since ") +
                               written[at].table + QStringLiteral(" was not refreshed"));
        }
        held_.clear();
        return written;
    };
    try {
        target_->BeginTrans();
        RunLettingEventsRun([&] {
            for (at = 0; at < held_.size(); ++at)
                held_[at].refresh->writeDeletes();
            for (at = held_.size(); at-- > 0;)
                held_[at].refresh->writeUpdatesAndInserts();
        });
    } catch (const std::exception& failure) {
        return failAll(QString::fromUtf8(failure.what()));
    }
    QStringList records;
    for (at = 0; at < held_.size(); ++at) {
        Held& held = held_[at];
        stamp_ = held.stamp;
        sourceMoved_ = false;
        try {
            RunLettingEventsRun([&] {
                lastCheck_ = TableCheck::run(*target_, *product_, *paradox_, held.entry.file,
                                             held.table, held.layout->checkedColumns(),
                                             [&] { return observer_.stopRequested(); });
            });
        } catch (const std::exception& failure) {
            return failAll(QStringLiteral("it could not be checked: ") +
                           QString::fromUtf8(failure.what()));
        }
        if (sourceChanged())
            return failAll(
                QStringLiteral("it changed while it was refreshed: a program is "
                               "writing to it"));
        if (!lastCheck_->exact())
            return failAll(lastCheck_->describe(held.table, 3));
        written[at].check = lastCheck_;
        written[at].sourceRows = lastCheck_->rowsSent;
        records << recordStatements(held.entry, held.table, *held.layout);
    }
    try {
        for (const QString& statement : records)
            target_->Execute(statement);
        target_->CommitTrans();
    } catch (const std::exception& failure) {
        at = 0;
        return failAll(QString::fromUtf8(failure.what()));
    }
    // Past the new values, as a copy leaves them; where one cannot be, its table is still whole.
    for (const Held& held : held_)
        moveCounter(*held.layout, held.table);
    held_.clear();
    return written;
}

void TableTransfer::childrenFirst() {
    std::map<QString, QStringList> children;  // by the table's name in lower case
    for (const Held& held : held_) {
        try {
            const ReferringKeys keys = ReferringKeys::to(*target_, *product_, held.table);
            for (const ReferringKeys::Key& key : keys.keys())
                children[held.table.toLower()] << key.child.toLower();
        } catch (const std::exception&) {
            // Keys that cannot be read leave the order as it is; a refusal names them.
        }
    }
    std::vector<size_t> order;
    std::set<size_t> placed, visiting;
    const std::function<void(size_t)> place = [&](size_t at) {
        if (placed.count(at) || !visiting.insert(at).second)
            return;  // placed already, or a cycle
        for (const QString& child : children[held_[at].table.toLower()])
            for (size_t other = 0; other < held_.size(); ++other)
                if (held_[other].table.toLower() == child)
                    place(other);
        placed.insert(at);
        order.push_back(at);
    };
    for (size_t at = 0; at < held_.size(); ++at)
        place(at);
    std::vector<Held> ordered;
    for (size_t at : order)
        ordered.push_back(std::move(held_[at]));
    held_ = std::move(ordered);
}

bool TableTransfer::copiedUnderAnotherName(const TableEntry& entry, const QString& table) {
    // A refresh under other names than the first copy's would copy every table again beside it.
    if (!refreshing_ || replaceUnrecorded_ || targetNames_.has(table))
        return false;
    std::vector<CopyRecord> records;
    trap_.step(144, [&] { records = CopyRecords(*target_, *product_).all(); });
    for (const CopyRecord& record : records)
        if (record.sourceFile == entry.file && record.table.compare(table, Qt::CaseInsensitive)) {
            trap_.report(144, std::runtime_error(
                                  (table +
                                   QStringLiteral(" is not copied: its source was copied "
                                                  "as ") +
                                   record.table +
                                   QStringLiteral(", under other names; give the --names of that "
                                                  "copy, or --overwrite to copy it as ") +
                                   table + QStringLiteral(" too"))
                                      .toStdString()));
            return true;
        }
    return false;
}

QStringList TableTransfer::recordsWithoutSource() {
    QStringList gone;
    try {
        for (const CopyRecord& record : CopyRecords(*target_, *product_).all())
            if (!QFileInfo::exists(record.sourceFile))
                gone << record.table + QStringLiteral(": its source ") + record.sourceFile +
                            QStringLiteral(" is gone; the table is left as it is");
    } catch (const std::exception&) {
    }
    return gone;
}

std::vector<TableTransfer::Verified> TableTransfer::verifyRecorded() {
    std::vector<Verified> results;
    prepareJournal();
    std::vector<CopyRecord> records;
    try {
        records = CopyRecords(*target_, *product_).all();
    } catch (const std::exception&) {
    }
    for (const CopyRecord& record : records) {
        Verified verified{record.table, record.sourceFile, std::nullopt, {}};
        try {
            if (!QFileInfo::exists(record.sourceFile))
                throw std::runtime_error("its source " + record.sourceFile.toStdString() +
                                         " is gone");
            if (!targetNames_.has(record.table))
                throw std::runtime_error("the target no longer has it");
            ado::RecordSet source;
            source.OpenTable(record.sourceFile, *paradox_);
            // Read back in the mapping the copy was made with, whatever this run's.
            std::optional<TypedMapping::Mapping> ownMapping;
            const TypedMapping::Mapping* mapping = nullptr;
            if (record.layout.startsWith(QStringLiteral("typed ")))
                mapping = typed_ ? &*typed_ : &ownMapping.emplace(*product_);
            const NameRule names(NameRule::styleNamed(record.layout.section(QLatin1Char(' '), 1, 1))
                                     .value_or(NameRule::Style::AsIs),
                                 *product_);
            const TableLayout layout(source, *product_, mapping, names);
            source.Close();
            RunLettingEventsRun([&] {
                verified.check = TableCheck::run(*target_, *product_, *paradox_, record.sourceFile,
                                                 record.table, layout.checkedColumns(),
                                                 [&] { return observer_.stopRequested(); });
            });
        } catch (const std::exception& failure) {
            verified.problem = QString::fromUtf8(failure.what());
        }
        results.push_back(std::move(verified));
        if (observer_.stopRequested())
            break;
    }
    return results;
}
