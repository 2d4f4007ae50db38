#include "Table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "FormatError.h"
#include "RecordRules.h"
#include "StoredBytes.h"

namespace px {

namespace {

constexpr size_t kCommonHeader = 0x58;
constexpr size_t kVersion4Header = 0x78;
constexpr int kFirstVersion4 = 5;
constexpr int kFirstVersion7 = 12;
constexpr size_t kRecordCountAt = 0x06;
constexpr size_t kFirstBlockAt = 0x0E;
constexpr size_t kLastBlockAt = 0x10;
constexpr size_t kFirstFreeBlockAt = 0x4D;
constexpr size_t kKeyFieldsAt = 0x23;
constexpr size_t kAutoIncrementAt = 0x49;
constexpr size_t kModifiedFlags1At = 0x14;
constexpr size_t kModifiedFlags2At = 0x2A;
constexpr unsigned kIndexedTable = 0;

// A BCD field: sign and decimals in the first byte, then 32 digits of which the last `decimals`
// stand after the point; a negative number stores every digit as its complement to 15. Writers
// that fill the field from a double leave junk after its last meaningful digit: digits stop at
// the first nibble that is no digit, and a value with more significant digits than a double
// holds is rounded as that double.
std::string bcdText(const unsigned char* p, int decimals) {
    const bool negative = (p[0] & 0x80) == 0;
    const unsigned flip = negative ? 0x0F : 0x00;
    std::string integral;
    std::string fraction;
    int significant = 0;
    for (int nibble = 2; nibble < 34; ++nibble) {
        const unsigned digit = (nibble % 2 ? p[nibble / 2] & 0x0F : p[nibble / 2] >> 4) ^ flip;
        if (digit > 9)
            break;
        if (significant > 0 || digit != 0)
            ++significant;
        if (nibble < 34 - decimals) {
            if (!integral.empty() || digit != 0)
                integral += static_cast<char>('0' + digit);
        } else {
            fraction += static_cast<char>('0' + digit);
        }
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string text = integral.empty() ? "0" : integral;
    if (!fraction.empty())
        text += "." + fraction;
    if (significant > 15) {
        double value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        text = Value::real(value).toText();
    }
    if (negative && text != "0")
        text.insert(0, 1, '-');
    return text;
}

std::string fieldTypeHex(uint8_t code) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string("0x") + kDigits[code >> 4] + kDigits[code & 15];
}

}  // namespace

Table::Table(const std::string& path, Reading reading) : file_(path), reading_(reading) {
    readHeader();
    switch (reading_) {
        case Reading::HeaderOnly:
            return;
        case Reading::Strict:
            countRows();
            if (const std::string flags = rebuildFlags(); !flags.empty())
                throw FormatError(this->path(), flags);
            openBlobFile();
            break;
        case Reading::Salvage:
            try {
                openBlobFile();
            } catch (const FormatError&) {
                // Memo values fall back on the text their records hold, the others on NULL.
                salvage_.blobFileProblem = "its blob file is missing";
            }
            planSalvage();
            salvage_.rowsInHeader = recordsInHeader_;
            salvage_.rowsFound = rowCount_;
            break;
    }
    block_.resize(blockSize_);
    nextBlock_ = firstBlock_;
}

std::string Table::rebuildFlags() const {
    if (modifiedFlags_[0] == 0 && modifiedFlags_[1] == 0)
        return "";
    // Paradox sets them when a change to the table was not finished (a crash, a full disk).
    return "is marked in its header as needing a rebuild (its modified flags at 0x14 and 0x2A "
           "are " +
           std::to_string(modifiedFlags_[0]) + " and " + std::to_string(modifiedFlags_[1]) +
           "): a change to it was not finished";
}

void Table::readHeader() {
    // A file too short for any header is a table cut short (a copy that failed, a full disk),
    // not some other kind of file.
    if (file_.size() < kCommonHeader)
        throw FormatError(path(), "is too short to be a Paradox table (" +
                                      std::to_string(file_.size()) + " bytes)");
    unsigned char common[kCommonHeader];
    file_.readAt(0, common, sizeof common);
    recordSize_ = le16(common + 0x00);
    headerSize_ = le16(common + 0x02);
    const unsigned fileType = common[0x04];
    modifiedFlags_[0] = common[kModifiedFlags1At];
    modifiedFlags_[1] = common[kModifiedFlags2At];
    const unsigned maxTableSize = common[0x05];
    version_ = common[0x39];
    const int fieldCount = static_cast<int16_t>(le16(common + 0x21));
    keyFields_ = static_cast<int16_t>(le16(common + kKeyFieldsAt));
    autoIncrement_ = static_cast<int32_t>(le32(common + kAutoIncrementAt));
    lastBlock_ = le16(common + kLastBlockAt);
    firstFreeBlock_ = le16(common + kFirstFreeBlockAt);

    if (fileType != 0 && fileType != 2)
        throw NotATable(path(),
                        "is no Paradox data table (file type " + std::to_string(fileType) + ")");
    if (version_ < 3 || version_ > 12)
        throw NotATable(path(), "is no Paradox table of a known version (version byte " +
                                    std::to_string(version_) + ")");
    switch (maxTableSize) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 8:
        case 16:
        case 32:
            blockSize_ = maxTableSize * 1024;
            break;
        default:
            throw NotATable(path(),
                            "has an invalid block size code " + std::to_string(maxTableSize));
    }
    const size_t fieldInfoAt = version_ >= kFirstVersion4 ? kVersion4Header : kCommonHeader;
    if (headerSize_ < fieldInfoAt || headerSize_ > file_.size())
        throw FormatError(path(), "has a header size of " + std::to_string(headerSize_) +
                                      " bytes that does not fit the file (" +
                                      std::to_string(file_.size()) + " bytes)");
    if (fieldCount <= 0 || fieldCount > 255)
        throw FormatError(path(), "has an invalid field count " + std::to_string(fieldCount));
    if (recordSize_ == 0 || recordSize_ > blockSize_ - kBlockHeader)
        throw FormatError(path(), "has a record size of " + std::to_string(recordSize_) +
                                      " bytes that does not fit its blocks");

