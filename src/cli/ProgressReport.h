#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "operations/TableTransfer.h"

// What the command line shows of a run on standard error: on a terminal one line per table that
// updates in place (table n of m, rows done, percent, rows per second, seconds); elsewhere one
// plain line per table when it ends. When the data source keeps the run waiting for more than
// two seconds (a lock held by another session, a server that does not answer), it says so; not
// while a table's rows, key or check keep the server at work.
// Nothing but what the caller prints as errors when quiet.
class ProgressReport : public TransferObserver {
  public:
    ProgressReport(std::FILE* out, bool terminal, bool quiet, QString dataSource,
                   std::function<bool()> stopRequested);
    ~ProgressReport() override;
    ProgressReport(const ProgressReport&) = delete;
    ProgressReport& operator=(const ProgressReport&) = delete;

    // What the run does now, named in the notice of a wait: "opening the data source".
    void doing(const QString& what);
    void tableStarting(const QString& table, int number, int count);
    // The table's last line: its progress when it was copied whole (with `outcome` after it,
    // when there is one), else `outcome`.
    void tableFinished(bool whole, const QString& outcome);
    // A line of its own, such as a table passed over; not when quiet.
    void note(const QString& line);
    // A line that is printed even when quiet: a failure, a warning.
    void error(const QString& line);
    double secondsOfTable() const;

    void rowStarting(long long row, long long rows) override;
    void tableEnded() override {}
    void targetDropped(const QString&) override {}
    void targetCreated(const QString&) override {}
    bool stopRequested() const override { return stopRequested_(); }
    void statementMayWait(bool waits) override;
    void copyingAgain(const QString& table, int copy, int copies) override;

  private:
    using Clock = std::chrono::steady_clock;
    QString progressLine(bool finished) const;
    void print(const QString& line, bool replacing);
    void markActivity();
    void watchForWaits();

    std::FILE* out_;
    bool terminal_;
    bool quiet_;
    QString dataSource_;
    std::function<bool()> stopRequested_;

    mutable std::mutex mutex_;  // everything below, and the output
    QString doing_;
    bool mayWait_ = false;  // a statement that may wait on another session's lock is out
    QString prefix_;        // "ORDERS (table 2 of 3)"
    long long rows_ = 0;
    long long total_ = 0;
    Clock::time_point tableStart_;
    Clock::time_point lastActivity_;
    Clock::time_point lastShown_;
    bool waitTold_ = false;
    bool lineOpen_ = false;  // a progress line waits to be replaced on the terminal
    bool stopping_ = false;
    std::condition_variable stop_;
    std::thread watch_;
};
