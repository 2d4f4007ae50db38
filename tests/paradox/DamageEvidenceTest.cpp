// Real tables with the damage found in the wild: the strict reading refuses each one, naming the
// damage, and the salvage reading brings only rows the table holds, each once, with every loss
// counted.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "fixture/ParadoxWriter.h"
#include "paradox/FormatError.h"
#include "paradox/Table.h"
#include "support/TempDir.h"

using px::FieldType;
using px::Value;

namespace {

const std::string kCorpus = MORVANE_CORPUS;

// Copies a corpus table and its blob file into `dir`; the path of its copy.
std::string copyOfCorpus(const TempDir& dir, const std::string& table) {
    const std::filesystem::path from = kCorpus + "/" + table;
    for (const char* companion : {".mb", ".MB"}) {
        std::filesystem::path blobs = from;
        blobs.replace_extension(companion);
        if (std::filesystem::exists(blobs))
            std::filesystem::copy_file(blobs, dir.file(blobs.filename().string()));
    }
    const std::string copy = dir.file(from.filename().string());
    std::filesystem::copy_file(from, copy);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    for (const auto& file : std::filesystem::directory_iterator(dir.path()))
        std::filesystem::permissions(
            file.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return copy;
}

// Each row as the items of its INSERT, in reading order.
std::vector<std::string> rowsOf(const std::string& path, px::Table::Reading reading,
                                px::SalvageReport* report = nullptr) {
    px::Table table(path, reading);
    std::vector<std::string> rows;
    std::vector<Value> row;
    while (table.next(row)) {
        std::string items;
        for (const Value& value : row)
            items += value.sqlItem() + ", ";
        rows.push_back(items);
    }
    EXPECT_EQ(rows.size(), table.rowCount());
    if (report)
        *report = table.salvaged();
    return rows;
}

// The strict reading's refusal of `path`, or "" when it reads to the end.
std::string refusal(const std::string& path) {
    try {
        rowsOf(path, px::Table::Reading::Strict);
    } catch (const px::FormatError& damage) {
        return damage.what();
    }
    return "";
}

void patchFile(const std::string& path, size_t at, const std::string& bytes) {
    std::string content = readWholeFile(path);
    content.replace(at, bytes.size(), bytes);
    writeWholeFile(path, content);
}

void putLe32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// What salvage brought is a part of the intact table, by key: no key it does not hold, none
// twice, and at most `changed` rows whose other values differ (those the damage reached into).
void expectOnlyTheTablesOwnRows(const std::vector<std::string>& salvaged,
                                const std::vector<std::string>& intact, int changed) {
    const auto keyOf = [](const std::string& row) { return row.substr(0, row.find(", ")); };
    std::map<std::string, std::string> byKey;
    for (const std::string& row : intact)
        byKey[keyOf(row)] = row;
    std::set<std::string> taken;
    for (const std::string& row : salvaged) {
        const auto own = byKey.find(keyOf(row));
        ASSERT_NE(own, byKey.end()) << "a row the table does not hold: " << row;
        EXPECT_TRUE(taken.insert(keyOf(row)).second) << "a key twice: " << row;
        changed -= own->second != row;
    }
    EXPECT_GE(changed, 0) << "more rows changed than the damage reached";
}

}  // namespace

// Random bytes or zeros written inside a keyed table's blocks: refused, never read as rows; the
// salvage reading keeps every row outside the damage, none invented, none twice.
TEST(DamageEvidence, GarbageOrZerosInsideABlockAreDamageNeverRows) {
    TempDir intactDir;
    const std::vector<std::string> intact =
        rowsOf(copyOfCorpus(intactDir, "db/ORDERS.DB"), px::Table::Reading::Strict);
    std::mt19937 random(36);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        TempDir dir;
        const std::string path = copyOfCorpus(dir, "db/ORDERS.DB");
        std::string damage(300, '\0');
        if (round % 3 != 0)
            for (char& byte : damage)
                byte = static_cast<char>(random());
        patchFile(path, 9000 + 97 * static_cast<size_t>(round), damage);
        const std::string refused = refusal(path);
        EXPECT_NE(refused.find("ORDERS.DB "), std::string::npos) << refused;
        px::SalvageReport report;
        const std::vector<std::string> salvaged =
            rowsOf(path, px::Table::Reading::Salvage, &report);
        expectOnlyTheTablesOwnRows(salvaged, intact, 2);
        // 300 bytes touch at most 6 records of 71 bytes.
        EXPECT_GE(salvaged.size(), intact.size() - 6);
        EXPECT_FALSE(report.nothingLost()) << report.describe();
        EXPECT_EQ(report.describe().rfind(std::to_string(salvaged.size()) + " of 224 rows; ", 0),
                  0u)
            << report.describe();
    }
}

