// Tables the project writes itself, for what the corpus lacks: extremes, blanks of every type,
// every file version, many blocks, both kinds of blob block.
#include <gtest/gtest.h>

#include "fixture/ParadoxWriter.h"
#include "paradox/Table.h"
#include "support/TempDir.h"

using px::Field;
using px::FieldType;
using px::Value;

namespace {

std::vector<Field> everyType() {
    return {
        {"Alpha", FieldType::Alpha, 20, 0},
        {"Date", FieldType::Date, 4, 0},
        {"Short", FieldType::Short, 2, 0},
        {"Long", FieldType::Long, 4, 0},
        {"Money", FieldType::Money, 8, 0},
        {"Number", FieldType::Number, 8, 0},
        {"Logical", FieldType::Logical, 1, 0},
        {"Memo", FieldType::Memo, 15, 0},
        {"Blob", FieldType::Blob, 10, 0},
        {"Time", FieldType::Time, 4, 0},
        {"Timestamp", FieldType::Timestamp, 8, 0},
        {"Auto", FieldType::AutoIncrement, 4, 0},
        {"Bcd", FieldType::Bcd, 17, 4},
        {"Bytes", FieldType::Bytes, 3, 0},
        {"Ole", FieldType::Ole, 10, 0},
    };
}

std::vector<std::vector<Value>> readAll(const std::string& path) {
    px::Table table(path);
    std::vector<std::vector<Value>> rows;
    std::vector<Value> row;
    while (table.next(row))
        rows.push_back(row);
    EXPECT_EQ(rows.size(), table.rowCount());
    return rows;
}

}  // namespace

TEST(RoundTrip, ExtremesAndBlanksOfEveryTypeInEveryVersion) {
    const std::string longMemo(5000, 'm');
    const std::vector<std::vector<Value>> rows = {
        {Value::text("O'Brien"), Value::date(px::dayNumberFromCivil(1850, 3, 1)),
         Value::integer(-32767), Value::integer(2147483647), Value::real(-1234.5678),
         Value::real(-0.001), Value::boolean(false), Value::text("short memo"),
         Value::bytes("tiny"), Value::time(45296007),
         Value::timestamp(px::dayNumberFromCivil(1899, 12, 31), 86399999), Value::integer(1),
         Value::decimal("-12345.6789"), Value::bytes("\x01\x02\x03"), Value::bytes("GIF89a")},
        {Value::text("zero"), Value::date(px::dayNumberFromCivil(100, 1, 1)), Value::integer(0),
         Value::integer(0), Value::real(0), Value::real(0), Value::boolean(true),
         Value::text(longMemo), Value::bytes(std::string(3000, '\xee')), Value::time(0),
         Value::timestamp(px::dayNumberFromCivil(2024, 2, 29), 1), Value::integer(2),
         Value::decimal("0"), Value::bytes(std::string("\xff\x00\x01", 3)),
         Value::bytes(std::string(9000, 'g'))},
        std::vector<Value>(15),  // every field blank
    };
    for (int version : {4, 9, 11, 12}) {
        TempDir dir;
        const std::string path = dir.file("every.db");
        pxfixture::writeTable(path, {version, 2, version >= 5 ? 1252 : 0, everyType()}, rows);
        const auto read = readAll(path);
        ASSERT_EQ(read.size(), rows.size()) << "version " << version;
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t f = 0; f < rows[r].size(); ++f)
                EXPECT_EQ(read[r][f].sqlItem(), rows[r][f].sqlItem())
                    << "version " << version << " row " << r << " field " << f;
    }
}

TEST(RoundTrip, EmptyTableHasNoRows) {
    TempDir dir;
    pxfixture::writeTable(dir.file("empty.db"), {12, 4, 1252, everyType()}, {});
    px::Table table(dir.file("empty.db"));
    EXPECT_EQ(table.rowCount(), 0u);
    EXPECT_EQ(table.fields().size(), 15u);
    std::vector<Value> row;
    EXPECT_FALSE(table.next(row));
}

TEST(RoundTrip, ManyBlocksKeepPhysicalOrderAndAnExactCount) {
    TempDir dir;
    const std::string path = dir.file("many.db");
    {
        pxfixture::ParadoxWriter writer(
            path, {12, 1, 1252, {{"N", FieldType::Long, 4, 0}, {"T", FieldType::Alpha, 40, 0}}});
        for (int i = 0; i < 5000; ++i)
            writer.addRow({Value::integer(i), Value::text("row " + std::to_string(i))});
    }
    px::Table table(path);
    EXPECT_EQ(table.rowCount(), 5000u);
    std::vector<Value> row;
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(table.next(row));
        ASSERT_EQ(row[0].asInteger(), i);
        ASSERT_EQ(row[1].raw(), "row " + std::to_string(i));
    }
    EXPECT_FALSE(table.next(row));
}

TEST(RoundTrip, TextIsDecodedFromTheTablesCodePage) {
    TempDir dir;
    const std::string path = dir.file("cp850.db");
    const std::vector<Field> fields = {{"Café", FieldType::Alpha, 30, 0}};
    pxfixture::writeTable(path, {11, 1, 850, fields}, {{Value::text("Zürich – ½ ñ")}});
    px::Table table(path);
    EXPECT_EQ(table.codePage().name(), "CP850");
    EXPECT_EQ(table.fields()[0].name, "Café");
    std::vector<Value> row;
    ASSERT_TRUE(table.next(row));
    // The en dash has no place in cp850; the writer transliterates it.
    EXPECT_EQ(row[0].raw(), "Zürich - ½ ñ");
}

TEST(RoundTrip, UnknownCodePageFallsBackToWindows1252) {
    TempDir dir;
    const std::string path = dir.file("cp936.db");
    pxfixture::writeTable(path, {11, 1, 1252, {{"A", FieldType::Alpha, 10, 0}}},
                          {{Value::text("é€")}});
    std::string bytes = readWholeFile(path);
    bytes[0x6A] = static_cast<char>(0xA8);  // 936, a double-byte page
    bytes[0x6B] = 0x03;
    writeWholeFile(path, bytes);
    px::Table table(path);
    EXPECT_EQ(table.codePage().name(), "CP1252");
    std::vector<Value> row;
    ASSERT_TRUE(table.next(row));
    EXPECT_EQ(row[0].raw(), "é€");
}

TEST(RoundTrip, AdoTypeCodesOfEveryFieldType) {
    const std::vector<std::pair<FieldType, int>> expected = {
        {FieldType::Alpha, 200},       {FieldType::Date, 133},
        {FieldType::Short, 2},         {FieldType::Long, 3},
        {FieldType::Money, 6},         {FieldType::Number, 5},
        {FieldType::Logical, 11},      {FieldType::Memo, 201},
        {FieldType::Blob, 205},        {FieldType::FormattedMemo, 205},
        {FieldType::Ole, 205},         {FieldType::Graphic, 205},
        {FieldType::Time, 134},        {FieldType::Timestamp, 135},
        {FieldType::AutoIncrement, 3}, {FieldType::Bcd, 131},
        {FieldType::Bytes, 128},
    };
    for (auto [type, code] : expected)
        EXPECT_EQ((Field{"x", type, 1, 0}.adoType()), code) << int(type);
}
