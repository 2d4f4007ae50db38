#include "ProgressCaption.h"

#include <QLocale>

namespace {

constexpr long long kEstimateAfter = 1000;  // milliseconds of copying before a time is told

QString timeLeft(long long milliseconds) {
    const long long seconds = (milliseconds + 999) / 1000;
    if (seconds < 120)
        return QStringLiteral("about %1 s left").arg(seconds);
    return QStringLiteral("about %1 min left").arg((seconds + 59) / 60);
}

}  // namespace

QString progressCaption(const QString& table, long long done, long long rows,
                        long long elapsedMilliseconds) {
    const QLocale numbers(QLocale::English, QLocale::UnitedStates);  // "200,000"
    QString caption = table + QStringLiteral(": ") + numbers.toString(done) +
                      QStringLiteral(" of ") + numbers.toString(rows) +
                      QString::fromLatin1(rows == 1 ? " row" : " rows");
    if (done > 0 && done < rows && elapsedMilliseconds >= kEstimateAfter)
        caption += QStringLiteral(", ") +
                   timeLeft(static_cast<long long>(double(elapsedMilliseconds) *
                                                   double(rows - done) / double(done)));
    return caption;
}
