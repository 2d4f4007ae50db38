#include "TableCopies.h"

#include <QLocale>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "runtime/Counting.h"

namespace {

// What became of a table that did not arrive whole, from the transfer's outcome.
TableResult::State stateOf(TableTransfer::Outcome outcome, bool rowByRow, bool created,
                           const TableTransfer& transfer) {
    using State = TableResult::State;
    // Row by row the rows that arrived stay: short, or read from a source that moved.
    if (rowByRow && created &&
        (transfer.rowsWritten() < transfer.sourceRows() || transfer.sourceMoved()))
        return State::Incomplete;
    return outcome == TableTransfer::Outcome::Interrupted && !rowByRow ? State::Interrupted
                                                                       : State::Failed;
}

QString outcomeLine(const TableResult& result) {
    switch (result.state) {
        case TableResult::State::Incomplete:
            return QStringLiteral("incomplete, %1 of %2 arrived")
                .arg(result.rowsWritten)
                .arg(rowsCounted(result.sourceRows));
        case TableResult::State::Interrupted:
            return QStringLiteral("interrupted, rolled back");
        case TableResult::State::Unkeyed:
            return QStringLiteral("copied whole, without its key");
        default:
            return QStringLiteral("failed");
    }
}

// What a refresh did with a table, on its result.
void noteRefresh(const TableTransfer::Refresh& refresh, TableResult& result) {
    using Kind = TableTransfer::Refresh::Kind;
    using Refresh = TableResult::Refresh;
    static const std::map<Kind, Refresh> kinds = {{Kind::Copied, Refresh::Copied},
                                                  {Kind::Unchanged, Refresh::Unchanged},
                                                  {Kind::Refreshed, Refresh::Refreshed},
                                                  {Kind::Replaced, Refresh::Replaced}};
    result.refresh = kinds.at(refresh.kind);
    result.changes = refresh.counts;
    result.replacedBecause = refresh.why;
    result.refreshedSince = refresh.since;
}

// The end of a whole table's progress line: "verified", or what a refresh did.
QString finishedLine(const TableResult& result) {
    const QString verified = result.check ? QStringLiteral("verified") : QString();
    const QLocale english(QLocale::English);
    switch (result.refresh) {
        case TableResult::Refresh::Unchanged:
            return QStringLiteral("unchanged since the verified copy of ") + result.refreshedSince;
        case TableResult::Refresh::Refreshed:
            return QStringLiteral("refreshed (+%1 ~%2 \u2212%3), ")
                       .arg(english.toString(result.changes.inserted),
                            english.toString(result.changes.updated),
                            english.toString(result.changes.deleted)) +
                   verified;
        case TableResult::Refresh::Replaced:
            return QStringLiteral("replaced, ") + result.replacedBecause + QStringLiteral(", ") +
                   verified;
        default:
            return verified;
    }
}

// Writes the refreshes in place that were held, in one transaction, and tells each.
void writeHeldRefreshes(std::vector<TableResult>& held, TableTransfer& transfer,
                        ProgressReport& progress, RunSummary& summary) {
    if (held.empty())
        return;
    progress.doing(QStringLiteral("writing the refreshed rows"));
    const std::vector<TableTransfer::Written> written = transfer.writeRefreshes();
    for (const TableTransfer::Written& table : written) {
        const auto found = std::find_if(held.begin(), held.end(), [&](const TableResult& result) {
            return result.entry.file == table.entry.file;
        });
        if (found == held.end())
            continue;
        TableResult& result = *found;
        if (!table.failure.isEmpty()) {
            result.state =
                table.stopped ? TableResult::State::Interrupted : TableResult::State::Failed;
            result.causes << table.failure;
            result.rowsWritten = 0;
        } else {
            result.check = table.check;
            result.sourceRows = table.sourceRows;
            result.rowsWritten = table.counts.changes();
            progress.note(result.entry.name + QStringLiteral(": ") + finishedLine(result));
        }
        summary.add(result);
    }
}

// Copies one table with `job`; `held` when it is a refresh in place, written at the end.
TableResult copyOne(const TableEntry& entry, int number, int count, const TransferOptions& options,
                    CopyJob& job, bool& held, TableTransfer::Outcome& outcome) {
    TableResult result;
    result.entry = entry;
    job.progress.tableStarting(entry.name, number, count);
    job.progress.created = false;
    outcome = job.transfer.copy(entry);
    result.causes = job.dialogs.takeFailures();
    // What of its definition could not be carried leaves the table whole: a warning; what
    // another table lost is a loss.
    for (const DefinitionWriter::Problem& problem : job.transfer.takeDefinitionProblems()) {
        // Told under a replacement's heading too, where it came while the table was replaced.
        result.causes.removeIf([&](const QString& cause) { return cause.endsWith(problem.text); });
        (problem.loss ? result.losses : result.warnings) << problem.text;
    }
    result.sourceRows = job.transfer.sourceRows();
    result.rowsWritten = job.transfer.rowsWritten();
    result.copies = job.transfer.copies();
    const bool whole = outcome == TableTransfer::Outcome::Done && result.causes.isEmpty();
    const bool unkeyed = outcome == TableTransfer::Outcome::Done && !job.transfer.keyMade() &&
                         (!job.transfer.lastCheck() || job.transfer.lastCheck()->exact());
    result.state = whole ? TableResult::State::Copied
                   : unkeyed
                       ? TableResult::State::Unkeyed
                       : stateOf(outcome, options.rowByRow, job.progress.created, job.transfer);
    result.check = job.transfer.lastCheck();
    result.salvage = job.transfer.lastSalvage();
    if (result.state == TableResult::State::Copied && result.salvage)
        result.state = TableResult::State::Salvaged;
    // A damaged table refused: the way out, with what it would bring.
    if (!job.transfer.salvageOffer().isEmpty() && !result.causes.isEmpty()) {
        QString& damage = result.causes.first();
        if (damage.endsWith(QLatin1Char('.')))
            damage.chop(1);
        damage += QStringLiteral("; --salvage copies ") + job.transfer.salvageOffer();
    }
    if (options.refresh)
        noteRefresh(job.transfer.lastRefresh(), result);
    // A refresh in place is written with the other tables' at the end.
    if (whole && job.transfer.lastRefresh().held) {
        const TableRefresh::Counts& changes = job.transfer.lastRefresh().counts;
        job.progress.tableFinished(
            false, QStringLiteral("refreshing, %1 %2")
                       .arg(changes.changes())
                       .arg(changes.changes() == 1 ? "row differs" : "rows differ"));
        result.seconds = job.progress.secondsOfTable();
        held = true;
        return result;
    }
    // Nothing read, nothing written: no rows to count.
    const bool unchanged = whole && result.refresh == TableResult::Refresh::Unchanged;
    job.progress.tableFinished(whole && !unchanged,
                               !whole ? outcomeLine(result) : finishedLine(result));
    result.seconds = job.progress.secondsOfTable();
    return result;
}

}  // namespace

