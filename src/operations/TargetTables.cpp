#include "TargetTables.h"

#include "CopyRecords.h"
#include "ado/Connection.h"
#include "data/Datatype.h"
#include "data/SybaseModule.h"
#include "data/products/TargetProduct.h"
#include "runtime/ErrorTrap.h"

TargetTables::TargetTables(ErrorTrap& trap)
    : trap_(trap), connection_(std::make_unique<ado::Connection>()) {}

TargetTables::~TargetTables() = default;

bool TargetTables::open(const ConnectionSettings& connection) {
    return trap_.step(104, [&] {
        connection_->Open(Sybase::DsnConnectionString(connection.dataSourceName));
        product_ = TargetProduct::of(*connection_);
    });
}

bool TargetTables::drop(const QString& name) {
    const bool dropped = trap_.step(112, [&] {
        connection_->Execute(QStringLiteral("DROP TABLE ") + Datatype::QuotedName(name));
    });
    if (dropped)
        CopyRecords(*connection_, *product_).forget(name);
    return dropped;
}

bool TargetTables::rename(const QString& oldName, const QString& newName) {
    const bool renamed = trap_.step(120, [&] {
        // In the product's own grammar: SQL Anywhere renames a table without "TO".
        connection_->Execute(product_->renameStatement(oldName, newName) + QLatin1Char(';'));
    });
    if (renamed)
        CopyRecords(*connection_, *product_).forget(oldName);
    return renamed;
}
