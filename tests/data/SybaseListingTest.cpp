// The listing of the target database's tables, against SQLite and PostgreSQL.
#include <gtest/gtest.h>

#include "ado/Connection.h"
#include "data/SybaseModule.h"
#include "support/Databases.h"

#include <QStringList>

namespace {

// The names the listing hands out, in the list's order.
QStringList listed(const QString& dsn) {
    QStringList names;
    Sybase::ListSybaseTables(dsn, [&](const QString& name) { names << name; });
    names.sort(Qt::CaseInsensitive);
    return names;
}

void createTables(const QString& dsn) {
    ado::Connection connection;
    connection.Open("Data Source=" + dsn);
    for (const char* sql :
         {R"(CREATE TABLE "orders"("a" TEXT);)", R"(CREATE TABLE "Customers"("a" TEXT);)",
          R"(CREATE TABLE "log_sys"("a" TEXT);)", R"(CREATE TABLE "MySystem"("a" TEXT);)",
          R"(CREATE TABLE "Zebra ""quoted"""("a" TEXT);)",
          R"(CREATE VIEW "AllOrders" AS SELECT * FROM "orders")"})
        connection.Execute(sql);
}

}  // namespace

class SybaseListing : public ::testing::TestWithParam<const char*> {
  protected:
    QString dsn() const {
        return GetParam() == std::string("sqlite") ? TestDatabases::newSqliteDsn()
                                                   : TestDatabases::newPostgresDsn();
    }
};

TEST_P(SybaseListing, UserTablesInStoredCaseWithoutViewsOrSysNames) {
    const QString name = dsn();
    if (name.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    EXPECT_TRUE(listed(name).isEmpty());
    createTables(name);
    EXPECT_EQ(listed(name), (QStringList{"Customers", "orders", "Zebra \"quoted\""}));
}

INSTANTIATE_TEST_SUITE_P(Databases, SybaseListing, ::testing::Values("sqlite", "postgres"));

TEST(SybaseListingFailure, ADataSourceThatCannotBeOpenedHandsOutNothing) {
    QStringList names;
    EXPECT_THROW(
        Sybase::ListSybaseTables("NoSuchDsnAnywhere", [&](const QString& name) { names << name; }),
        std::exception);
    EXPECT_TRUE(names.isEmpty());
}
