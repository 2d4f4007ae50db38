#include "RunSummary.h"

#include <algorithm>

#include "ProgressReport.h"
#include "runtime/Counting.h"

namespace {

// Every table arrived whole, but a part of some table's definition did not.
constexpr int kDefinitionNotCarried = 3;

// The table's heading line with its first cause, then each further cause on a line of its own
// under the same heading: no failure is hidden behind another.
void printCauses(ProgressReport& report, const QString& heading, const QString& name,
                 const QString& firstLine, const QStringList& causes) {
    report.error(heading + name + firstLine +
                 (causes.isEmpty() ? QString() : QStringLiteral(": ") + causes.first()));
    for (qsizetype i = 1; i < causes.size(); ++i)
        report.error(heading + name + QStringLiteral(": ") + causes[i]);
}

}  // namespace

void RunSummary::print(ProgressReport& report, bool quiet, double seconds) const {
    using State = TableResult::State;
    int copied = 0, skipped = 0, failed = 0, incomplete = 0;
    long long rows = 0;
    QStringList notCopied;
    for (const TableResult& result : results_) {
        copied += result.state == State::Copied || result.state == State::Unkeyed ||
                  result.state == State::Salvaged;
        skipped += result.state == State::Skipped;
        failed += result.state == State::Failed || result.state == State::Interrupted;
        incomplete += result.state == State::Incomplete;
        if (result.state == State::Copied || result.state == State::Unkeyed ||
            result.state == State::Incomplete || result.state == State::Salvaged)
            rows += result.rowsWritten;
        if (result.state == State::NotCopied)
            notCopied << result.entry.name;
    }
    if (!quiet) {
        QString line = QStringLiteral("Copied %1 of %2 tables").arg(copied).arg(results_.size());
        if (skipped > 0)
            line += QStringLiteral(", %1 skipped").arg(skipped);
        if (failed > 0)
            line += QStringLiteral(", %1 failed").arg(failed);
        if (incomplete > 0)
            line += QStringLiteral(", %1 incomplete").arg(incomplete);
        line += refreshCounts();
        report.note(
            line + QStringLiteral(", %1, in %2 s.").arg(rowsCounted(rows)).arg(seconds, 0, 'f', 1));
    }
    for (const TableResult& result : results_) {
        if (result.state == State::Failed)
            printCauses(report, QStringLiteral("Failed: "), result.entry.name, {}, result.causes);
        // Also on a table whose rows arrived without its key, and one whose repair lost nothing.
        if ((result.state == State::Salvaged || result.state == State::Unkeyed) && result.salvage)
            report.error(QStringLiteral("Salvaged: ") + result.entry.name + QStringLiteral(": ") +
                         QString::fromStdString(result.salvage->describe()));
        if (result.state == State::Unkeyed)
            printCauses(report, QStringLiteral("Without its key: "), result.entry.name,
                        QStringLiteral(": its rows arrived whole"), result.causes);
        if (result.state == State::Interrupted && result.causes.isEmpty())
            report.error(QStringLiteral("Interrupted: ") + result.entry.name +
                         QStringLiteral(": rolled back, nothing of it was kept"));
        if (result.state == State::Interrupted && !result.causes.isEmpty())
            printCauses(report, QStringLiteral("Interrupted: "), result.entry.name, {},
                        result.causes);
        if (result.state == State::Incomplete)
            printCauses(report, QStringLiteral("Incomplete: "), result.entry.name,
                        QStringLiteral(": ") + grouped(result.rowsWritten) +
                            QStringLiteral(" of ") + rowsCounted(result.sourceRows) +
                            QStringLiteral(" arrived"),
                        result.causes);
    }
    if (!notCopied.isEmpty())
        report.error(QStringLiteral("Not copied, the run was stopped first: ") +
                     notCopied.join(QStringLiteral(", ")));
    for (const TableResult& result : results_)
        for (const QString& loss : result.losses)
            report.error(QStringLiteral("Lost: ") + loss);
    for (const QString& failure : repair_.failures)
        report.error(QStringLiteral("Not repaired: ") + failure);
    for (const TableResult& result : results_)
        for (const QString& warning : result.warnings)
            report.error(QStringLiteral("Warning: ") + warning);
    for (const QString& warning : warnings_)
        report.error(QStringLiteral("Warning: ") + warning);
}

void RunSummary::repairedTarget(const JournalRepair::Outcome& outcome, ProgressReport& report) {
    repair_ = outcome;
    for (const QString& line : outcome.repaired)
        report.error(QStringLiteral("Repaired: ") + line);
    for (const QString& line : outcome.failures)
        report.error(QStringLiteral("Not repaired: ") + line);
    for (const QString& line : outcome.notes)
        report.note(line);
}

QString RunSummary::refreshCounts() const {
    using Refresh = TableResult::Refresh;
    int unchanged = 0, refreshed = 0, replaced = 0;
    TableRefresh::Counts rows;
    for (const TableResult& result : results_) {
        if (result.state != TableResult::State::Copied)
            continue;
        unchanged += result.refresh == Refresh::Unchanged;
        replaced += result.refresh == Refresh::Replaced;
        if (result.refresh == Refresh::Refreshed) {
            ++refreshed;
            rows.inserted += result.changes.inserted;
            rows.updated += result.changes.updated;
            rows.deleted += result.changes.deleted;
        }
    }
    if (unchanged + refreshed + replaced == 0)
        return {};
    return QStringLiteral(": %1 unchanged, %2 refreshed (+%3 ~%4 \u2212%5), %6 replaced")
        .arg(unchanged)
        .arg(refreshed)
        .arg(grouped(rows.inserted), grouped(rows.updated), grouped(rows.deleted))
        .arg(replaced);
}

void RunSummary::warnOn(const QString& table, const QString& warning) {
    for (TableResult& result : results_)
        if (result.entry.name.compare(table, Qt::CaseInsensitive) == 0) {
            result.warnings << warning;
            return;
        }
    warnings_ << warning;
}

bool RunSummary::warnedOf(const QString& text) const {
    return std::any_of(results_.begin(), results_.end(),
                       [&](const TableResult& result) { return result.warnings.contains(text); });
}

int RunSummary::exitStatus() const {
    if (interruptedStatus_ != 0)
        return interruptedStatus_;
    bool definitionLost = false;
    for (const TableResult& result : results_) {
        if (result.state != TableResult::State::Copied &&
            result.state != TableResult::State::Unkeyed &&
            result.state != TableResult::State::Salvaged &&
            result.state != TableResult::State::Skipped)
            return 1;
        if ((result.salvage && !result.salvage->nothingLost()) || !result.losses.isEmpty())
            return 1;
        definitionLost = definitionLost || result.state == TableResult::State::Unkeyed ||
                         !result.warnings.isEmpty();
    }
    if (!warnings_.isEmpty() || !repair_.failures.isEmpty())
        return 1;
    return definitionLost ? kDefinitionNotCarried : 0;
}
