#include "SybaseModule.h"

#include "TargetDialect.h"
#include "ado/Connection.h"
#include "ado/ConnectionString.h"
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

void ListSybaseTables(const QString& dataSourceName,
                      const std::function<void(const QString&)>& found) {
    ado::Connection connection;
    connection.Open(DsnConnectionString(dataSourceName));
    std::unique_ptr<ado::RecordSet> tables = connection.OpenSchema(ado::Connection::adSchemaTables);
    while (!tables->Eof()) {
        if (QString::fromStdString(tables->Fields(QStringLiteral("TABLE_TYPE")).Value().toText()) ==
            QStringLiteral("TABLE")) {
            LetEventsRun();
            const QString name = QString::fromStdString(
                tables->Fields(QStringLiteral("TABLE_NAME")).Value().toText());
            if (!name.toUpper().contains(QStringLiteral("SYS")))
                found(name);
        }
        tables->MoveNext();
    }
    tables->Close();
    connection.Close();
}

void ListReachableTables(const QString& dataSourceName,
                         const std::function<void(const QString&)>& found) {
    using namespace TargetDialect;
    ado::Connection connection;
    connection.Open(DsnConnectionString(dataSourceName));
    const ado::DataSourceInfo info = connection.Info();
    const QString schema = defaultSchema(connection, info);
    std::unique_ptr<ado::RecordSet> tables = connection.OpenSchema(ado::Connection::adSchemaTables);
    while (!tables->Eof()) {
        const auto field = [&](const char* name) {
            return QString::fromStdString(
                tables->Fields(QString::fromLatin1(name)).Value().toText());
        };
        if (field("TABLE_TYPE") == QStringLiteral("TABLE") &&
            (schema.isEmpty() || sameSchema(field("TABLE_SCHEM"), schema, dbmsOf(info.dbmsName))))
            found(field("TABLE_NAME"));
        tables->MoveNext();
    }
    tables->Close();
    connection.Close();
}

}  // namespace Sybase
