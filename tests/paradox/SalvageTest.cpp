// The salvage reading of damaged tables: exactly the rows outside the damage arrive, each once,
// with their values, and the report names what was lost; an intact table reads as it always
// did.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "fixture/DamagedTable.h"
#include "fixture/ParadoxWriter.h"
#include "paradox/FormatError.h"
#include "paradox/Table.h"
#include "support/TempDir.h"

using px::FieldType;
using px::Value;

namespace {

using pxfixture::DamagedTable;
using Damage = DamagedTable::Damage;
constexpr unsigned kHeader = DamagedTable::kHeader;
constexpr unsigned kBlock = DamagedTable::kBlock;
constexpr int kPerBlock = DamagedTable::kPerBlock;
constexpr int kRows = 1000;

class Salvage : public ::testing::Test {
  protected:
    void SetUp() override { path_ = dir_.file("orders.db"); }

    size_t blockAt(unsigned number) const { return kHeader + (number - 1) * kBlock; }
    void patch16(size_t at, unsigned value) {
        bytes_[at] = static_cast<char>(value & 0xFF);
        bytes_[at + 1] = static_cast<char>(value >> 8);
    }
    void save() { writeWholeFile(path_, bytes_); }
    void write(Damage damage) {
        DamagedTable::write(path_, kRows, false, damage);
        bytes_ = readWholeFile(path_);
    }

    // The N of each row a salvage reading hands out, in order; its report in `report`.
    std::vector<int64_t> salvaged(px::SalvageReport& report, std::vector<std::string>* memos = {}) {
        px::Table table(path_, px::Table::Reading::Salvage);
        std::vector<int64_t> numbers;
        std::vector<Value> row;
        while (table.next(row)) {
            numbers.push_back(row[0].asInteger());
            if (memos)
                memos->push_back(row[2].isNull() ? "NULL" : row[2].toText());
        }
        EXPECT_EQ(numbers.size(), table.rowCount());
        report = table.salvaged();
        return numbers;
    }

    // N from `from` to `to`, but those of `without`.
    static std::vector<int64_t> numbers(int from, int to, std::pair<int, int> without = {-1, -1}) {
        std::vector<int64_t> all;
        for (int i = from; i < to; ++i)
            if (i < without.first || i >= without.second)
                all.push_back(i);
        return all;
    }

    TempDir dir_;
    std::string path_;
    std::string bytes_;
};

}  // namespace

// Intact, the salvage reading is the strict one, and names nothing.
TEST_F(Salvage, AnIntactTableReadsAsItAlwaysDid) {
    write(Damage::None);
    px::SalvageReport report;
    EXPECT_EQ(salvaged(report), numbers(0, kRows));
    EXPECT_FALSE(report.damaged());
    EXPECT_TRUE(report.nothingLost());
}

// A chain cut short, or one that points outside the file, is repaired from the blocks
// themselves: backward from the last block, then by position; every row arrives once, in order.
TEST_F(Salvage, ABrokenChainIsRepairedFromTheBlocksThemselves) {
    for (const Damage damage : {Damage::EndedChain, Damage::BrokenChain}) {
        write(damage);
        EXPECT_THROW(px::Table strict(path_), px::FormatError);
        px::SalvageReport report;
        EXPECT_EQ(salvaged(report), numbers(0, kRows));
        EXPECT_TRUE(report.damaged());
        EXPECT_TRUE(report.nothingLost()) << report.describe();
        EXPECT_EQ(report.describe(),
                  "all 1,000 rows; its chain broke after block 17 and was followed back from its "
                  "last block");
    }
}

// A block of garbage loses its rows only; the header's count tells how many the report misses.
TEST_F(Salvage, ABlockOfGarbageLosesItsRowsAndIsNamed) {
    write(Damage::GarbageBlock);
    px::SalvageReport report;
    EXPECT_EQ(salvaged(report), numbers(0, kRows, {16 * kPerBlock, 17 * kPerBlock}));
    ASSERT_EQ(report.lostBlocks.size(), 1u);
    EXPECT_EQ(report.lostBlocks[0].number, 17u);
    EXPECT_EQ(report.describe(),
              "987 of 1,000 rows; rows in block 17 could not be read; 13 rows "
              "the header counts were found nowhere; its chain broke after block 16; it was "
              "followed back from its last block to block 18; blocks outside it were read by "
              "position");
}

// Records that do not decode (a date past the year 9999, here) are left out of a damaged
// table's block, and counted on it.
TEST_F(Salvage, RecordsThatDoNotDecodeAreLeftOutAndCounted) {
    pxfixture::TableLayout layout{
        12, 1, 1252, {{"N", FieldType::Long, 4, 0}, {"D", FieldType::Date, 4, 0}}};
    pxfixture::ParadoxWriter writer(path_, layout);
    for (int i = 0; i < 300; ++i)
        writer.addRow({Value::integer(i), Value::date(730000 + i)});
    writer.finish();
    bytes_ = readWholeFile(path_);
    const size_t third = kHeader + 6 + 2 * 8 + 4;  // block 1, record 3, its date
    bytes_[third] = char(0xFF);
    patch16(blockAt(1), 9999);  // and a chain that points outside the file
    save();
    px::SalvageReport report;
    const std::vector<int64_t> read = salvaged(report);
    EXPECT_EQ(read.size(), 299u);
    EXPECT_EQ(std::count(read.begin(), read.end(), 2), 0);
    ASSERT_EQ(report.lostBlocks.size(), 1u);
    EXPECT_EQ(report.lostBlocks[0].number, 1u);
    EXPECT_EQ(report.lostBlocks[0].rows, 1);
}

