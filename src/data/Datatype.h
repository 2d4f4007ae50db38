#pragma once

#include <QString>

// The mapping of a source column's ADO type code to its target column type.
namespace Datatype {

// The name of an ADO DataTypeEnum code ("adInteger"), or "" for a code it does not know.
QString DataTypeName(int code);
// "TEXT", "NUMERIC" or "TEXt", from the first fragment of an ordered list that the lower-cased
// type name holds; "TEXT" when none does.
QString TargetTypeWord(const QString& typeName);
// A double-quoted column name, a blank, the target type word and a comma.
QString ColumnDefinition(const QString& columnName, int code);
// A name between double quotes, with every double quote inside it doubled.
QString QuotedName(const QString& name);

}  // namespace Datatype
