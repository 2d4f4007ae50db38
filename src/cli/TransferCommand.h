#pragma once

#include <QStringList>

// morvane-transfer: the tables of a Paradox folder copied into a data source from the command
// line, through the same transfer as the tables screen. Returns the exit status.
int runTransferCommand(const QStringList& arguments);