    std::vector<unsigned char> header(headerSize_);
    file_.readAt(0, header.data(), header.size());

    const uint32_t key = le32(header.data() + (version_ >= kFirstVersion4 ? 0x5C : 0x25));
    if (key != 0)
        cipher_.emplace(key);

    size_t at = fieldInfoAt;
    if (at + 2 * size_t(fieldCount) > header.size())
        throw FormatError(
            path(), "has a header too short for its " + std::to_string(fieldCount) + " fields");
    unsigned recordBytes = 0;
    for (int i = 0; i < fieldCount; ++i, at += 2) {
        const uint8_t code = header[at];
        const unsigned size = header[at + 1];
        if (!isKnownFieldType(code))
            throw FormatError(path(), "has field " + std::to_string(i + 1) +
                                          " of an unknown type " + fieldTypeHex(code));
        Field field{{}, static_cast<FieldType>(code), static_cast<int>(size), 0};
        if (field.type == FieldType::Bcd) {
            field.decimals = static_cast<int>(size);
            field.size = 17;
            if (field.decimals > 32)
                throw FormatError(path(),
                                  "has a BCD field with " + std::to_string(size) + " decimals");
        }
        const int fixed = fixedSizeOf(field.type);
        const bool sizeOk =
            fixed ? field.size == fixed : field.size >= (field.isBlob() ? int(kBlobTrailer) : 1);
        if (!sizeOk)
            throw FormatError(path(), "has field " + std::to_string(i + 1) + " of type " +
                                          fieldTypeHex(code) + " with an invalid size " +
                                          std::to_string(size));
        recordBytes += static_cast<unsigned>(field.size);
        fields_.push_back(std::move(field));
    }
    if (recordBytes != recordSize_)
        throw FormatError(path(), "has fields of " + std::to_string(recordBytes) +
                                      " bytes in records of " + std::to_string(recordSize_));