// A value its type cannot hold is damage: named with its row, block and field. Salvage keeps a
// keyed row whose key vouches for it, the value as NULL and counted; without a key the record is
// no row.
TEST(DamageEvidence, AValueItsTypeCannotHoldIsDamage) {
    struct Case {
        const char* field;
        size_t offset;  // in the record
        std::string bytes;
        const char* fault;
    };
    const std::vector<Case> cases = {
        {"Flag", 4, "\x42", "holds a byte that is neither true, false nor blank"},
        {"Day", 5, std::string("\x7f\xff\xff\xff", 4), "holds no date between 1 January 100"},
        {"Day", 5, std::string("\x80\x00\x00\x01", 4), "holds no date between 1 January 100"},
        {"At", 9, std::string("\x85\x26\x5c\x00", 4), "holds no time of day"},
        {"Amount", 13, std::string("\xff\xf0\0\0\0\0\0\0", 8), "holds no number"},
        {"Stamp", 21, std::string("\xc4\x00\0\0\0\0\0\0", 8), "holds no timestamp"},
    };
    for (const bool keyed : {true, false}) {
        for (const Case& damage : cases) {
            SCOPED_TRACE(std::string(damage.field) + (keyed ? " keyed" : ""));
            TempDir dir;
            const std::string path = dir.file("values.db");
            pxfixture::TableLayout layout{12,
                                          1,
                                          1252,
                                          {{"Id", FieldType::Long, 4, 0},
                                           {"Flag", FieldType::Logical, 1, 0},
                                           {"Day", FieldType::Date, 4, 0},
                                           {"At", FieldType::Time, 4, 0},
                                           {"Amount", FieldType::Number, 8, 0},
                                           {"Stamp", FieldType::Timestamp, 8, 0}}};
            layout.keyFields = keyed ? 1 : 0;
            std::vector<std::vector<Value>> rows;
            for (int i = 1; i <= 3; ++i)
                rows.push_back({Value::integer(i), Value::boolean(true), Value::date(730000 + i),
                                Value::time(i * 1000), Value::real(i / 4.0),
                                Value::timestamp(730000, i)});
            pxfixture::writeTable(path, layout, rows);
            patchFile(path, 0x800 + 6 + 29 + damage.offset, damage.bytes);
            const std::string refused = refusal(path);
            EXPECT_NE(refused.find("is damaged at row 2 (record 2 of data block 1): its field " +
                                   std::string(damage.field) + " " + damage.fault),
                      std::string::npos)
                << refused;
            px::SalvageReport report;
            const std::vector<std::string> salvaged =
                rowsOf(path, px::Table::Reading::Salvage, &report);
            if (keyed) {
                ASSERT_EQ(salvaged.size(), 3u);
                EXPECT_EQ(report.valuesLost.at(damage.field), 1u);
                EXPECT_EQ(report.describe(), std::string("all 3 rows; 1 value of ") + damage.field +
                                                 " could not be read");
            } else {
                EXPECT_EQ(salvaged.size(), 2u);
                EXPECT_EQ(report.describe(), "2 of 3 rows; 1 row in block 1 could not be read");
            }
            EXPECT_NE(report.damage.find(damage.fault), std::string::npos) << report.damage;
        }
    }
}

// A keyed table holds each key once, in order along its chain; a blank key once. Text keys are
// ordered byte by byte only under the ascii sort order.
TEST(DamageEvidence, KeysOutOfOrderOrTakenTwiceAreDamage) {
    const auto write = [](const std::string& path, const std::vector<int>& keys) {
        pxfixture::TableLayout layout{
            12, 1, 1252, {{"N", FieldType::Long, 4, 0}, {"T", FieldType::Alpha, 10, 0}}};
        layout.keyFields = 1;
        std::vector<std::vector<Value>> rows;
        for (int key : keys)
            rows.push_back({key < 0 ? Value() : Value::integer(key),
                            Value::text("row " + std::to_string(key))});
        pxfixture::writeTable(path, layout, rows);
    };
    TempDir dir;
    const std::string path = dir.file("keys.db");
    write(path, {-1, 1, 2, 3, 4});
    EXPECT_EQ(refusal(path), "") << "a blank key alone is a key";
    write(path, {1, 2, 4, 3, 5});
    EXPECT_NE(refusal(path).find("is damaged at row 4 (record 4 of data block 1): its key N "
                                 "comes before the key of the row before it"),
              std::string::npos)
        << refusal(path);
    px::SalvageReport report;
    EXPECT_EQ(rowsOf(path, px::Table::Reading::Salvage, &report).size(), 4u);
    EXPECT_EQ(report.describe(), "4 of 5 rows; 1 row in block 1 could not be read");
    write(path, {-1, -1, 1, 2});
    EXPECT_NE(refusal(path).find("row 2 (record 2 of data block 1): its key N is the key of the "
                                 "row before it"),
              std::string::npos)
        << refusal(path);
    EXPECT_EQ(rowsOf(path, px::Table::Reading::Salvage).size(), 3u);

    // Text in a language's sort order: "apple" before "Banana", which bytes would not say.
    for (const char* sortOrder : {"ascii", "ANSIINTL"}) {
        pxfixture::TableLayout layout{12, 1, 1252, {{"Name", FieldType::Alpha, 10, 0}}};
        layout.keyFields = 1;
        layout.sortOrder = sortOrder;
        pxfixture::writeTable(path, layout,
                              {{Value::text("apple")},
                               {Value::text("Banana")},
                               {Value::text("cherry")},
                               {Value::text("cherry!")}});
        EXPECT_EQ(refusal(path).empty(), std::string(sortOrder) != "ascii") << refusal(path);
    }
}

