#include "RunSummary.h"

#include <QLocale>

#include "ProgressReport.h"

namespace {

QString count(long long value) {
    return QLocale::c().toString(value);
}

// The first cause, and how many more there were.
QString causeOf(const TableResult& result) {
    if (result.causes.isEmpty())
        return {};
    QString text = QStringLiteral(": ") + result.causes.first();
    if (result.causes.size() > 1)
        text += QStringLiteral(" (and %1 more failures)").arg(result.causes.size() - 1);
    return text;
}

}  // namespace

void RunSummary::print(ProgressReport& report, bool quiet, double seconds) const {
    using State = TableResult::State;
    int copied = 0, skipped = 0, failed = 0, incomplete = 0;
    long long rows = 0;
    QStringList notCopied;
    for (const TableResult& result : results_) {
        copied += result.state == State::Copied || result.state == State::Unkeyed;
        skipped += result.state == State::Skipped;
        failed += result.state == State::Failed || result.state == State::Interrupted;
        incomplete += result.state == State::Incomplete;
        if (result.state == State::Copied || result.state == State::Unkeyed)
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
        report.note(line +
                    QStringLiteral(", %1 rows, in %2 s.").arg(count(rows)).arg(seconds, 0, 'f', 1));
    }
    for (const TableResult& result : results_) {
        if (result.state == State::Failed)
            report.error(QStringLiteral("Failed: ") + result.entry.name + causeOf(result));
        if (result.state == State::Unkeyed)
            report.error(QStringLiteral("Without its key: ") + result.entry.name +
                         QStringLiteral(": its rows arrived whole") + causeOf(result));
        if (result.state == State::Interrupted)
            report.error(QStringLiteral("Interrupted: ") + result.entry.name +
                         QStringLiteral(": rolled back, nothing of it was kept"));
        if (result.state == State::Incomplete)
            report.error(
                QStringLiteral("Incomplete: %1: %2 of %3 rows arrived")
                    .arg(result.entry.name, count(result.rowsWritten), count(result.sourceRows)) +
                causeOf(result));
    }
    if (!notCopied.isEmpty())
        report.error(QStringLiteral("Not copied, the run was stopped first: ") +
                     notCopied.join(QStringLiteral(", ")));
    for (const QString& warning : warnings_)
        report.error(QStringLiteral("Warning: ") + warning);
}

int RunSummary::exitStatus() const {
    if (interruptedStatus_ != 0)
        return interruptedStatus_;
    for (const TableResult& result : results_)
        if (result.state != TableResult::State::Copied &&
            result.state != TableResult::State::Skipped)
            return 1;
    return warnings_.isEmpty() ? 0 : 1;
}
