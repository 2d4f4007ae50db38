// The secondary indexes of the corpus's tables, read from their headers: single-field .Xnn files
// named after their field, named .XGn files with several fields, a descending one, and files
// that cannot be read named without losing the others.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fixture/IndexHeaderWriter.h"
#include "paradox/FormatError.h"
#include "paradox/SecondaryIndex.h"
#include "paradox/Table.h"
#include "support/TempDir.h"

namespace {

// Each index of the corpus table as "name: FIELD FIELD DESC ...".
std::vector<std::string> indexesOf(const std::string& relative) {
    const std::string path = std::string(MORVANE_CORPUS) + "/" + relative;
    const px::Table table(path);
    std::vector<std::string> problems, described;
    for (const px::SecondaryIndex& index :
         px::secondaryIndexesOf(path, table.keyFieldCount(), problems)) {
        std::string line = index.name + ":";
        for (const px::SecondaryIndex::Key& key : index.keys)
            line += " " + key.field + (key.descending ? " DESC" : "");
        described.push_back(line + (index.unique ? " unique" : "") +
                            (index.caseInsensitive ? " ignoring case" : ""));
    }
    EXPECT_TRUE(problems.empty()) << problems.front();
    return described;
}

}  // namespace

TEST(SecondaryIndex, EachCorpusIndexNamesItsFieldsInOrder) {
    if (!std::filesystem::is_directory(MORVANE_CORPUS))
        GTEST_SKIP() << "no corpus";
    EXPECT_EQ(indexesOf("joins/C.DB"), (std::vector<std::string>{"A: A", "B: B"}));
    EXPECT_EQ(indexesOf("joins/fk4.db"), std::vector<std::string>{"reference: FK1 FK"});
    EXPECT_EQ(indexesOf("joins/indexed.db"),
              std::vector<std::string>{"Descending: Indexed DESC ignoring case"});
    EXPECT_EQ(indexesOf("joins/case.db"), std::vector<std::string>{"C: C"});
    EXPECT_EQ(indexesOf("joins/multiple.db"), (std::vector<std::string>{"FK: FK", "FK2: FK2"}));
    EXPECT_EQ(indexesOf("db/AREACODES.DB"), std::vector<std::string>{"ste: State ignoring case"});
    EXPECT_EQ(indexesOf("db/CUSTOMER.DB"), std::vector<std::string>{"City: City"});
    EXPECT_TRUE(indexesOf("db/ORDERS.DB").empty());
}

// A damaged index file is named with its fault; the table's other indexes are still read, one
// without its .Ynn too, which is named.
TEST(SecondaryIndex, ADamagedIndexFileIsNamedAndTheOthersStillRead) {
    if (!std::filesystem::is_directory(MORVANE_CORPUS))
        GTEST_SKIP() << "no corpus";
    TempDir folder;
    const std::string joins = std::string(MORVANE_CORPUS) + "/joins/";
    for (const char* name : {"C.DB", "C.PX", "C.X02", "C.X03", "C.Y03"})
        std::filesystem::copy_file(joins + name, folder.file(name));
    std::filesystem::permissions(folder.file("C.X03"), std::filesystem::perms::owner_all);
    std::filesystem::resize_file(folder.file("C.X03"), 200);
    std::ofstream(folder.file("C.XG1")) << "no index at all";
    const px::Table table(folder.file("C.DB"));
    std::vector<std::string> problems;
    const auto indexes =
        px::secondaryIndexesOf(folder.file("C.DB"), table.keyFieldCount(), problems);
    ASSERT_EQ(indexes.size(), 1u);
    EXPECT_EQ(indexes[0].file, "C.X02");
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0],
              "C.X02: its companion C.Y02 is missing; the index is made from its own "
              "header");
    EXPECT_EQ(problems[1].rfind("C.X03: The Paradox table file ", 0), 0u) << problems[1];
    EXPECT_EQ(problems[2].rfind("C.XG1: ", 0), 0u) << problems[2];
}

// The header the benchmarks and tests write reads back as the index it describes.
TEST(SecondaryIndex, AWrittenHeaderReadsBackAsItsIndex) {
    TempDir folder;
    const std::vector<px::Field> fields = {{"ID", px::FieldType::Long, 4, 0},
                                           {"NAME", px::FieldType::Alpha, 30, 0},
                                           {"CITY", px::FieldType::Alpha, 20, 0}};
    pxfixture::writeSecondaryIndexHeader(folder.file("T.X02"), fields, {3, 2}, 1);
    const px::SecondaryIndex index = px::readSecondaryIndex(folder.file("T.X02"), 1);
    EXPECT_EQ(index.name, "CITY");
    ASSERT_EQ(index.keys.size(), 2u);
    EXPECT_EQ(index.keys[0].field, "CITY");
    EXPECT_EQ(index.keys[1].field, "NAME");
}
