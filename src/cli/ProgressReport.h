#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

#include "tables/TableTransfer.h"

// What the command line shows of a transfer on standard error: on a terminal one line per table
// that updates in place (rows done, percent, rows per second); elsewhere one plain line per table
// when it ends; nothing at all when quiet.
class ProgressReport : public TransferObserver {
  public:
    ProgressReport(std::FILE* out, bool terminal, bool quiet);

    void tableStarting(const QString& table);
    // The table's last line; `failure` is "" when it was copied whole.
    void tableFinished(const QString& failure);
    long long rowsOfTable() const { return rows_; }

    void rowStarting(long long row, long long rows) override;
    void tableEnded() override {}
    void targetDropped(const QString&) override {}
    void targetCreated(const QString&) override {}

  private:
    QString progressLine() const;

    std::FILE* out_;
    bool terminal_;
    bool quiet_;
    QString table_;
    long long rows_ = 0;
    long long total_ = 0;
    QElapsedTimer clock_;
    qint64 lastShown_ = -1;
};
