#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace px {

// What a salvage reading of a damaged table could not read, as exactly as the file tells it.
// Complete once every row has been read: values are found unreadable as their rows are read.
struct SalvageReport {
    // A block, or part of one, whose records were not taken.
    struct LostBlock {
        uint32_t number = 0;
        int64_t rows = -1;  // the records its header counts, or those of them that did not
                            // decode; -1 when its header cannot tell
        std::string why;
    };

    // What the strict reading found wrong; "" for a table read as it stands.
    std::string damage;
    uint64_t rowsInHeader = 0;
    uint64_t rowsFound = 0;  // the rows the reading hands out
    std::vector<LostBlock> lostBlocks;
    // Per field, the values read as NULL (or, for a memo, as the text its record holds) because
    // they could not be decoded or their blob could not be read.
    std::map<std::string, uint64_t> valuesLost;
    // Why the blob file cannot be read at all, or "".
    std::string blobFileProblem;

    bool damaged() const { return !damage.empty() || !blobFileProblem.empty(); }
    // The rows its lost blocks held, as far as their headers tell.
    uint64_t rowsLost() const;
    // Every row the header counts arrived, with every value: the damage was in the file's
    // structure only (a broken chain that the blocks themselves repaired).
    bool nothingLost() const {
        return rowsFound == rowsInHeader && lostBlocks.empty() && valuesLost.empty();
    }
    // "9,940 of 10,000 rows; 60 rows in blocks 17 and 18 could not be read; 3 values of NOTE
    // could not be read": what arrived and what did not.
    std::string describe() const;
};

}  // namespace px
