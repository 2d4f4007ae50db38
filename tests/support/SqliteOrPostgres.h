#pragma once

#include <gtest/gtest.h>

#include <QString>

#include <string>

#include "Databases.h"

// A test run on SQLite ("sqlite") and on PostgreSQL ("postgres"), each where it is installed;
// every newTarget() is a database of its own.
class SqliteOrPostgres : public ::testing::TestWithParam<std::string> {
  protected:
    QString newTarget() {
        return GetParam() == "sqlite" ? TestDatabases::newSqliteDsn()
                                      : TestDatabases::newPostgresDsn();
    }
    void SetUp() override {
        if (newTarget().isEmpty())
            GTEST_SKIP() << GetParam() << " is not installed";
    }
};
