// The validity checks of the corpus's tables, as their bytes say (read by hand from the files),
// the minimum and maximum no corpus file has, and files that cannot be read: named, never a
// crash or a guess.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fixture/ParadoxWriter.h"
#include "fixture/ValidityWriter.h"
#include "paradox/Table.h"
#include "paradox/ValidityFile.h"
#include "support/TempDir.h"

using px::FieldType;
using px::Value;

namespace {

// Each check of the table's validity file as one line.
std::vector<std::string> describe(const std::string& tablePath) {
    px::Table table(tablePath);
    const std::optional<std::string> file = px::validityFileOf(tablePath);
    if (!file)
        return {"no validity file"};
    const px::ValidityChecks checks = px::readValidityFile(*file, table);
    std::vector<std::string> lines;
    for (const px::FieldChecks& field : checks.fields) {
        std::string line = field.field + ":";
        if (field.required)
            line += " required";
        if (!field.minimum.isNull())
            line += " min " + field.minimum.toText();
        if (!field.maximum.isNull())
            line += " max " + field.maximum.toText();
        if (!field.defaultValue.isNull())
            line += " default " + field.defaultValue.toText();
        if (!field.picture.empty())
            line += " picture " + field.picture;
        if (!field.lookupTable.empty())
            line += " lookup " + field.lookupTable;
        lines.push_back(line);
    }
    for (const px::Relationship& related : checks.relationships) {
        std::string line = related.name + ":";
        for (const std::string& field : related.fields)
            line += " " + field;
        line += " -> " + related.parentTable;
        for (int number : related.parentFieldNumbers)
            line += " " + std::to_string(number);
        lines.push_back(line + (related.cascadesUpdates ? " cascade" : " restrict"));
    }
    return lines;
}

std::string corpus(const std::string& relative) {
    return std::string(MORVANE_CORPUS) + "/" + relative;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(ValidityFile, EachCorpusFileReadsAsItsBytesSay) {
    if (!std::filesystem::is_directory(MORVANE_CORPUS))
        GTEST_SKIP() << "no corpus";
    EXPECT_EQ(describe(corpus("joins/joinb.db")), Lines{"Id: lookup joina.db"});
    EXPECT_EQ(describe(corpus("joins/origin.db")), Lines{"FK: lookup destination.db"});
    EXPECT_EQ(describe(corpus("joins/C.DB")),
              (Lines{"C: required", "A: required", "Reference A: A -> A.db 1 cascade",
                     "Reference B: B -> B.db 1 cascade"}));
    EXPECT_EQ(describe(corpus("joins/fk1.db")), Lines{"reference: FK -> primary.db 1 cascade"});
    EXPECT_EQ(describe(corpus("joins/fk2.db")), Lines{"reference: FK -> primary.db 1 restrict"});
    EXPECT_EQ(describe(corpus("joins/fk3.db")), Lines{"reference: FK2 -> primary.db 1 restrict"});
    EXPECT_EQ(describe(corpus("joins/fk4.db")), Lines{"reference: FK1 FK -> two.db 1 2 cascade"});
    EXPECT_EQ(describe(corpus("joins/to_multiple.db")),
              Lines{"to_multiple: FK -> multiple.DB 1 cascade"});
    EXPECT_EQ(describe(corpus("joins/multiple.db")),
              (Lines{"FK: required", "A: picture [(*3{#}) ]*3{#}-*4{#}",
                     "fk2: FK2 -> primary.db 1 cascade",
                     "fk_multiple_primary: FK -> primary.db 1 cascade"}));
    EXPECT_EQ(describe(corpus("joins/paradox-ascii.db")), Lines{"A: required"});
    // A parent's own file lists its children, which the children's files say already.
    EXPECT_TRUE(describe(corpus("joins/primary.db")).empty());
    EXPECT_TRUE(describe(corpus("joins/two.db")).empty());
    EXPECT_EQ(describe(corpus("db/AREACODE.DB")),
              (Lines{"Area Code: picture ###", "State: picture &&"}));
    EXPECT_EQ(describe(corpus("fields/logical.db")), Lines{"BOOL: required default True"});
    EXPECT_EQ(describe(corpus("joins/joina.db")), Lines{"no validity file"});
}

// Values are stored as the table stores its rows: a negative minimum, a text default.
TEST(ValidityFile, MinimumMaximumAndDefaultKeepTheirTypes) {
    TempDir folder;
    const std::vector<px::Field> fields = {{"ID", FieldType::Long, 4, 0},
                                           {"PRICE", FieldType::Number, 8, 0},
                                           {"CODE", FieldType::Alpha, 10, 0}};
    pxfixture::TableLayout layout;
    layout.fields = fields;
    pxfixture::writeTable(folder.file("T.DB"), layout, {});
    px::ValidityChecks checks;
    checks.fields.push_back({"ID", true, Value::integer(-5), Value::integer(1000000), {}, {}, {}});
    checks.fields.push_back({"PRICE", false, Value::real(0.25), {}, Value::real(9.5), {}, {}});
    checks.fields.push_back({"CODE", false, {}, {}, Value::text("AB-1"), "&&-#", {}});
    pxfixture::writeValidityFile(folder.file("t.val"), fields, checks);
    EXPECT_EQ(describe(folder.file("T.DB")),
              (Lines{"ID: required min -5 max 1000000", "PRICE: min 0.25 default 9.5",
                     "CODE: default AB-1 picture &&-#"}));
}

// Every cut of a real file, and a file of another version, is a named fault.
TEST(ValidityFile, ACutOrUnknownFileIsNamedNeverGuessed) {
    if (!std::filesystem::is_directory(MORVANE_CORPUS))
        GTEST_SKIP() << "no corpus";
    TempDir folder;
    for (const char* name : {"C.DB", "C.PX"})
        std::filesystem::copy_file(corpus(std::string("joins/") + name), folder.file(name));
    std::ifstream in(corpus("joins/C.VAL"), std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), {});
    px::Table table(folder.file("C.DB"));
    for (size_t size = 0; size < whole.size(); ++size) {
        std::ofstream(folder.file("C.VAL"), std::ios::binary | std::ios::trunc)
            << whole.substr(0, size);
        EXPECT_THROW(px::readValidityFile(folder.file("C.VAL"), table), px::FormatError) << size;
    }
    std::string later = whole;
    later[1] = 0x0C;
    std::ofstream(folder.file("C.VAL"), std::ios::binary | std::ios::trunc) << later;
    try {
        px::readValidityFile(folder.file("C.VAL"), table);
        ADD_FAILURE() << "a version 0x0C file was read";
    } catch (const px::UnknownValidityVersion& failure) {
        EXPECT_NE(std::string(failure.what()).find("(0x0C) not known here"), std::string::npos);
    }
}
