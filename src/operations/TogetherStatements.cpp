#include "TogetherStatements.h"

#include <exception>

#include "ado/Connection.h"

void runTogether(ado::Connection& target, const QStringList& statements) {
    if (statements.isEmpty())
        return;
    if (statements.size() == 1)
        return target.Execute(statements.front());
    target.BeginTrans();
    try {
        for (const QString& statement : statements)
            target.Execute(statement);
        target.CommitTrans();
    } catch (...) {
        try {
            target.RollbackTrans();
        } catch (const std::exception&) {
        }
        throw;
    }
}
