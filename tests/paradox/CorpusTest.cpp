// Every real table of the shared corpus must read to exactly what an independent reader found.
#include <gtest/gtest.h>

#include <filesystem>

#include "paradox/Table.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// The type names the independent reader writes in its expected files.
std::string corpusTypeName(px::FieldType type) {
    switch (type) {
        case px::FieldType::Alpha:
            return "VARCHAR";
        case px::FieldType::Date:
            return "DATE";
        case px::FieldType::Short:
            return "INTEGER";
        case px::FieldType::Long:
            return "LONG";
        case px::FieldType::Money:
            return "CURRENCY";
        case px::FieldType::Number:
            return "NUMBER";
        case px::FieldType::Logical:
            return "BOOLEAN";
        case px::FieldType::Memo:
            return "MEMO";
        case px::FieldType::Blob:
            return "BLOB";
        case px::FieldType::FormattedMemo:
            return "FORMATTED_MEMO";
        case px::FieldType::Ole:
            return "OLE";
        case px::FieldType::Graphic:
            return "GRAPHIC";
        case px::FieldType::Time:
            return "TIME";
        case px::FieldType::Timestamp:
            return "TIMESTAMP";
        case px::FieldType::AutoIncrement:
            return "AUTO_INCREMENT";
        case px::FieldType::Bcd:
            return "BCD";
        case px::FieldType::Bytes:
            return "BYTES";
    }
    return "?";
}

std::string dumpInCorpusForm(const std::string& path) {
    px::Table table(path);
    std::string out = "#fields";
    for (const px::Field& field : table.fields())
        out += "\t" + field.name + ":" + corpusTypeName(field.type);
    out += '\n';
    std::vector<px::Value> row;
    uint64_t rows = 0;
    while (table.next(row)) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0)
                out += ", ";
            row[i].appendSqlItem(out);
        }
        out += '\n';
        ++rows;
    }
    EXPECT_EQ(rows, table.rowCount()) << path;
    return out;
}

std::vector<std::string> corpusTables() {
    std::vector<std::string> tables;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(MORVANE_CORPUS, error)) {
        if (entry.path().extension() != ".expected")
            continue;
        for (const char* ext : {".db", ".DB"}) {
            fs::path table = entry.path();
            table.replace_extension(ext);
            if (fs::exists(table)) {
                tables.push_back(table.string());
                break;
            }
        }
    }
    std::sort(tables.begin(), tables.end());
    return tables;
}

}  // namespace

TEST(Corpus, EveryTableReadsToItsExpectedValues) {
    const auto tables = corpusTables();
    if (tables.empty())
        GTEST_SKIP() << "no corpus at " << MORVANE_CORPUS;
    EXPECT_GE(tables.size(), 45u);
    for (const std::string& table : tables) {
        std::string expectedPath = fs::path(table).replace_extension(".expected").string();
        EXPECT_EQ(dumpInCorpusForm(table), readWholeFile(expectedPath)) << table;
    }
}

TEST(Corpus, FormattedMemoTableReadsWithoutError) {
    const std::string path = std::string(MORVANE_CORPUS) + "/fields/fmemo.db";
    if (!fs::exists(path))
        GTEST_SKIP();
    px::Table table(path);
    std::vector<px::Value> row;
    uint64_t rows = 0;
    while (table.next(row)) {
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(row[1].kind(), px::Value::Kind::Bytes);
        EXPECT_FALSE(row[1].raw().empty());
        ++rows;
    }
    EXPECT_GT(rows, 0u);
}

TEST(Corpus, EncryptedTablesAreRecognisedAndDecrypted) {
    const std::string path = std::string(MORVANE_CORPUS) + "/encrypt/encryptedmemo.db";
    if (!fs::exists(path))
        GTEST_SKIP();
    px::Table table(path);
    EXPECT_TRUE(table.isEncrypted());
    EXPECT_GT(table.rowCount(), 0u);
}
