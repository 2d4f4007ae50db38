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
#include "Salvage.h"
#include "Value.h"

namespace px {

// A Paradox data table (.db), read forward one row at a time. Opening it checks the header and
// walks the whole block chain, so the row count is exact and a damaged chain is found before the
// first row. Reading holds one block and one row in memory, whatever the size of the table.
//
// A salvage reading opens a damaged table too (only its header must be sound): it hands out
// every record that can be read, each once, none invented, and names every loss in salvaged().
// A table whose strict reading succeeds is read as the strict reading reads it.
class Table {
  public:
    enum class Reading { Strict, Salvage };
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
    // A value of `field` stored as this table stores its rows (a validity check's minimum,
    // maximum or default); not for memos and blobs.
    Value decodeStored(const Field& field, const unsigned char* data);
    // A salvage reading's losses; complete once every row was read. Empty for a strict one.
    const SalvageReport& salvaged() const { return salvage_; }
    Reading reading() const { return reading_; }

  private:
    // The blocks a salvage reading takes, in the order it reads them.
    struct PlannedBlock {
        uint32_t number;
        unsigned records;  // those wholly inside the file
    };
    // Salvage: finds the blocks to read where the chain is broken (forward, then backward from
    // the last block, then every other block that is not free), counts their readable records.
    void planSalvage(const std::string& damage);
    // Free blocks, by the header's free-block list.
    std::vector<bool> freeBlocks() const;
    // The records a block holds wholly inside the file, or none when its header claims records
    // the block cannot hold (`why` then says so).
    std::optional<unsigned> plausibleRecords(uint32_t number, unsigned char* head,
                                             std::string& why) const;
    // Whether every field of the record decodes as its type allows.
    bool recordReadable(const unsigned char* record) const;
    void loadPlannedBlock();
    // A salvage reading's decoding: a value that cannot be read is counted lost.
    void decodeSalvaged(const Field& field, const unsigned char* data, Value& out);
    void readHeader();
    void readFieldNames(const std::vector<unsigned char>& header, size_t at);
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

    // Reading position.
    std::vector<unsigned char> block_;
    uint32_t nextBlock_ = 0;
    uint32_t blocksRead_ = 0;
    uint32_t blocksInChain_ = 0;
    unsigned recordsInBlock_ = 0;
    unsigned nextRecord_ = 0;
    uint64_t rowsRead_ = 0;

    Reading reading_;
    std::vector<PlannedBlock> plan_;  // empty unless a salvage reading found the chain broken
    size_t nextPlanned_ = 0;
    SalvageReport salvage_;
};

}  // namespace px
