#pragma once

#include <map>

#include "TargetProduct.h"

// A product the program does not know by name: its types are the first its driver lists for
// each kind of field (SQLGetTypeInfo), whether a rollback takes back a new table is what the
// driver says (SQL_TXN_CAPABLE), and an AutoInc field is a plain integer without a counter.
class GenericOdbc : public TargetProduct {
  public:
    // The driver's own name and whether it takes a length or precision, by ODBC SQL data type.
    struct TypeName {
        QString name;
        bool takesLength = false;
    };
    using TypeNames = std::map<int, TypeName>;

    GenericOdbc(ado::DataSourceInfo info, TypeNames typeNames)
        : TargetProduct(std::move(info)), typeNames_(std::move(typeNames)) {}

    static TypeNames typeNamesOf(ado::Connection& connection);

    QString typedColumnType(const px::Field& field, bool blankCounter) const override;
    QString typedNotice() const override;
    // What its driver says it cannot do (SQL_ALTER_TABLE, SQL_DDL_INDEX) is left out; a column
    // is made required by no statement every product takes.
    QString leftOut() const override;
    std::vector<DefinitionStep> definitionSteps(const TableDefinition& definition) const override;
    std::vector<DefinitionStep> foreignKeySteps(const TableDefinition& definition) const override;

  private:
    bool setsDefaults() const;
    bool addsConstraints() const;
    TypeNames typeNames_;
};
