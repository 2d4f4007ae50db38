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

namespace {

// Each user table of the data source that an unqualified name reaches.
std::unique_ptr<TargetProduct> listReached(const QString& dataSourceName,
                                           const std::function<void(const QString&)>& found,
                                           const QString& schema = {}) {
    ado::Connection connection;
    connection.Open(DsnConnectionString(dataSourceName));
    std::unique_ptr<TargetProduct> product = TargetProduct::of(connection);
    // A schema not made yet holds no tables.
    if (!schema.isEmpty()) {
        if (!product->hasSchemas() || !product->schemaExists(connection, schema))
            return product;
        product->useSchema(connection, schema);
    }
    std::unique_ptr<ado::RecordSet> tables = connection.OpenSchema(ado::Connection::adSchemaTables);
    while (!tables->Eof()) {
        LetEventsRun();
        const auto field = [&](const char* name) {
            return QString::fromStdString(
                tables->Fields(QString::fromLatin1(name)).Value().toText());
        };
        if (field("TABLE_TYPE") == QStringLiteral("TABLE") &&
            product->reaches(field("TABLE_CAT"), field("TABLE_SCHEM")))
            found(field("TABLE_NAME"));
        tables->MoveNext();
    }
    tables->Close();
    connection.Close();
    return product;
}

}  // namespace

void ListSybaseTables(const QString& dataSourceName,
                      const std::function<void(const QString&)>& found) {
    listReached(dataSourceName, [&](const QString& name) {
        if (!name.toUpper().contains(QStringLiteral("SYS")))
            found(name);
    });
}

std::unique_ptr<TargetProduct> ListReachableTables(const QString& dataSourceName,
                                                   const std::function<void(const QString&)>& found,
                                                   const QString& schema) {
    return listReached(dataSourceName, found, schema);
}

}  // namespace Sybase
