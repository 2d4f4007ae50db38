#include "ProgressReport.h"

#include <QLocale>

namespace {

constexpr qint64 kRepaintMs = 100;

QString count(long long value) {
    return QLocale::c().toString(value);
}

}  // namespace

ProgressReport::ProgressReport(std::FILE* out, bool terminal, bool quiet)
    : out_(out), terminal_(terminal), quiet_(quiet) {}

void ProgressReport::tableStarting(const QString& table) {
    table_ = table;
    rows_ = 0;
    total_ = 0;
    lastShown_ = -1;
    clock_.start();
}

QString ProgressReport::progressLine() const {
    const double seconds = double(clock_.elapsed()) / 1000.0;
    const double percent = total_ > 0 ? double(rows_) * 100.0 / double(total_) : 100.0;
    return QStringLiteral("%1: %2 of %3 rows, %4%, %5 rows/s")
        .arg(table_, count(rows_), count(total_))
        .arg(percent, 0, 'f', 0)
        .arg(count(seconds > 0 ? static_cast<long long>(double(rows_) / seconds) : 0));
}

void ProgressReport::rowStarting(long long row, long long rows) {
    // The row before this one is done.
    rows_ = row;
    total_ = rows;
    if (quiet_ || !terminal_)
        return;
    const qint64 now = clock_.elapsed();
    if (lastShown_ >= 0 && now - lastShown_ < kRepaintMs)
        return;
    lastShown_ = now;
    std::fprintf(out_, "\r\033[K%s", qPrintable(progressLine()));
    std::fflush(out_);
}

void ProgressReport::tableFinished(const QString& failure) {
    if (total_ > 0 && failure.isEmpty())
        rows_ = total_;
    if (quiet_)
        return;
    const QString line = failure.isEmpty()
                             ? progressLine() + QStringLiteral(", %1 s").arg(
                                                    double(clock_.elapsed()) / 1000.0, 0, 'f', 1)
                             : table_ + QStringLiteral(": failed: ") + failure;
    std::fprintf(out_, "%s%s\n", terminal_ ? "\r\033[K" : "", qPrintable(line));
    std::fflush(out_);
}
