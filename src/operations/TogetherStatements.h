#pragma once

#include <QStringList>

namespace ado {
class Connection;
}

// Runs `statements` so that they take effect together or not at all, as far as the target's
// transactions reach; one statement runs alone.
void runTogether(ado::Connection& target, const QStringList& statements);
