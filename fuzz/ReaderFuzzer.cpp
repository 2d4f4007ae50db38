// libFuzzer target: any bytes as a table file and its companions (blob file, validity checks,
// secondary index), read to the end, strictly and by the salvage reading. Only a FormatError
// may come out; anything else is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "paradox/FormatError.h"
#include "paradox/SecondaryIndex.h"
#include "paradox/Table.h"
#include "paradox/ValidityFile.h"

namespace {

std::string workFolder() {
    static std::string folder = [] {
        char pattern[] = "/tmp/morvane-fuzz-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        return std::string(pattern);
    }();
    return folder;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
}

}  // namespace

// Input: a four-byte little-endian length of the .db part, the .db bytes, then the bytes of the
// .mb, .val and .x02 files alike.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    size_t dbSize = data[0] | data[1] << 8 | data[2] << 16 | size_t(data[3]) << 24;
    data += 4;
    size -= 4;
    if (dbSize > size)
        dbSize = size;
    const std::string folder = workFolder();
    writeFile(folder + "/t.db", data, dbSize);
    for (const char* companion : {"/t.mb", "/t.val", "/t.x02"})
        writeFile(folder + companion, data + dbSize, size - dbSize);
    try {
        px::Table table(folder + "/t.db");
        try {
            px::readValidityFile(folder + "/t.val", table);
        } catch (const px::FormatError&) {
        }
        std::vector<std::string> problems;
        px::secondaryIndexesOf(folder + "/t.db", table.keyFieldCount(), problems);
        std::vector<px::Value> row;
        std::string items;
        while (table.next(row)) {
            items.clear();
            for (const px::Value& value : row)
                value.appendSqlItem(items);
        }
    } catch (const px::FormatError&) {
    }
    // The look at every record before a copy: it ends, or names the damage.
    try {
        px::Table(folder + "/t.db").checkEveryRecord();
    } catch (const px::FormatError&) {
    }
    // The salvage reading of the same files: it ends, or refuses with a reason, and hands out
    // no more rows than it counted.
    try {
        px::Table table(folder + "/t.db", px::Table::Reading::Salvage);
        std::vector<px::Value> row;
        uint64_t rows = 0;
        while (table.next(row))
            ++rows;
        if (rows != table.rowCount())
            std::abort();
        table.salvaged().describe();
    } catch (const px::FormatError&) {
    }
    return 0;
}
