#include "SybaseModule.h"

#include "ado/Connection.h"
#include "ado/ConnectionString.h"
#include "products/TargetProduct.h"
#include "runtime/EventPump.h"

namespace Sybase {

QString DsnConnectionString(const QString& dataSourceName) {
    return QStringLiteral("Data Source=") + ado::ConnectionString::quoted(dataSourceName);
}

bool TestDataSource(const QString& dataSourceName) {
    try {
        ado::Connection connection;
        connection.Open(DsnConnectionString(dataSourceName));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void ListReachableTables(ado::Connection& connection, TargetProduct& product,
                         const std::function<void(const QString&)>& found, const QString& schema) {
    // A schema not made yet holds no tables.
    if (!schema.isEmpty()) {
        if (!product.hasSchemas() || !product.schemaExists(connection, schema))
            return;
        product.useSchema(connection, schema);
    }
    std::unique_ptr<ado::RecordSet> tables = connection.OpenSchema(ado::Connection::adSchemaTables);
    while (!tables->Eof()) {
        LetEventsRun();
        const auto field = [&](const char* name) {
            return QString::fromStdString(
                tables->Fields(QString::fromLatin1(name)).Value().toText());
        };
        if (field("TABLE_TYPE") == QStringLiteral("TABLE") &&
            product.reaches(field("TABLE_CAT"), field("TABLE_SCHEM")))
            found(field("TABLE_NAME"));
        tables->MoveNext();
    }
    tables->Close();
}

void ListSybaseTables(const QString& dataSourceName,
                      const std::function<void(const QString&)>& found) {
    ado::Connection connection;
    connection.Open(DsnConnectionString(dataSourceName));
    const std::unique_ptr<TargetProduct> product = TargetProduct::of(connection);
    ListReachableTables(connection, *product, [&](const QString& name) {
        if (!name.toUpper().contains(QStringLiteral("SYS")))
            found(name);
    });
    connection.Close();
}

}  // namespace Sybase
