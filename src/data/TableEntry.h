#pragma once

#include <QString>

// A table as a list shows it: its name, and for a Paradox table the file it was found in.
struct TableEntry {
    QString name;
    QString file;
};
