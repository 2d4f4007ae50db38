#include "ProgressReport.h"
#include "runtime/Counting.h"

#include <cmath>

namespace {

constexpr auto kRepaint = std::chrono::milliseconds(100);
constexpr auto kLongWait = std::chrono::seconds(2);

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

ProgressReport::ProgressReport(std::FILE* out, bool terminal, bool quiet, QString dataSource,
                               std::function<bool()> stopRequested)
    : out_(out),
      terminal_(terminal),
      quiet_(quiet),
      dataSource_(std::move(dataSource)),
      stopRequested_(std::move(stopRequested)),
      tableStart_(Clock::now()),
      lastActivity_(Clock::now()),
      watch_([this] { watchForWaits(); }) {}

ProgressReport::~ProgressReport() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    watch_.join();
}

void ProgressReport::markActivity() {
    lastActivity_ = Clock::now();
    waitTold_ = false;
}

void ProgressReport::print(const QString& line, bool replacing) {
    // On a terminal a progress line is replaced in place, and any other line takes its place.
    // One write per line: the progress of tables copied side by side never mixes within one.
    QString text = lineOpen_ ? QStringLiteral("\r\033[K") + line : line;
    lineOpen_ = terminal_ && replacing;
    if (!lineOpen_)
        text += QLatin1Char('\n');
    std::fputs(qPrintable(text), out_);
    std::fflush(out_);
}

void ProgressReport::doing(const QString& what) {
    std::lock_guard lock(mutex_);
    doing_ = what;
    markActivity();
}

void ProgressReport::tableStarting(const QString& table, int number, int count) {
    std::lock_guard lock(mutex_);
    prefix_ = table + QStringLiteral(" (table ") + QString::number(number) +
              QStringLiteral(" of ") + QString::number(count) + QLatin1Char(')');
    doing_ = QStringLiteral("copying ") + table;
    rows_ = 0;
    total_ = 0;
    tableStart_ = Clock::now();
    lastShown_ = Clock::time_point();
    markActivity();
}

double ProgressReport::secondsOfTable() const {
    std::lock_guard lock(mutex_);
    return secondsBetween(tableStart_, Clock::now());
}

QString ProgressReport::progressLine(bool finished) const {
    const double seconds = secondsBetween(tableStart_, Clock::now());
    // 100 % only once the table is complete: the last rows may still be on their way.
    const double percent = finished || total_ == 0
                               ? 100.0
                               : std::min(99.0, std::floor(double(rows_) * 100.0 / double(total_)));
    return prefix_ + QStringLiteral(": ") + grouped(rows_) + QStringLiteral(" of ") +
           rowsCounted(total_) + QStringLiteral(", ") + QString::number(percent, 'f', 0) +
           QStringLiteral("%, ") +
           grouped(seconds > 0 ? static_cast<long long>(double(rows_) / seconds) : 0) +
           QStringLiteral(" rows/s, ") + QString::number(seconds, 'f', 1) + QStringLiteral(" s");
}

void ProgressReport::rowStarting(long long row, long long rows) {
    std::lock_guard lock(mutex_);
    // The row before this one is done.
    rows_ = row;
    total_ = rows;
    lastActivity_ = Clock::now();
    waitTold_ = false;
    if (quiet_ || !terminal_ || lastActivity_ - lastShown_ < kRepaint)
        return;
    lastShown_ = lastActivity_;
    print(progressLine(false), true);
}

void ProgressReport::tableFinished(bool whole, const QString& outcome) {
    std::lock_guard lock(mutex_);
    markActivity();
    if (whole)
        rows_ = total_;
    if (quiet_)
        return;
    print(whole ? progressLine(true) +
                      (outcome.isEmpty() ? QString() : QStringLiteral(", ") + outcome)
                : prefix_ + QStringLiteral(": ") + outcome + QStringLiteral(", ") +
                      QString::number(secondsBetween(tableStart_, Clock::now()), 'f', 1) +
                      QStringLiteral(" s"),
          false);
}

void ProgressReport::note(const QString& line) {
    std::lock_guard lock(mutex_);
    markActivity();
    if (!quiet_)
        print(line, false);
}

void ProgressReport::error(const QString& line) {
    std::lock_guard lock(mutex_);
    print(line, false);
}

void ProgressReport::statementMayWait(bool waits) {
    std::lock_guard lock(mutex_);
    // A wait is counted from the statement's start, not from the work before it.
    if (waits && !mayWait_)
        markActivity();
    mayWait_ = waits;
}

void ProgressReport::copyingAgain(const QString& table, int copy, int copies) {
    note(table + QStringLiteral(" changed while it was copied: a program is writing to it; "
                                "copying it again (copy %1 of %2)")
                     .arg(copy)
                     .arg(copies));
}

void ProgressReport::watchForWaits() {
    std::unique_lock lock(mutex_);
    while (!stop_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping_; })) {
        const auto waited = Clock::now() - lastActivity_;
        const bool copying = doing_.startsWith(QStringLiteral("copying"));
        if (quiet_ || waited < kLongWait || (waitTold_ && !terminal_) || (copying && !mayWait_))
            continue;
        // On a terminal the line counts the seconds; elsewhere one line per wait.
        const QString what = prefix_.isEmpty() || !copying ? doing_ : prefix_;
        const QString line =
            what + QStringLiteral(": waiting for ") + dataSource_ + QStringLiteral(" to answer, ") +
            QString::number(std::chrono::duration_cast<std::chrono::seconds>(waited).count()) +
            QStringLiteral(" s so far");
        print(line, terminal_);
        waitTold_ = true;
    }
}
