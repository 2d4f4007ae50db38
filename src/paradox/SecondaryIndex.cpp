#include "SecondaryIndex.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include <strings.h>

#include "ByteCursor.h"
#include "File.h"
#include "FormatError.h"
#include "TableFiles.h"

namespace px {

namespace {

// Offsets of the header every Paradox file opens with.
constexpr size_t kHeaderSizeAt = 0x02;
constexpr size_t kFileTypeAt = 0x04;
constexpr size_t kFieldCountAt = 0x21;
constexpr size_t kVersionAt = 0x39;
// Paradox 7's flags of the index: 0x01 case-insensitive, 0x10 descending, 0x20 unique.
constexpr size_t kIndexFlagsAt = 0x55;
constexpr uint8_t kCaseInsensitive = 0x01;
constexpr uint8_t kDescending = 0x10;
constexpr uint8_t kUnique = 0x20;
constexpr size_t kCommonHeader = 0x58;
constexpr size_t kVersion4Header = 0x78;  // where field types begin from version 4.0 on
constexpr int kFirstVersion4 = 5;
constexpr int kVersion7 = 12;
constexpr uint16_t kDescendingField = 0x8000;  // on a field number in the header

// File types 3 and 5 are .Xnn files, 6 and 8 .XGn files (non-incrementing or not).
bool isSecondaryIndexType(unsigned type) {
    return type == 3 || type == 5 || type == 6 || type == 8;
}

uint16_t le16(const unsigned char* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

bool isSecondaryIndexFile(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && name.size() - dot == 4 &&
           std::toupper(static_cast<unsigned char>(name[dot + 1])) == 'X';
}

}  // namespace

SecondaryIndex readSecondaryIndex(const std::string& path, int tableKeyFields) {
    const File file(path);
    if (file.size() < kCommonHeader)
        throw FormatError(path, "is too short to be a secondary index");
    unsigned char common[kCommonHeader];
    file.readAt(0, common, sizeof common);
    const unsigned type = common[kFileTypeAt];
    if (!isSecondaryIndexType(type))
        throw FormatError(path, "is no secondary index (file type " + std::to_string(type) + ")");
    const size_t headerSize = le16(common + kHeaderSizeAt);
    const int version = common[kVersionAt];
    const int fieldCount = static_cast<int16_t>(le16(common + kFieldCountAt));
    // Each entry holds the index's fields, then the table's key (or, without one, the record's
    // place: three fields), then its block number.
    const int located = tableKeyFields > 0 ? tableKeyFields + 1 : 3;
    const int indexed = fieldCount - located;
    if (headerSize > file.size() || headerSize < kCommonHeader || indexed < 1)
        throw FormatError(path, "has an index header that does not fit the file or its table");
    std::vector<unsigned char> bytes(headerSize);
    file.readAt(0, bytes.data(), bytes.size());

    ByteCursor header(path, std::move(bytes));
    header.skip(version >= kFirstVersion4 ? kVersion4Header : kCommonHeader);
    header.skip(2 * static_cast<size_t>(fieldCount));  // field types and sizes
    // The table name's pointer and the field names' pointers, then the file's own first name.
    header.skip(4 + 4 * static_cast<size_t>(fieldCount));
    header.skip(version >= kVersion7 ? 261 : 79);
    std::vector<std::string> names;
    for (int i = 0; i < fieldCount; ++i)
        names.push_back(header.text());
    std::vector<uint16_t> numbers;
    for (int i = 0; i < fieldCount; ++i)
        numbers.push_back(header.word());

    SecondaryIndex index;
    const uint8_t flags = version >= kVersion7 ? common[kIndexFlagsAt] : 0;
    const bool descending = flags & kDescending;
    index.unique = flags & kUnique;
    index.caseInsensitive = flags & kCaseInsensitive;
    for (int i = 0; i < indexed; ++i)
        index.keys.push_back({names[static_cast<size_t>(i)],
                              descending || (numbers[static_cast<size_t>(i)] & kDescendingField)});
    const bool named = type == 6 || type == 8;
    if (named) {
        header.text();  // the sort order
        index.name = header.text();
    }
    if (index.name.empty())
        index.name = index.keys.front().field;
    return index;
}

std::vector<SecondaryIndex> secondaryIndexesOf(const std::string& tablePath, int tableKeyFields,
                                               std::vector<std::string>& problems) {
    const size_t slash = tablePath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : tablePath.substr(0, slash);
    const std::string base = tablePath.substr(slash == std::string::npos ? 0 : slash + 1,
                                              tablePath.rfind('.') - (slash + 1));
    std::vector<std::string> files = tableFilesOf(folder, base);
    std::sort(files.begin(), files.end());
    std::vector<SecondaryIndex> indexes;
    for (const std::string& name : files) {
        if (!isSecondaryIndexFile(name))
            continue;
        try {
            SecondaryIndex index = readSecondaryIndex(folder + "/" + name, tableKeyFields);
            index.file = name;
            indexes.push_back(std::move(index));
            // The definition is whole without the .Ynn, which only speeds Paradox's searches.
            std::string companion = name;
            companion[companion.size() - 3] = companion[companion.size() - 3] == 'x' ? 'y' : 'Y';
            if (!std::any_of(files.begin(), files.end(), [&](const std::string& file) {
                    return strcasecmp(file.c_str(), companion.c_str()) == 0;
                }))
                problems.push_back(name + ": its companion " + companion +
                                   " is missing; the index is made from its own header");
        } catch (const std::exception& failure) {
            problems.push_back(name + ": " + failure.what());
        }
    }
    return indexes;
}

}  // namespace px
