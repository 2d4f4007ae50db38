// A damaged or hostile file gives an error naming the file and its fault: never a crash, a hang,
// a read out of bounds, or an allocation the file does not justify.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "fixture/ParadoxWriter.h"
#include "paradox/FormatError.h"
#include "paradox/Table.h"
#include "support/TempDir.h"

using px::FieldType;
using px::Value;

namespace {

constexpr unsigned kHeader = 0x800;
constexpr unsigned kBlock = 1024;

class DamagedTable : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.file("damaged.db");
        pxfixture::ParadoxWriter writer(path_, {12,
                                                1,
                                                1252,
                                                {{"N", FieldType::Long, 4, 0},
                                                 {"T", FieldType::Alpha, 60, 0},
                                                 {"M", FieldType::Memo, 11, 0}}});
        for (int i = 0; i < 100; ++i)
            writer.addRow({Value::integer(i), Value::text("text " + std::to_string(i)),
                           Value::text(std::string(100 + i, 'x'))});
        writer.finish();
        bytes_ = readWholeFile(path_);
    }

    void writeTableWithRecordCount(uint32_t records) {
        for (int i = 0; i < 4; ++i)
            bytes_[0x06 + i] = static_cast<char>(records >> (8 * i));
        writeWholeFile(path_, bytes_);
    }

    void patch16(size_t at, unsigned value) {
        bytes_[at] = static_cast<char>(value & 0xFF);
        bytes_[at + 1] = static_cast<char>(value >> 8);
        writeWholeFile(path_, bytes_);
    }

    // Reads the whole table; the message of the error it stops with, or "" when none.
    std::string readError() {
        try {
            px::Table table(path_);
            std::vector<Value> row;
            while (table.next(row)) {
            }
        } catch (const px::FormatError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(dir_.path()), std::string::npos) << message;
            return message;
        }
        return "";
    }

    TempDir dir_;
    std::string path_;
    std::string bytes_;
};

}  // namespace

TEST_F(DamagedTable, IntactFixtureReadsCleanly) {
    EXPECT_EQ(readError(), "");
}

// Writers that trim the unused tail of the last block leave every row in the file; a cut
// through a record is still damage.
TEST_F(DamagedTable, LastBlockMayEndAfterItsLastRecordButNotInsideOne) {
    const std::string trimmed = dir_.file("trimmed.db");
    pxfixture::TableLayout layout{12, 1, 1252, {{"N", FieldType::Long, 4, 0}}};
    layout.trimLastBlock = true;
    pxfixture::writeTable(trimmed, layout, {{Value::integer(1)}, {Value::integer(2)}});
    ASSERT_EQ(std::filesystem::file_size(trimmed), kHeader + 6 + 2 * 4);
    px::Table table(trimmed);
    EXPECT_EQ(table.rowCount(), 2u);
    std::vector<Value> row;
    ASSERT_TRUE(table.next(row));
    ASSERT_TRUE(table.next(row));
    EXPECT_EQ(row[0].toText(), "2");
    EXPECT_FALSE(table.next(row));

    std::filesystem::resize_file(trimmed, kHeader + 6 + 4 + 3);
    path_ = trimmed;
    EXPECT_NE(readError().find("cut short: record 2 of the 2 in data block 1"), std::string::npos);

    // 100 bytes of the third block hold its header and one of its 13 records.
    path_ = dir_.file("damaged.db");
    bytes_.resize(kHeader + 2 * kBlock + 100);
    writeWholeFile(path_, bytes_);
    EXPECT_NE(readError().find("cut short: record 2 of the 13 in data block 3"), std::string::npos);
}

