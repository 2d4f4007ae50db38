#pragma once

// The secondary indexes of a Paradox table, from the headers of its .Xnn and .XGn files: the
// fields each orders by, in order, and which of them descend. The index entries themselves are
// not read: a target builds its own index from the copied rows.

#include <string>
#include <vector>

namespace px {

struct SecondaryIndex {
    struct Key {
        std::string field;
        bool descending = false;
    };
    std::string file;  // the index file's own name, as the folder lists it
    // An .XGn file's own name; for an .Xnn file, which indexes one field, that field's name.
    std::string name;
    std::vector<Key> keys;
    bool unique = false;
    bool caseInsensitive = false;  // orders text as if it were all lower-case
};

// Reads one index file's header. `tableKeyFields` is the table's own key length, whose fields
// Paradox appends to every index entry. Throws FormatError for a file that is no secondary
// index or does not hold what its header claims.
SecondaryIndex readSecondaryIndex(const std::string& path, int tableKeyFields);

// The secondary indexes beside the table file `tablePath`, ordered by file name; one that
// cannot be read is named in `problems` ("FILE: reason") and left out.
std::vector<SecondaryIndex> secondaryIndexesOf(const std::string& tablePath, int tableKeyFields,
                                               std::vector<std::string>& problems);

}  // namespace px
