#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BlobFile.h"
#include "Cipher.h"
#include "CodePage.h"
#include "Field.h"
#include "File.h"
#include "FormatError.h"
#include "KeyOrder.h"
#include "Salvage.h"
#include "Value.h"

namespace px {

// A Paradox data table (.db), read forward one row at a time. Opening it checks the header and
// walks the whole block chain, so the row count is exact and a damaged chain is found before the
// first row. Reading holds one block and one row in memory, whatever the size of the table.
//
// The strict reading takes only what the format allows: every value one its type can hold, a
// keyed table's keys each once and in order along the chain, every blob whole in the blob file.
// Anything else is damage, thrown as a FormatError that names the row, block and field.
//
// A salvage reading opens a damaged table too (only its header must be sound): it hands out
// every record that the evidence shows to be a row, each once, none invented, and names every
// loss and every repair in salvaged(). A table whose strict reading succeeds is read as the
// strict reading reads it. A reading of the header only opens any table with a sound header,
// for what its definition needs; it reads no row.
class Table {
  public:
    enum class Reading { Strict, Salvage, HeaderOnly };
    explicit Table(const std::string& path, Reading reading = Reading::Strict);

    const std::string& path() const { return file_.path(); }
    const std::vector<Field>& fields() const { return fields_; }
    uint64_t rowCount() const { return rowCount_; }
    int fileVersion() const { return version_; }
    // The fields of the primary key: the first this many fields; 0 for a table without a key.
    int keyFieldCount() const { return keyFields_; }
    // The header's counter of its AutoInc field: the last value it handed out.
    int64_t autoIncrementValue() const { return autoIncrement_; }
    bool isEncrypted() const { return cipher_.has_value(); }
    const CodePage& codePage() const { return *codePage_; }

    // Fills `row` with the next row's values; false after the last row.
    bool next(std::vector<Value>& row);
    // A strict reading's look at every record that is left, as next() reads it but without
    // decoding its values or reading its blobs whole: throws the first damage.
    void checkEveryRecord();
    // A value of `field` stored as this table stores its rows (a validity check's minimum,
    // maximum or default); not for memos and blobs.
    Value decodeStored(const Field& field, const unsigned char* data);
    // A salvage reading's repairs and losses; complete once every row was read. Empty for a
    // strict one.
    const SalvageReport& salvaged() const { return salvage_; }
    Reading reading() const { return reading_; }

  private:
    // The records a salvage reading takes of one block, in the order it hands them out.
    struct PlannedBlock {
        uint32_t number = 0;
        unsigned count = 0;            // the records taken
        std::vector<uint16_t> places;  // their places in the block; none: the first `count`
        // A record of a keyed table kept for its key with one value that is no value: the
        // record's place and the field read as NULL, in the order of the places.
        std::vector<std::pair<uint16_t, uint16_t>> blanked;
        uint16_t place(unsigned i) const { return places.empty() ? uint16_t(i) : places[i]; }
    };
    class SalvagePlan;

    void readHeader();
    void readFieldNames(const std::vector<unsigned char>& header, size_t at);
    // The header's flags that say a rebuild is required, as damage; "" where none is set.
    std::string rebuildFlags() const;
    // Walks the block chain and counts its records, which must be the header's count.
    void countRows();
    // "" or a note naming the blocks outside the chain that hold records.
    std::string unreachedBlocks(const std::vector<bool>& visited) const;
    void openBlobFile();
    uint64_t blockOffset(uint32_t blockNumber) const;
    // How many bytes of a block the file holds and can be decoded: less than a block only for
    // a last block whose unused tail was trimmed.
    size_t bytesOfBlock(uint32_t blockNumber) const;
    // Reads and decrypts the first `wanted` bytes of a block, zeros past the file's end; returns
    // bytesOfBlock().
    size_t readBlockStart(uint32_t blockNumber, unsigned char* out, size_t wanted) const;
    // The records a block holds, from its six-byte header; every one must lie in the file.
    unsigned recordsIn(const unsigned char* blockHeader, uint32_t blockNumber,
                       size_t bytesInFile) const;
    void loadBlock(uint32_t blockNumber);
    // "row 57 (record 3 of data block 5)": where the record being read lies.
    std::string placeOfRecord() const;
    // The strict reading of one record: each key once and in order, each value one its type
    // can hold; throws the damage.
    void readStrictly(const unsigned char* record, std::vector<Value>& row);
    void checkKeyOrder(const unsigned char* record);
    FormatError blobDamage(const Field& field, const BlobError& damaged) const;

    // Salvage: which blocks and records to read, and the damage that calls for it
    // (TableSalvage.cpp).
    void planSalvage();
    void loadPlannedBlock();
    // A salvage reading's decoding: a value that cannot be read is counted lost.
    void decodeSalvaged(const Field& field, const unsigned char* data, Value& out);

    void decodeField(const Field& field, const unsigned char* data, Value& out);
    Value decodeValue(const Field& field, const unsigned char* data);
    Value decodeBlob(const Field& field, const unsigned char* data);

    File file_;
    std::vector<Field> fields_;
    const CodePage* codePage_ = nullptr;
    std::optional<Cipher> cipher_;
    std::unique_ptr<BlobFile> blobs_;
    int version_ = 0;
    int keyFields_ = 0;
    int64_t autoIncrement_ = 0;
    unsigned recordSize_ = 0;
    unsigned headerSize_ = 0;
    unsigned blockSize_ = 0;
    uint32_t firstBlock_ = 0;
    uint32_t lastBlock_ = 0;
    uint32_t firstFreeBlock_ = 0;
    uint32_t blocksInFile_ = 0;
    uint64_t rowCount_ = 0;
    uint32_t recordsInHeader_ = 0;
    unsigned char modifiedFlags_[2] = {0, 0};  // 0x14 and 0x2A: a rebuild is required
    std::string sortOrder_;
    // A keyed table's order, which its records follow along the chain.
    std::optional<KeyOrder> keyOrder_;
    std::vector<unsigned char> ruled_;  // per field: whether its stored values can be no value

    // Reading position.
    std::vector<unsigned char> block_;
    uint32_t currentBlock_ = 0;
    uint32_t nextBlock_ = 0;
    uint32_t blocksRead_ = 0;
    uint32_t blocksInChain_ = 0;
    unsigned recordsInBlock_ = 0;
    unsigned nextRecord_ = 0;
    uint64_t rowsRead_ = 0;
    std::vector<unsigned char> previousKey_;  // the last key of the block read before, if any

    Reading reading_;
    std::vector<PlannedBlock> plan_;  // a salvage reading's blocks
    size_t nextPlanned_ = 0;
    size_t nextBlanked_ = 0;
    SalvageReport salvage_;
};

}  // namespace px