    const int codePageNumber = version_ >= kFirstVersion4 ? le16(header.data() + 0x6A) : 0;
    at += 4 + 4 * size_t(fieldCount);             // pointers that only mean something in memory
    at += version_ >= kFirstVersion7 ? 261 : 79;  // the table's own name
    // The sort order's name follows the field names and numbers; it tells Roman-8 tables apart
    // and how a keyed table orders its text.
    size_t sortAt = at;
    for (int i = 0; i < fieldCount && sortAt < header.size(); ++i) {
        const auto* name = header.data() + sortAt;
        const void* end = std::memchr(name, 0, header.size() - sortAt);
        sortAt =
            end ? static_cast<size_t>(static_cast<const unsigned char*>(end) - header.data()) + 1
                : header.size();
    }
    sortAt += 2 * size_t(fieldCount);
    while (sortAt < header.size() && header[sortAt] != 0)
        sortOrder_ += static_cast<char>(header[sortAt++]);
    codePage_ = &CodePage::forTable(codePageNumber, codePageNumber == 0 ? sortOrder_ : "");
    readFieldNames(header, at);
    if (fileType == kIndexedTable && keyFields_ > 0 && keyFields_ <= fieldCount)
        keyOrder_.emplace(fields_, keyFields_, sortOrder_);
    for (const Field& field : fields_)
        ruled_.push_back(hasValueRules(field));

    // The chain starts at the first block even where the header's block counter says none:
    // the rows are counted from the blocks themselves.
    firstBlock_ = le16(header.data() + kFirstBlockAt);
    recordsInHeader_ = le32(header.data() + kRecordCountAt);
    // Some writers trim the unused tail of the last block, so a partial block still counts.
    const uint64_t blockBytes = file_.size() - headerSize_;
    blocksInFile_ = static_cast<uint32_t>(
        std::min<uint64_t>((blockBytes + blockSize_ - 1) / blockSize_, UINT32_MAX - 1));
}

void Table::readFieldNames(const std::vector<unsigned char>& header, size_t at) {
    for (Field& field : fields_) {
        const size_t start = at;
        while (at < header.size() && header[at] != 0)
            ++at;
        if (at >= header.size())
            throw FormatError(path(), "has a header that ends inside its field names");
        field.name = codePage_->decode(
            std::string_view(reinterpret_cast<const char*>(header.data() + start), at - start));
        ++at;
    }
}

uint64_t Table::blockOffset(uint32_t blockNumber) const {
    return headerSize_ + uint64_t(blockNumber - 1) * blockSize_;
}

size_t Table::bytesOfBlock(uint32_t blockNumber) const {
    const uint64_t left = file_.size() - blockOffset(blockNumber);
    const size_t bytes = static_cast<size_t>(std::min<uint64_t>(left, blockSize_));
    // An encrypted block can only be read in whole chunks.
    return cipher_ ? bytes / Cipher::kChunk * Cipher::kChunk : bytes;
}

unsigned Table::recordsIn(const unsigned char* blockHeader, uint32_t blockNumber,
                          size_t bytesInFile) const {
    const int added = static_cast<int16_t>(le16(blockHeader + 4));
    if (added < 0)
        return 0;
    const unsigned records = static_cast<unsigned>(added) / recordSize_ + 1;
    if (kBlockHeader + records * recordSize_ > blockSize_)
        throw FormatError(path(), "has data block " + std::to_string(blockNumber) +
                                      " that claims more records than it can hold");
    // A trimmed block may end after its last record, never inside one.
    if (kBlockHeader + records * recordSize_ > bytesInFile)
        throw FormatError(path(),
                          "is cut short: record " +
                              std::to_string((bytesInFile - kBlockHeader) / recordSize_ + 1) +
                              " of the " + std::to_string(records) + " in data block " +
                              std::to_string(blockNumber) + " lies beyond its end (" +
                              std::to_string(file_.size()) + " bytes)");
    return records;
}

size_t Table::readBlockStart(uint32_t blockNumber, unsigned char* out, size_t wanted) const {
    const size_t bytes = bytesOfBlock(blockNumber);
    if (bytes < std::max<size_t>(kBlockHeader, cipher_ ? Cipher::kChunk : 0))
        throw FormatError(path(), "is cut short: data block " + std::to_string(blockNumber) +
                                      " lies beyond its end (" + std::to_string(file_.size()) +
                                      " bytes)");
    const size_t got = std::min(bytes, wanted);
    file_.readAt(blockOffset(blockNumber), out, got);
    std::memset(out + got, 0, wanted - got);
    if (cipher_)
        cipher_->decryptDataBlock(out, got, blockNumber);
    return bytes;
}

