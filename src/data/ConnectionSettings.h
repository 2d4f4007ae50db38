#pragma once

#include <QString>

// The current connection: what the connection screen's two boxes hold, used unchanged (no
// trimming) by every operation at the moment it runs.
struct ConnectionSettings {
    QString paradoxFolder;
    QString dataSourceName;
};