// A blob file cut short: the strict reading refuses the table naming the blob file, never
// reads zeros for the missing part; salvage brings every row and counts each value it replaces.
TEST(DamageEvidence, ACutBlobFileIsDamageAndEveryReplacedValueIsCounted) {
    const std::vector<std::pair<std::string, std::string>> tables = {
        {"db/HERCULES.DB", "HERCULES.MB"},
        {"db/CUSTOMER.DB", "CUSTOMER.MB"},
        {"fields/memo.db", "memo.mb"},
        {"fields/ole.db", "ole.mb"},
        {"fields/fmemo.db", "fmemo.mb"},
        {"fields/graphic.db", "graphic.mb"},
        {"fields/graphic240.db", "graphic240.mb"}};
    for (const auto& [table, blobs] : tables) {
        SCOPED_TRACE(table);
        TempDir dir;
        const std::string path = copyOfCorpus(dir, table);
        const size_t rows = rowsOf(path, px::Table::Reading::Strict).size();
        const std::string blobPath = dir.file(blobs);
        std::filesystem::resize_file(blobPath, std::filesystem::file_size(blobPath) / 2);
        const std::string refused = refusal(path);
        EXPECT_NE(refused.find(": the value of its field "), std::string::npos) << refused;
        EXPECT_NE(refused.find("cannot be read: " + blobs + " "), std::string::npos) << refused;
        px::SalvageReport report;
        EXPECT_EQ(rowsOf(path, px::Table::Reading::Salvage, &report).size(), rows);
        uint64_t replaced = 0;
        for (const auto& [field, count] : report.valuesLost)
            replaced += count;
        for (const auto& [field, count] : report.memosCut)
            replaced += count;
        EXPECT_GT(replaced, 0u);
        EXPECT_FALSE(report.nothingLost());
        EXPECT_TRUE(report.damaged());
    }
}

// A block appended beside a whole chain (another table's, or a copy of the table's own), with
// the header's count raised to match: never read, named as not taken.
TEST(DamageEvidence, BlocksOutsideAWholeChainAreNamedNotTaken) {
    const std::vector<std::pair<std::string, std::string>> appended = {
        {"fields/long.db", "db/DECIMAL.DB"},
        {"fields/date5.db", "fields/date7.db"},
        {"db/ORDERS.DB", "db/ORDERS.DB"}};
    for (const auto& [table, other] : appended) {
        SCOPED_TRACE(table + " + " + other);
        TempDir dir, otherDir;
        const std::string path = copyOfCorpus(dir, table);
        const std::vector<std::string> intact = rowsOf(path, px::Table::Reading::Strict);
        std::string bytes = readWholeFile(path);
        const std::string foreign = readWholeFile(copyOfCorpus(otherDir, other));
        bytes += foreign.substr(0x800, 0x800);  // the other table's first data block
        putLe32(bytes, 0x06, static_cast<uint32_t>(intact.size() + 9));
        writeWholeFile(path, bytes);
        EXPECT_NE(refusal(path), "");
        px::SalvageReport report;
        EXPECT_EQ(rowsOf(path, px::Table::Reading::Salvage, &report), intact);
        ASSERT_EQ(report.blocksNotTaken.size(), 1u) << report.describe();
        EXPECT_EQ(report.blocksNotTaken[0].why,
                  "it lies outside the block chain, which holds together");
        EXPECT_FALSE(report.nothingLost());
    }
}

// A header marked as needing a rebuild is damage; salvage reads every row and says why it read.
TEST(DamageEvidence, AHeaderMarkedForRebuildIsDamage) {
    TempDir dir;
    const std::string path = copyOfCorpus(dir, "db/CUSTOMER.DB");
    const std::vector<std::string> intact = rowsOf(path, px::Table::Reading::Strict);
    patchFile(path, 0x14, "\x01");
    EXPECT_NE(refusal(path).find("is marked in its header as needing a rebuild"),
              std::string::npos);
    px::SalvageReport report;
    EXPECT_EQ(rowsOf(path, px::Table::Reading::Salvage, &report), intact);
    EXPECT_NE(report.damage.find("needing a rebuild"), std::string::npos);
    EXPECT_TRUE(report.damaged());
    EXPECT_TRUE(report.nothingLost());
}
