#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace px {

// What a salvage reading of a damaged table found and did, as exactly as the file tells it:
// how it found its rows, and every record and value it could not take. Complete once every row
// has been read: values are found unreadable as their rows are read.
struct SalvageReport {
    // A block, or part of one, whose records were not taken.
    struct LostBlock {
        uint32_t number = 0;
        int64_t rows = -1;  // the records its header counts, or those of them not taken; -1
                            // when its header cannot tell
        std::string why;
    };

    // What the strict reading found wrong; "" for a table read as it stands.
    std::string damage;
    uint64_t rowsInHeader = 0;
    uint64_t rowsFound = 0;       // the rows the reading hands out
    uint64_t rowsByPosition = 0;  // of them, those from blocks outside the chain
    // Records of the table's blocks that could not be read as rows: lost.
    std::vector<LostBlock> lostBlocks;
    // Blocks outside the chain that hold records with nothing to show they are the table's
    // rows (a block appended, a copy of rows taken already): named, not taken, not counted lost.
    std::vector<LostBlock> blocksNotTaken;
    // Per field, the values read as NULL because they could not be read: a blob the blob file
    // lacks, a value its type cannot hold in a row its key vouches for.
    std::map<std::string, uint64_t> valuesLost;
    // Per memo field, the memos whose blob could not be read: the text their record holds (its
    // first characters) was kept.
    std::map<std::string, uint64_t> memosCut;
    // Why the blob file cannot be read at all, or "".
    std::string blobFileProblem;
    // How the reading found its way where the file's structure failed it: "its chain broke
    // after block 300 and was followed back from its last block".
    std::vector<std::string> repairs;

    bool damaged() const {
        return !damage.empty() || !blobFileProblem.empty() || !valuesLost.empty() ||
               !memosCut.empty() || !repairs.empty() || !lostBlocks.empty();
    }
    // The rows its lost blocks held, as far as their headers tell.
    uint64_t rowsLost() const;
    // Every row the header counts arrived, with every value: the damage was in the file's
    // structure only (a broken chain that the blocks themselves repaired).
    bool nothingLost() const {
        return rowsFound == rowsInHeader && lostBlocks.empty() && valuesLost.empty() &&
               memosCut.empty();
    }
    // "9,940 of 10,000 rows; 60 rows in blocks 17 and 18 could not be read; 3 values of NOTE
    // could not be read; its chain broke after block 16 ...": what arrived, what did not, and
    // how it was found.
    std::string describe() const;
};

}  // namespace px
