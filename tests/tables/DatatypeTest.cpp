#include <gtest/gtest.h>

#include "data/Datatype.h"

using namespace Datatype;

TEST(Datatype, EveryKnownCodeAndItsTargetType) {
    const std::vector<std::tuple<int, const char*, const char*>> table = {
        {0, "adEmpty", "TEXT"},
        {2, "adSmallInt", "NUMERIC"},
        {3, "adInteger", "NUMERIC"},
        {4, "adSingle", "NUMERIC"},
        {5, "adDouble", "NUMERIC"},
        {6, "adCurrency", "TEXT"},
        {7, "adDate", "TEXT"},
        {8, "adBSTR", "TEXT"},
        {9, "adIDispatch", "TEXT"},
        {10, "adError", "TEXT"},
        {11, "adBoolean", "TEXT"},
        {12, "adVariant", "TEXT"},
        {13, "adIUnknown", "TEXT"},
        {14, "adDecimal", "NUMERIC"},
        {16, "adTinyInt", "NUMERIC"},
        {17, "adUnsignedTinyInt", "NUMERIC"},
        {18, "adUnsignedSmallInt", "NUMERIC"},
        {19, "adUnsignedInt", "NUMERIC"},
        {20, "adBigInt", "NUMERIC"},
        {21, "adUnsignedBigInt", "NUMERIC"},
        {64, "adFileTime", "TEXT"},
        {72, "adGUID", "TEXT"},
        {128, "adBinary", "TEXT"},
        {129, "adChar", "TEXT"},
        {130, "adWChar", "TEXT"},
        {131, "adNumeric", "NUMERIC"},
        {132, "adUserDefined", "TEXT"},
        {133, "adDBDate", "TEXT"},
        {134, "adDBTime", "TEXT"},
        {135, "adDBTimeStamp", "TEXt"},
        {136, "adChapter", "TEXT"},
        {138, "adPropVariant", "TEXT"},
        {139, "adVarNumeric", "NUMERIC"},
        {200, "adVarChar", "TEXT"},
        {201, "adLongVarChar", "TEXT"},
        {202, "adVarWChar", "TEXT"},
        {203, "adLongVarWChar", "TEXT"},
        {204, "adVarBinary", "TEXT"},
        {205, "adLongVarBinary", "TEXT"},
    };
    EXPECT_EQ(table.size(), 39u);
    for (const auto& [code, name, word] : table) {
        EXPECT_EQ(DataTypeName(code), name) << code;
        EXPECT_EQ(TargetTypeWord(DataTypeName(code)), word) << code;
    }
    for (int unknown : {1, 15, 137, 206, -1, 999})
        EXPECT_EQ(DataTypeName(unknown), "") << unknown;
    EXPECT_EQ(TargetTypeWord(""), "TEXT");
}

TEST(Datatype, ColumnDefinitionsAndQuotedNames) {
    EXPECT_EQ(ColumnDefinition("Stamp", 135), "\"Stamp\" TEXt,");
    EXPECT_EQ(ColumnDefinition("Notes", 201), "\"Notes\" TEXT,");
    EXPECT_EQ(ColumnDefinition("Order No", 3), "\"Order No\" NUMERIC,");
    EXPECT_EQ(ColumnDefinition("x", 15), "\"x\" TEXT,");
    EXPECT_EQ(ColumnDefinition("say \"hi\"", 6), "\"say \"\"hi\"\"\" TEXT,");
    EXPECT_EQ(QuotedName("plain"), "\"plain\"");
    EXPECT_EQ(QuotedName("\""), "\"\"\"\"");
}