void Table::countRows() {
    std::vector<bool> visited(blocksInFile_ + 1);
    unsigned char head[256];
    const size_t headBytes = cipher_ ? sizeof head : kBlockHeader;
    for (uint32_t number = firstBlock_; number != 0;) {
        if (number > blocksInFile_)
            throw FormatError(path(), "has a block chain that points to block " +
                                          std::to_string(number) + " beyond its end (" +
                                          std::to_string(blocksInFile_) + " blocks)");
        if (visited[number])
            throw FormatError(
                path(), "has a block chain that loops back to block " + std::to_string(number));
        visited[number] = true;
        const size_t bytes = readBlockStart(number, head, headBytes);
        rowCount_ += recordsIn(head, number, bytes);
        ++blocksInChain_;
        number = le16(head);
    }
    // Every writer keeps the header's count equal to the records of the chain: a chain that
    // ends early (a block zeroed or overwritten) would otherwise read short without a word.
    if (rowCount_ != recordsInHeader_)
        throw FormatError(path(), "has " + std::to_string(recordsInHeader_) +
                                      " records in its header, but its block chain holds " +
                                      std::to_string(rowCount_) + unreachedBlocks(visited));
}

std::string Table::unreachedBlocks(const std::vector<bool>& visited) const {
    unsigned char head[256];
    const size_t headBytes = cipher_ ? sizeof head : kBlockHeader;
    uint32_t holdingRecords = 0;
    for (uint32_t number = 1; number <= blocksInFile_; ++number) {
        if (visited[number])
            continue;
        try {
            if (recordsIn(head, number, readBlockStart(number, head, headBytes)) > 0)
                ++holdingRecords;
        } catch (const FormatError&) {
            // A block that cannot even be read holds no records to count.
        }
    }
    if (holdingRecords == 0)
        return "";
    return "; " + std::to_string(holdingRecords) +
           (holdingRecords == 1 ? " data block that holds records is"
                                : " data blocks that hold records are") +
           " not in the chain";
}

void Table::openBlobFile() {
    bool needsBlobs = false;
    for (const Field& field : fields_)
        needsBlobs = needsBlobs || field.isBlob();
    if (!needsBlobs)
        return;
    const std::string& full = path();
    const size_t slash = full.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : full.substr(0, slash);
    std::string base = slash == std::string::npos ? full : full.substr(slash + 1);
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos)
        base.resize(dot);
    const auto blobPath = findIgnoringCase(folder, base + ".mb");
    if (!blobPath)
        throw FormatError(path(),
                          "has memo or blob fields, but its blob file " + base + ".MB is missing");
    blobs_ = std::make_unique<BlobFile>(*blobPath, cipher_);
}

void Table::loadBlock(uint32_t blockNumber) {
    if (blockNumber == 0 || blockNumber > blocksInFile_ || blocksRead_ >= blocksInChain_)
        throw FormatError(path(), "changed while it was being read");
    // The last key of the block read before, for the first record of this one.
    if (keyOrder_ && recordsInBlock_ > 0) {
        const unsigned char* last =
            block_.data() + kBlockHeader + (recordsInBlock_ - 1) * recordSize_;
        previousKey_.assign(last, last + keyOrder_->keyBytes());
    }
    const size_t bytes = readBlockStart(blockNumber, block_.data(), blockSize_);
    ++blocksRead_;
    recordsInBlock_ = recordsIn(block_.data(), blockNumber, bytes);
    currentBlock_ = blockNumber;
    nextRecord_ = 0;
    nextBlock_ = le16(block_.data());
}

std::string Table::placeOfRecord() const {
    return "row " + std::to_string(rowsRead_ + 1) + " (record " + std::to_string(nextRecord_ + 1) +
           " of data block " + std::to_string(currentBlock_) + ")";
}