// A block zeroed in the middle ends the chain early: the table is refused, not read short.
TEST_F(DamagedTable, ChainThatEndsBeforeTheHeadersRecordCount) {
    const std::string intact = bytes_;
    std::fill_n(bytes_.begin() + kHeader + 2 * kBlock, kBlock, '\0');
    writeWholeFile(path_, bytes_);
    EXPECT_NE(readError().find("has 100 records in its header, but its block chain holds 27; 5 "
                               "data blocks that hold records are not in the chain"),
              std::string::npos)
        << readError();
    // A header that counts more records than any block holds.
    bytes_ = intact;
    writeTableWithRecordCount(101);
    EXPECT_NE(readError().find("has 101 records in its header, but its block chain holds 100"),
              std::string::npos);
}

TEST_F(DamagedTable, TruncatedInsideTheHeader) {
    bytes_.resize(300);
    writeWholeFile(path_, bytes_);
    EXPECT_NE(readError().find("header size"), std::string::npos);
}

TEST_F(DamagedTable, AnEmptyFileIsCutShortAndATextFileIsNoTable) {
    writeWholeFile(path_, "");
    EXPECT_NE(readError().find("too short"), std::string::npos);
    writeWholeFile(path_, std::string(4096, 'A'));
    EXPECT_NE(readError().find("no Paradox"), std::string::npos);
}

TEST_F(DamagedTable, BlockChainThatLoops) {
    patch16(kHeader + 2 * kBlock, 2);  // block 3 leads back to block 2
    EXPECT_NE(readError().find("loops"), std::string::npos);
}

TEST_F(DamagedTable, BlockChainThatPointsOutsideTheFile) {
    patch16(kHeader, 60000);
    EXPECT_NE(readError().find("beyond its end"), std::string::npos);
}

TEST_F(DamagedTable, BlockThatClaimsMoreRecordsThanItHolds) {
    patch16(kHeader + 4, 30000);
    EXPECT_NE(readError().find("more records"), std::string::npos);
}

TEST_F(DamagedTable, RecordSizeThatDisagreesWithTheFields) {
    patch16(0, 70);
    EXPECT_NE(readError().find("in records of"), std::string::npos);
}

TEST_F(DamagedTable, UnknownFieldType) {
    bytes_[0x78] = 0x07;
    writeWholeFile(path_, bytes_);
    EXPECT_NE(readError().find("unknown type 0x07"), std::string::npos);
}

TEST_F(DamagedTable, BlobPointerOutsideTheBlobFile) {
    // The first record's memo pointer, behind its one-byte leader.
    const size_t pointerAt = kHeader + 6 + 4 + 60 + 1;
    bytes_[pointerAt + 3] = 0x40;
    writeWholeFile(path_, bytes_);
    EXPECT_NE(readError().find("no blob block"), std::string::npos);
}

TEST_F(DamagedTable, MissingBlobFile) {
    std::filesystem::remove(dir_.file("damaged.mb"));
    EXPECT_NE(readError().find("blob file damaged.MB is missing"), std::string::npos);
}

TEST_F(DamagedTable, BlobFileFoundIgnoringLetterCase) {
    std::filesystem::rename(dir_.file("damaged.mb"), dir_.file("DAMAGED.MB"));
    EXPECT_EQ(readError(), "");
}

TEST_F(DamagedTable, TruncatedBlobFile) {
    std::filesystem::resize_file(dir_.file("damaged.mb"), 4096 + 100);
    EXPECT_NE(readError().find("damaged.mb"), std::string::npos);
}

TEST_F(DamagedTable, RandomCorruptionNeverEscapesAsAnythingButAnError) {
    std::mt19937 random(20260808);
    const std::string intact = bytes_;
    for (int round = 0; round < 1500; ++round) {
        bytes_ = intact;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i) {
            // Mostly the header and the first blocks, where the structure lives.
            const size_t limit = round % 2 ? 0x200 : bytes_.size();
            bytes_[random() % limit] = static_cast<char>(random());
        }
        if (round % 10 == 0)
            bytes_.resize(random() % bytes_.size());
        writeWholeFile(path_, bytes_);
        readError();
    }
}