// A file cut inside a block keeps the records wholly before the cut; a header that counts more
// rows than were found gets both counts named.
TEST_F(Salvage, AFileCutShortKeepsTheRecordsBeforeTheCut) {
    write(Damage::CutInsideABlock);
    px::SalvageReport report;
    EXPECT_EQ(salvaged(report), numbers(0, 39 * kPerBlock + 5));
    EXPECT_EQ(report.describe(),
              "512 of 1,000 rows; 8 rows in block 40 could not be read; 480 "
              "rows the header counts were found nowhere; its chain broke after block 40; "
              "blocks outside it were read by position");
}

// Without its blob file, or with one cut short, every row arrives: a memo keeps the first
// characters its record holds, and the values lost are counted per field.
TEST_F(Salvage, AMissingOrCutBlobFileLosesValuesNotRows) {
    write(Damage::CutBlobFile);
    px::SalvageReport report;
    std::vector<std::string> memos;
    EXPECT_EQ(salvaged(report, &memos), numbers(0, kRows));
    ASSERT_EQ(report.memosCut.count("M"), 1u);
    const uint64_t cut = report.memosCut.at("M");
    EXPECT_GT(cut, 0u);
    EXPECT_LT(cut, uint64_t(kRows));
    EXPECT_EQ(std::count(memos.begin(), memos.end(), "m"), static_cast<long>(cut));

    write(Damage::NoBlobFile);
    memos.clear();
    EXPECT_EQ(salvaged(report, &memos), numbers(0, kRows));
    EXPECT_EQ(report.memosCut.at("M"), uint64_t(kRows));
    EXPECT_EQ(memos.front(), "m");
    EXPECT_EQ(report.describe(),
              "all 1,000 rows; 1,000 memos of M could not be read whole (the first characters "
              "their rows hold were kept); its blob file is missing");
}

// A free-block list that names a block of the chain hides none of it; a header that counts a row
// more than the chain holds gets it named.
TEST_F(Salvage, AFreeBlockListIntoTheChainHidesNothing) {
    write(Damage::None);
    patch16(0x4D, 2);
    bytes_[0x06] = static_cast<char>(kRows + 1);
    bytes_[0x07] = static_cast<char>((kRows + 1) >> 8);
    save();
    EXPECT_THROW(px::Table strict(path_), px::FormatError);
    px::SalvageReport report;
    EXPECT_EQ(salvaged(report), numbers(0, kRows));
    EXPECT_EQ(report.describe(),
              "1,000 of 1,001 rows; 1 row the header counts was found nowhere; its free-block "
              "list names block 2 of its chain, which was read all the same");
}

// Damage anywhere gives a salvage reading that ends, or an error naming the file: never a crash,
// a hang, a row twice, or rows the table does not hold. A byte changed inside a value cannot be
// told from data; at most the records the damage touched arrive changed, with their own keys.
TEST_F(Salvage, RandomDamageIsSalvagedOrRefusedNeverWorse) {
    for (const bool keyed : {false, true}) {
        DamagedTable::write(path_, kRows, keyed, Damage::None);
        bytes_ = readWholeFile(path_);
        std::mt19937 random(keyed ? 20261210 : 20261209);
        const std::string intact = bytes_;
        for (int round = 0; round < 250; ++round) {
            bytes_ = intact;
            const int flips = 1 + static_cast<int>(random() % 16);
            for (int i = 0; i < flips; ++i)
                bytes_[kHeader + random() % (bytes_.size() - kHeader)] =
                    static_cast<char>(random());
            if (round % 7 == 0)
                bytes_.resize(kHeader + random() % (bytes_.size() - kHeader));
            save();
            try {
                px::Table table(path_, px::Table::Reading::Salvage);
                std::set<std::string> whole;
                std::set<int64_t> keys;
                int changed = 0;
                std::vector<Value> row;
                while (table.next(row)) {
                    const int64_t n = row[0].asInteger();
                    const bool own = row[0].kind() == Value::Kind::Integer && n >= 0 && n < kRows &&
                                     row[1].toText() == "text " + std::to_string(n);
                    changed += !own;
                    EXPECT_TRUE(!own || whole.insert(row[1].toText()).second)
                        << round << ": row " << n << " twice";
                    if (keyed) {
                        EXPECT_TRUE(keys.insert(n).second) << round << ": key " << n << " twice";
                    }
                }
                EXPECT_LE(changed, flips) << round;
            } catch (const px::FormatError&) {
            }
        }
    }
}