bool Table::next(std::vector<Value>& row) {
    if (reading_ == Reading::HeaderOnly)
        throw std::logic_error("a table opened for its header is read for rows");
    if (rowsRead_ >= rowCount_)
        return false;
    row.resize(fields_.size());
    if (reading_ == Reading::Strict) {
        while (nextRecord_ >= recordsInBlock_)
            loadBlock(nextBlock_);
        readStrictly(block_.data() + kBlockHeader + nextRecord_ * recordSize_, row);
    } else {
        // The records that planSalvage() took, and only those.
        while (nextRecord_ >= recordsInBlock_)
            loadPlannedBlock();
        const PlannedBlock& block = plan_[nextPlanned_ - 1];
        const uint16_t place = block.place(nextRecord_);
        const unsigned char* record = block_.data() + kBlockHeader + place * recordSize_;
        const bool blanks =
            nextBlanked_ < block.blanked.size() && block.blanked[nextBlanked_].first == place;
        for (size_t i = 0; i < fields_.size(); ++i) {
            const Field& field = fields_[i];
            if (blanks && nextBlanked_ < block.blanked.size() &&
                block.blanked[nextBlanked_] == std::pair<uint16_t, uint16_t>(place, i)) {
                row[i] = Value();
                ++nextBlanked_;
            } else if (field.isBlob()) {
                decodeSalvaged(field, record, row[i]);
            } else {
                // Planning found every other value one its type can hold.
                decodeField(field, record, row[i]);
            }
            record += field.size;
        }
    }
    ++nextRecord_;
    ++rowsRead_;
    return true;
}

void Table::readStrictly(const unsigned char* record, std::vector<Value>& row) {
    if (keyOrder_)
        checkKeyOrder(record);
    for (size_t i = 0; i < fields_.size(); ++i) {
        const Field& field = fields_[i];
        if (const char* fault = ruled_[i] ? storedValueFault(field, record) : nullptr)
            throw FormatError(path(), "is damaged at " + placeOfRecord() + ": its field " +
                                          field.name + " " + fault);
        decodeField(field, record, row[i]);
        record += field.size;
    }
}

void Table::checkEveryRecord() {
    for (; rowsRead_ < rowCount_; ++rowsRead_, ++nextRecord_) {
        while (nextRecord_ >= recordsInBlock_)
            loadBlock(nextBlock_);
        const unsigned char* record = block_.data() + kBlockHeader + nextRecord_ * recordSize_;
        if (keyOrder_)
            checkKeyOrder(record);
        for (size_t i = 0; i < fields_.size(); ++i) {
            const Field& field = fields_[i];
            if (const char* fault = ruled_[i] ? storedValueFault(field, record) : nullptr)
                throw FormatError(path(), "is damaged at " + placeOfRecord() + ": its field " +
                                              field.name + " " + fault);
            const unsigned char* trailer = record + field.size - kBlobTrailer;
            if (field.isBlob() && le32(trailer) != 0 && le32(trailer + 4) != 0) {
                try {
                    blobs_->check(le32(trailer), le32(trailer + 4));
                } catch (const BlobError& damaged) {
                    throw blobDamage(field, damaged);
                }
            }
            record += field.size;
        }
    }
}

FormatError Table::blobDamage(const Field& field, const BlobError& damaged) const {
    return FormatError(path(), "is damaged at " + placeOfRecord() + ": the value of its field " +
                                   field.name + " cannot be read: " + damaged.what());
}

void Table::checkKeyOrder(const unsigned char* record) {
    // Within a block against the record before; the first against the last of the block before.
    const unsigned char* previous = nextRecord_ > 0        ? record - recordSize_
                                    : previousKey_.empty() ? nullptr
                                                           : previousKey_.data();
    if (!previous)
        return;
    const KeyOrder::Comparison order = keyOrder_->compare(previous, record);
    if (order == KeyOrder::Comparison::Same)
        throw FormatError(path(), "is damaged at " + placeOfRecord() + ": its key " +
                                      keyOrder_->names() +
                                      " is the key of the row before it; a keyed table holds "
                                      "each key once");
    if (order == KeyOrder::Comparison::After)
        throw FormatError(path(), "is damaged at " + placeOfRecord() + ": its key " +
                                      keyOrder_->names() +
                                      " comes before the key of the row before it; a keyed table "
                                      "holds its rows in the order of their keys");
}

