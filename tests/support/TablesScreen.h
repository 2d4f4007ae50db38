#pragma once

#include <QLineEdit>

#include <memory>

#include "TestRuntime.h"
#include "app/Shell.h"
#include "connect/Form1.h"
#include "fixture/ParadoxWriter.h"
#include "tables/Form2.h"
#include "ui/TableList.h"

// The two screens over a Paradox folder of the test's own and a fresh target data source.
struct TablesScreen {
    explicit TablesScreen(QString dsn);

    // Writes a table of the given fields and rows into the Paradox folder.
    void writeParadoxTable(const std::string& fileName, const std::vector<px::Field>& fields,
                           const std::vector<std::vector<px::Value>>& rows);
    // Rebuilds both lists, as "Next >" does.
    void reload() { form2().Form_Load(); }
    // Makes the named entries the selection, the first of them current.
    static void select(TableList& list, const QStringList& names);
    static QStringList entries(const TableList& list);
    QString folder() const { return QString::fromStdString(paradox.path()); }
    Form2& form2() { return shell->tablesScreen(); }

    TestRuntime test;
    TempDir paradox;
    QString dsn;
    std::unique_ptr<Shell> shell;
    Form1* form1 = nullptr;
};
