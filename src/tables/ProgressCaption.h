#pragma once

#include <QString>

// The progress bar's text while a table's rows are copied: "ORDERS: 120,000 of 200,000 rows,
// about 4 s left". The time left is told once a second of copying gives a rate to go by.
QString progressCaption(const QString& table, long long done, long long rows,
                        long long elapsedMilliseconds);