void Table::decodeField(const Field& field, const unsigned char* data, Value& out) {
    if (field.type == FieldType::Alpha) {
        const auto size = static_cast<size_t>(field.size);
        const void* end = std::memchr(data, 0, size);
        const size_t length =
            end ? static_cast<size_t>(static_cast<const unsigned char*>(end) - data) : size;
        if (length == 0)
            out = Value();
        else
            codePage_->decode(reinterpret_cast<const char*>(data), length, out.resetToText());
        return;
    }
    out = decodeValue(field, data);
}

Value Table::decodeStored(const Field& field, const unsigned char* data) {
    Value value;
    decodeField(field, data, value);
    return value;
}

Value Table::decodeValue(const Field& field, const unsigned char* data) {
    const auto size = static_cast<size_t>(field.size);
    switch (field.type) {
        case FieldType::Bytes:
            if (allZero(data, size))
                return {};
            return Value::bytes(std::string(reinterpret_cast<const char*>(data), size));
        case FieldType::Logical:
            if (data[0] == 0)
                return {};
            return Value::boolean((data[0] & 0x7F) != 0);
        case FieldType::Bcd: {
            if (data[0] == 0)
                return {};
            return Value::decimal(bcdText(data, field.decimals));
        }
        default:
            break;
    }
    if (field.isBlob())
        return decodeBlob(field, data);
    if (allZero(data, size))
        return {};
    switch (field.type) {
        case FieldType::Short:
        case FieldType::Long:
        case FieldType::AutoIncrement:
            return Value::integer(storedInteger(data, size));
        case FieldType::Date:
            return Value::date(static_cast<int32_t>(storedInteger(data, size)));
        case FieldType::Time:
            return Value::time(static_cast<int32_t>(storedInteger(data, size)));
        case FieldType::Money:
            // Money is a currency: four decimals, as database drivers deliver it.
            return Value::real(std::round(storedDouble(data) * 10000) / 10000);
        case FieldType::Number:
            return Value::real(storedDouble(data));
        case FieldType::Timestamp: {
            // Milliseconds since the day before 0001-01-01.
            const double ms = std::round(storedDouble(data));
            if (!(ms >= 0 && ms < 1e16))
                throw FormatError(path(), "holds an invalid timestamp in field " + field.name);
            const auto total = static_cast<int64_t>(ms);
            return Value::timestamp(static_cast<int32_t>(total / kMillisecondsPerDay),
                                    static_cast<int32_t>(total % kMillisecondsPerDay));
        }
        default:
            return {};
    }
}

Value Table::decodeBlob(const Field& field, const unsigned char* data) {
    const size_t leaderSize = static_cast<size_t>(field.size) - kBlobTrailer;
    const unsigned char* trailer = data + leaderSize;
    const uint32_t pointer = le32(trailer);
    const uint32_t length = le32(trailer + 4);
    if (length == 0)
        return {};
    std::string raw;
    if (pointer == 0) {
        if (length > leaderSize)
            throw FormatError(path(), "has a blob of " + std::to_string(length) +
                                          " bytes that does not fit its leader in field " +
                                          field.name);
        raw.assign(reinterpret_cast<const char*>(data), length);
    } else {
        // Graphics are stored behind an eight-byte prefix that the length counts; the picture is
        // read as that length from behind the prefix, as other readers hand it out.
        const uint32_t prefix = field.type == FieldType::Graphic ? 8 : 0;
        try {
            raw = blobs_->read(pointer, length, prefix);
        } catch (const BlobError& damaged) {
            throw blobDamage(field, damaged);
        }
    }
    switch (field.type) {
        case FieldType::Memo: {
            std::string text;
            codePage_->decode(raw.data(), raw.size(), text);
            return Value::text(std::move(text));
        }
        default:
            return Value::bytes(std::move(raw));
    }
}

}  // namespace px
