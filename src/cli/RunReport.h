#pragma once

#include <QDateTime>
#include <QString>

struct TransferOptions;
class RunSummary;

// The JSON report of a run (--report FILE): its options, start, end and exit status, and for
// each table its name, source file, rows read and written, whether and how it was checked, the
// differences found (at most 100 examples) and its seconds. Written at the end of every run that
// got past its options, a failed or stopped one too.
namespace RunReport {

// The report of the run as it stands.
QByteArray render(const TransferOptions& options, const RunSummary& summary, const QDateTime& start,
                  int exitStatus);
// Writes the report; the reason when the file cannot be written, "" when it was.
QString write(const QString& file, const TransferOptions& options, const RunSummary& summary,
              const QDateTime& start, int exitStatus);

}  // namespace RunReport
