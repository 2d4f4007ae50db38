#include "Datatype.h"

#include <array>
#include <utility>

namespace Datatype {

QString DataTypeName(int code) {
    static const std::array<std::pair<int, const char*>, 39> kNames = {{
        {0, "adEmpty"},
        {2, "adSmallInt"},
        {3, "adInteger"},
        {4, "adSingle"},
        {5, "adDouble"},
        {6, "adCurrency"},
        {7, "adDate"},
        {8, "adBSTR"},
        {9, "adIDispatch"},
        {10, "adError"},
        {11, "adBoolean"},
        {12, "adVariant"},
        {13, "adIUnknown"},
        {14, "adDecimal"},
        {16, "adTinyInt"},
        {17, "adUnsignedTinyInt"},
        {18, "adUnsignedSmallInt"},
        {19, "adUnsignedInt"},
        {20, "adBigInt"},
        {21, "adUnsignedBigInt"},
        {64, "adFileTime"},
        {72, "adGUID"},
        {128, "adBinary"},
        {129, "adChar"},
        {130, "adWChar"},
        {131, "adNumeric"},
        {132, "adUserDefined"},
        {133, "adDBDate"},
        {134, "adDBTime"},
        {135, "adDBTimeStamp"},
        {136, "adChapter"},
        {138, "adPropVariant"},
        {139, "adVarNumeric"},
        {200, "adVarChar"},
        {201, "adLongVarChar"},
        {202, "adVarWChar"},
        {203, "adLongVarWChar"},
        {204, "adVarBinary"},
        {205, "adLongVarBinary"},
    }};
    for (const auto& [known, name] : kNames)
        if (known == code)
            return QString::fromLatin1(name);
    return {};
}

QString TargetTypeWord(const QString& typeName) {
    // The order decides: long text types are taken by "char" before "longvar" is tried.
    static const std::array<std::pair<const char*, const char*>, 10> kFragments = {{
        {"char", "TEXT"},
        {"decimal", "NUMERIC"},
        {"single", "NUMERIC"},
        {"int", "NUMERIC"},
        {"adlongvarbinary", "TEXT"},
        {"longvar", "TEXT"},
        {"numeric", "NUMERIC"},
        {"date", "TEXT"},
        {"timestamp", "TEXt"},
        {"double", "NUMERIC"},
    }};
    const QString lower = typeName.toLower();
    for (const auto& [fragment, word] : kFragments)
        if (lower.contains(QLatin1String(fragment)))
            return QString::fromLatin1(word);
    return QStringLiteral("TEXT");
}

QString QuotedName(const QString& name) {
    QString inner = name;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString ColumnDefinition(const QString& columnName, int code) {
    return QuotedName(columnName) + QLatin1Char(' ') + TargetTypeWord(DataTypeName(code)) +
           QLatin1Char(',');
}

}  // namespace Datatype