void copyAll(const std::vector<TableEntry>& tables, const TransferOptions& options,
             std::vector<CopyJob>& jobs, RunSummary& summary,
             const std::function<void()>& tableDone) {
    enum class Place { Waiting, Ready, Held };
    std::mutex mutex;  // guards what follows, and the summary
    std::vector<Place> places(tables.size(), Place::Waiting);
    std::vector<TableResult> results(tables.size());
    std::vector<TableResult> held;  // refreshes in place, written together at the end
    size_t told = 0;                // the results before this one are in the summary
    std::atomic<size_t> next = 0;
    std::atomic<bool> transferEnded = false;
    const bool sideBySide = jobs.size() > 1;
    const auto work = [&](CopyJob& job) {
        for (size_t i = next++; i < tables.size(); i = next++) {
            TableResult result;
            bool isHeld = false;
            if (transferEnded || Interruption::requested()) {
                result.entry = tables[i];
                result.causes << (transferEnded ? QStringLiteral("the connection was lost")
                                                : QStringLiteral("the run was stopped"));
            } else {
                const int number = static_cast<int>(i + 1), count = static_cast<int>(tables.size());
                if (sideBySide)
                    job.progress.note(
                        tables[i].name +
                        QStringLiteral(" (table %1 of %2): copying").arg(number).arg(count));
                TableTransfer::Outcome outcome = TableTransfer::Outcome::Done;
                result = copyOne(tables[i], number, count, options, job, isHeld, outcome);
                if (outcome == TableTransfer::Outcome::TransferEnds)
                    transferEnded = true;
            }
            const QString loadRefused = job.transfer.takeLoadRefusal();
            const std::lock_guard lock(mutex);
            // Each job finds the load refused on its own session; the run says so once.
            if (!loadRefused.isEmpty() && !summary.notes().contains(loadRefused)) {
                job.progress.note(loadRefused);
                summary.note(loadRefused);
            }
            places[i] = isHeld ? Place::Held : Place::Ready;
            if (isHeld)
                held.push_back(std::move(result));
            else
                results[i] = std::move(result);
            for (; told < tables.size() && places[told] != Place::Waiting; ++told)
                if (places[told] == Place::Ready) {
                    summary.add(results[told]);
                    tableDone();
                }
        }
    };
    {
        std::vector<std::jthread> others;
        for (size_t job = 1; job < jobs.size(); ++job)
            others.emplace_back([&, job] { work(jobs[job]); });
        work(jobs.front());
    }
    writeHeldRefreshes(held, jobs.front().transfer, jobs.front().progress, summary);
}
