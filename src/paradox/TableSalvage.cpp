// The salvage reading of a damaged table: which blocks it reads, in which order, and which of
// their records it takes. Nothing is invented: a block is taken only when its header is
// plausible, a record only when each of its fields decodes as its type allows, and every block
// is visited once, so no row arrives twice.
#include <cmath>

#include "FormatError.h"
#include "StoredBytes.h"
#include "Table.h"

namespace px {

namespace {

constexpr int32_t kLastDay = 3652059;  // 9999-12-31, in days from 0001-01-01
constexpr int32_t kMillisecondsPerDay = 86400000;

}  // namespace

std::vector<bool> Table::freeBlocks() const {
    // A free block holds the number of the next free one where a data block holds its next.
    std::vector<bool> free(blocksInFile_ + 1);
    unsigned char head[256];
    const size_t headBytes = cipher_ ? sizeof head : kBlockHeader;
    for (uint32_t number = firstFreeBlock_;
         number != 0 && number <= blocksInFile_ && !free[number];) {
        free[number] = true;
        try {
            readBlockStart(number, head, headBytes);
        } catch (const FormatError&) {
            break;
        }
        number = le16(head);
    }
    return free;
}

std::optional<unsigned> Table::plausibleRecords(uint32_t number, unsigned char* head,
                                                std::string& why) const {
    size_t bytes = 0;
    try {
        bytes = readBlockStart(number, head, cipher_ ? 256 : kBlockHeader);
    } catch (const FormatError&) {
        why = "it lies beyond the end of the file";
        return std::nullopt;
    }
    // The previous block is always one the file holds; the next one may lie past a cut.
    if (le16(head + 2) > blocksInFile_) {
        why = "its header points outside the file";
        return std::nullopt;
    }
    const int added = static_cast<int16_t>(le16(head + 4));
    if (added < 0)
        return 0u;
    if (added % static_cast<int>(recordSize_) != 0 ||
        kBlockHeader + (static_cast<unsigned>(added) / recordSize_ + 1) * recordSize_ >
            blockSize_) {
        why = "its header claims records it cannot hold";
        return std::nullopt;
    }
    const unsigned claimed = static_cast<unsigned>(added) / recordSize_ + 1;
    // A file cut inside the block keeps the records wholly before the cut.
    const auto inFile = static_cast<unsigned>((bytes - kBlockHeader) / recordSize_);
    return std::min(claimed, inFile);
}

bool Table::recordReadable(const unsigned char* record) const {
    // A record of zeros in a damaged table is space never written, not a row.
    if (allZero(record, recordSize_))
        return false;
    for (const Field& field : fields_) {
        const unsigned char* data = record;
        record += field.size;
        const auto size = static_cast<size_t>(field.size);
        if (allZero(data, size))
            continue;  // blank
        switch (field.type) {
            case FieldType::Alpha: {
                // Text is padded with zeros after its end.
                const void* end = std::memchr(data, 0, size);
                if (end && !allZero(static_cast<const unsigned char*>(end),
                                    size - static_cast<size_t>(
                                               static_cast<const unsigned char*>(end) - data)))
                    return false;
                break;
            }
            case FieldType::Logical:
                if (data[0] != 0x80 && data[0] != 0x81)
                    return false;
                break;
            case FieldType::Date: {
                const int64_t day = storedInteger(data, size);
                if (day < 1 || day > kLastDay)
                    return false;
                break;
            }
            case FieldType::Time: {
                const int64_t ms = storedInteger(data, size);
                if (ms < 0 || ms >= kMillisecondsPerDay)
                    return false;
                break;
            }
            case FieldType::Timestamp: {
                const double ms = storedDouble(data);
                if (!(ms >= 0 && ms < double(kLastDay + 1) * kMillisecondsPerDay))
                    return false;
                break;
            }
            case FieldType::Number:
            case FieldType::Money:
                if (!std::isfinite(storedDouble(data)))
                    return false;
                break;
            default:
                if (field.isBlob()) {
                    // Its length must fit its leader when it has no blob, and be a length.
                    const unsigned char* trailer = data + size - kBlobTrailer;
                    const uint32_t length = le32(trailer + 4);
                    if (le32(trailer) == 0 && length > size - kBlobTrailer)
                        return false;
                    if (length > 0x7FFFFFFF)
                        return false;
                }
                break;
        }
    }
    return true;
}

void Table::planSalvage(const std::string& damage) {
    salvage_.damage = damage;
    rowCount_ = 0;
    blocksInChain_ = 0;
    std::vector<bool> taken = freeBlocks();  // free blocks are never read
    unsigned char head[256];
    std::vector<PlannedBlock> chain;
    const auto take = [&](uint32_t number, unsigned records, std::vector<PlannedBlock>& into) {
        taken[number] = true;
        into.push_back({number, records});
    };
    // Forward from the first block while each step is plausible.
    bool broken = false;
    for (uint32_t number = firstBlock_; number != 0;) {
        std::string why;
        const std::optional<unsigned> records = number <= blocksInFile_ && !taken[number]
                                                    ? plausibleRecords(number, head, why)
                                                    : std::nullopt;
        if (!records) {
            broken = true;
            break;
        }
        take(number, *records, chain);
        number = le16(head);
    }
    // Backward from the last block through the previous-block pointers.
    if (broken) {
        std::vector<PlannedBlock> tail;
        for (uint32_t number = lastBlock_;
             number != 0 && number <= blocksInFile_ && !taken[number];) {
            std::string why;
            const std::optional<unsigned> records = plausibleRecords(number, head, why);
            if (!records)
                break;
            take(number, *records, tail);
            number = le16(head + 2);
        }
        chain.insert(chain.end(), tail.rbegin(), tail.rend());
    }
    // Every other block by its position: one that holds records is read, or named as lost.
    for (uint32_t number = 1; number <= blocksInFile_; ++number) {
        if (taken[number])
            continue;
        std::string why;
        const std::optional<unsigned> records = plausibleRecords(number, head, why);
        if (!records) {
            // A block of zeros, or one cut off before its header, was never written.
            std::vector<unsigned char> whole(blockSize_);
            const size_t bytes = bytesOfBlock(number);
            if (bytes >= kBlockHeader)
                readBlockStart(number, whole.data(), blockSize_);
            if (bytes >= kBlockHeader && !allZero(whole.data(), whole.size()))
                salvage_.lostBlocks.push_back({number, -1, why});
            continue;
        }
        if (*records == 0)
            continue;
        std::vector<unsigned char> whole(blockSize_);
        readBlockStart(number, whole.data(), blockSize_);
        if (allZero(whole.data(), whole.size()))
            continue;
        take(number, *records, chain);
    }
    // The records of the blocks taken that decode; those that do not are named per block.
    for (const PlannedBlock& block : chain) {
        std::vector<unsigned char> whole(blockSize_);
        readBlockStart(block.number, whole.data(), blockSize_);
        unsigned readable = 0;
        for (unsigned record = 0; record < block.records; ++record)
            readable += recordReadable(whole.data() + kBlockHeader + record * recordSize_);
        rowCount_ += readable;
        const int added = static_cast<int16_t>(le16(whole.data() + 4));
        const unsigned claimed = added < 0 ? 0 : static_cast<unsigned>(added) / recordSize_ + 1;
        if (readable < claimed)
            salvage_.lostBlocks.push_back({block.number, claimed - readable,
                                           readable < block.records
                                               ? "records that do not decode"
                                               : "records beyond the end of the file"});
    }
    blocksInChain_ = static_cast<uint32_t>(chain.size());
    plan_ = std::move(chain);
    if (plan_.empty())
        plan_.push_back({0, 0});  // a salvage reading with no block to read still reads by plan
}

void Table::loadPlannedBlock() {
    if (nextPlanned_ >= plan_.size() || plan_[nextPlanned_].number == 0)
        throw FormatError(path(), "changed while it was being read");
    const PlannedBlock& block = plan_[nextPlanned_++];
    readBlockStart(block.number, block_.data(), blockSize_);
    recordsInBlock_ = block.records;
    nextRecord_ = 0;
}

void Table::decodeSalvaged(const Field& field, const unsigned char* data, Value& out) {
    try {
        if (field.isBlob() && !blobs_ && le32(data + field.size - kBlobTrailer) != 0)
            throw FormatError(path(), "has no blob file to read from");
        decodeField(field, data, out);
        return;
    } catch (const FormatError&) {
        ++salvage_.valuesLost[field.name];
    }
    // A memo keeps the text its record holds; any other value is lost.
    out = Value();
    if (field.type == FieldType::Memo) {
        const size_t leader = static_cast<size_t>(field.size) - kBlobTrailer;
        const void* end = std::memchr(data, 0, leader);
        const size_t length =
            end ? static_cast<size_t>(static_cast<const unsigned char*>(end) - data) : leader;
        if (length > 0)
            codePage_->decode(reinterpret_cast<const char*>(data), length, out.resetToText());
    }
}

}  // namespace px
