// The salvage reading of a damaged table: which blocks it reads, in which order, and which of
// their records it takes. Nothing is invented:
// - the chain is followed as its blocks link it, forward and then back from the last block where
//   it breaks, whatever the free-block list says;
// - other blocks are read by their position only while the chain stays broken, and only those
//   that agree with the table: every record a row by the evidence, keys in order, none taken
//   before;
// - a record is a row when every value is one its type can hold, and in a keyed table when its
//   key stands in order between its neighbours and was not taken before. A row of a keyed table
//   whose key vouches for it keeps one value that is no value as NULL, counted.
// Every block is visited once, so no record is taken twice; every record left out, every value
// replaced and every repair is named in the report.
#include <algorithm>
#include <cstring>

#include "FormatError.h"
#include "RecordRules.h"
#include "StoredBytes.h"
#include "Table.h"

namespace px {

namespace {

using Comparison = KeyOrder::Comparison;

// What SalvagePlan::run() answers when the chain or the row count does not hold.
constexpr const char* kBrokenStructure = "structure";

uint64_t hashOf(const unsigned char* bytes, size_t size) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

// A record that the evidence shows to be a row: its place in its block, and the one field it
// holds that is no value (-1 for none).
struct Candidate {
    uint16_t place;
    int16_t blanked;
};

}  // namespace

class Table::SalvagePlan {
  public:
    explicit SalvagePlan(Table& table)
        : t_(table),
          head_(256),
          pendingBytes_(table.blockSize_),
          incomingBytes_(table.blockSize_) {}

    // Plans the reading; what the strict reading would refuse first, or "".
    std::string run();

  private:
    // The records of a block that a reading can take, and its block number.
    struct ReadBlock {
        uint32_t number = 0;
        unsigned records = 0;  // those wholly inside the file
        unsigned claimed = 0;  // those its header counts
        std::vector<Candidate> candidates;
        unsigned undecodable = 0;
        // A block whose own header is damaged, read for the keys of its records: how many it
        // held is not known, so none of its records is counted lost.
        bool headerless = false;
    };

    // The records a block's header claims, or none when the header cannot be a data block's of
    // this table (`why_` then says so).
    std::optional<unsigned> plausibleRecords(uint32_t number);
    std::optional<unsigned> recordsClaimedBy(const unsigned char* head);
    std::vector<bool> freeBlocks();
    void classify(ReadBlock& block, const std::vector<unsigned char>& bytes);
    // Reads a whole block into `incoming_` and classifies its records; false when it cannot be a
    // block of the chain.
    bool load(uint32_t number);
    // Loads a block of a keyed table whose header is damaged, but which both its neighbours in
    // the chain name: every place of it, for its records' keys to tell which are rows.
    void loadHeaderless(uint32_t number);
    // Follows the chain forward, then back from its last block where it breaks, taking the rows
    // of its blocks in order; whether it holds together.
    bool takeChain(const std::vector<bool>& free);
    // The block loaded last joins the chain; the one before it is taken, bounded by it.
    void feed();
    void flush();
    // Of a block's candidates, those whose keys stand in order after `lower` and before the
    // first key of the block that follows (`following`).
    std::vector<Candidate> inKeyOrder(const ReadBlock& block,
                                      const std::vector<unsigned char>& bytes,
                                      const ReadBlock* following,
                                      const std::vector<unsigned char>& followingBytes);
    void keep(const ReadBlock& block, const std::vector<unsigned char>& bytes,
              const std::vector<Candidate>& kept);
    // Drops the later rows of keys taken twice, where the key order cannot tell them apart.
    void dropRepeatedKeys();
    // The hashes of the keys of the rows taken so far, sorted, read from their blocks again.
    void hashTakenKeys();
    // Takes the blocks outside a broken chain that agree with the table.
    void takeByPosition(const std::vector<bool>& free);
    // Names the blocks outside a whole chain that hold records.
    void nameBlocksOutside(const std::vector<bool>& free);
    void lose(uint32_t number, int64_t rows, std::string why);
    const unsigned char* recordIn(const std::vector<unsigned char>& bytes, unsigned place) const {
        return bytes.data() + kBlockHeader + place * t_.recordSize_;
    }
    bool inOrder(const unsigned char* before, const unsigned char* after) const {
        const Comparison order = t_.keyOrder_->compare(before, after);
        return order == Comparison::Before || order == Comparison::Unknown;
    }

    Table& t_;
    std::vector<unsigned char> head_;
    // A block of the chain waits to be taken until the next one is read, whose first key bounds
    // its keys.
    ReadBlock pending_;
    ReadBlock incoming_;
    std::vector<unsigned char> pendingBytes_;
    std::vector<unsigned char> incomingBytes_;
    bool hasPending_ = false;
    std::string why_;
    std::vector<uint32_t> chain_;
    uint64_t recordsClaimed_ = 0;  // by the blocks of the chain
    std::vector<bool> seen_;
    std::vector<unsigned char> lastKey_;  // the key of the last row taken
    // The keys taken, where a later block could repeat them: hashes with the row's number.
    std::vector<std::pair<uint64_t, uint64_t>> keys_;
    bool collectKeys_ = false;
    uint64_t recordsSeen_ = 0;
    std::string firstFault_;
};

std::optional<unsigned> Table::SalvagePlan::plausibleRecords(uint32_t number) {
    try {
        t_.readBlockStart(number, head_.data(), t_.cipher_ ? 256 : kBlockHeader);
    } catch (const FormatError&) {
        why_ = "it lies beyond the end of the file";
        return std::nullopt;
    }
    return recordsClaimedBy(head_.data());
}

std::optional<unsigned> Table::SalvagePlan::recordsClaimedBy(const unsigned char* head) {
    // The previous block is always one the file holds; the next one may lie past a cut.
    if (le16(head + 2) > t_.blocksInFile_) {
        why_ = "its header points outside the file";
        return std::nullopt;
    }
    const int added = static_cast<int16_t>(le16(head + 4));
    if (added < 0)
        return 0u;
    const unsigned size = t_.recordSize_;
    if (added % static_cast<int>(size) != 0 ||
        kBlockHeader + (static_cast<unsigned>(added) / size + 1) * size > t_.blockSize_) {
        why_ = "its header claims records it cannot hold";
        return std::nullopt;
    }
    return static_cast<unsigned>(added) / size + 1;
}

std::vector<bool> Table::SalvagePlan::freeBlocks() {
    // A free block holds the number of the next free one where a data block holds its next.
    std::vector<bool> free(t_.blocksInFile_ + 1);
    for (uint32_t number = t_.firstFreeBlock_;
         number != 0 && number <= t_.blocksInFile_ && !free[number];) {
        free[number] = true;
        try {
            t_.readBlockStart(number, head_.data(), t_.cipher_ ? 256 : kBlockHeader);
        } catch (const FormatError&) {
            break;
        }
        number = le16(head_.data());
    }
    return free;
}

void Table::SalvagePlan::classify(ReadBlock& block, const std::vector<unsigned char>& bytes) {
    const int keyFields = t_.keyOrder_ ? t_.keyFields_ : 0;
    for (unsigned place = 0; place < block.records; ++place, ++recordsSeen_) {
        const unsigned char* data = recordIn(bytes, place);
        // A record of zeros is space never written, not a row.
        bool row = !allZero(data, t_.recordSize_);
        int blanked = -1;
        const char* fault = nullptr;
        std::string faultyField;
        for (int i = 0; row && i < static_cast<int>(t_.fields_.size()); ++i) {
            const Field& field = t_.fields_[static_cast<size_t>(i)];
            const char* why = t_.ruled_[static_cast<size_t>(i)] ? storedValueFault(field, data)
                              : field.type == FieldType::Alpha &&
                                      !paddedWithZeros(data, static_cast<size_t>(field.size))
                                  ? "holds bytes after the end of its text"
                                  : nullptr;
            data += field.size;
            if (!why)
                continue;
            if (!fault) {
                fault = why;
                faultyField = field.name;
            }
            // A key vouches for a row with one value that is no value; nothing vouches more.
            if (i < keyFields || keyFields == 0 || blanked >= 0)
                row = false;
            else
                blanked = i;
        }
        if (fault && firstFault_.empty())
            firstFault_ = "is damaged at row " + std::to_string(recordsSeen_ + 1) + " (record " +
                          std::to_string(place + 1) + " of data block " +
                          std::to_string(block.number) + "): its field " + faultyField + " " +
                          fault;
        if (row)
            block.candidates.push_back(
                {static_cast<uint16_t>(place), static_cast<int16_t>(blanked)});
        else
            ++block.undecodable;
    }
}

std::vector<Candidate> Table::SalvagePlan::inKeyOrder(
    const ReadBlock& block, const std::vector<unsigned char>& bytes, const ReadBlock* following,
    const std::vector<unsigned char>& followingBytes) {
    const std::vector<Candidate>& all = block.candidates;
    // The first key of the next block that comes after the last key taken bounds this block.
    const unsigned char* upper = nullptr;
    if (following)
        for (const Candidate& next : following->candidates) {
            const unsigned char* key = recordIn(followingBytes, next.place);
            if (lastKey_.empty() ||
                t_.keyOrder_->compare(lastKey_.data(), key) == Comparison::Before) {
                upper = key;
                break;
            }
        }
    const auto fits = [&](const Candidate& c) {
        const unsigned char* key = recordIn(bytes, c.place);
        return (lastKey_.empty() || inOrder(lastKey_.data(), key)) &&
               (!upper || inOrder(key, upper));
    };
    bool ordered = true;
    for (size_t i = 0; i < all.size() && ordered; ++i)
        ordered = fits(all[i]) && (i == 0 || inOrder(recordIn(bytes, all[i - 1].place),
                                                     recordIn(bytes, all[i].place)));
    if (ordered)
        return all;
    // The longest run of records in key order: the rows; the others stand out of order.
    std::vector<int> length(all.size(), 0);
    std::vector<int> before(all.size(), -1);
    int best = -1;
    for (size_t i = 0; i < all.size(); ++i) {
        if (!fits(all[i]))
            continue;
        length[i] = 1;
        for (size_t j = 0; j < i; ++j)
            if (length[j] > 0 && length[j] + 1 > length[i] &&
                inOrder(recordIn(bytes, all[j].place), recordIn(bytes, all[i].place))) {
                length[i] = length[j] + 1;
                before[i] = static_cast<int>(j);
            }
        if (best < 0 || length[i] > length[static_cast<size_t>(best)])
            best = static_cast<int>(i);
    }
    std::vector<Candidate> kept;
    for (int i = best; i >= 0; i = before[static_cast<size_t>(i)])
        kept.push_back(all[static_cast<size_t>(i)]);
    std::reverse(kept.begin(), kept.end());
    return kept;
}

void Table::SalvagePlan::keep(const ReadBlock& block, const std::vector<unsigned char>& bytes,
                              const std::vector<Candidate>& kept) {
    PlannedBlock planned;
    planned.number = block.number;
    planned.count = static_cast<unsigned>(kept.size());
    bool inPlace = true;
    for (unsigned i = 0; i < kept.size(); ++i) {
        inPlace = inPlace && kept[i].place == i;
        if (kept[i].blanked >= 0) {
            planned.blanked.push_back({kept[i].place, static_cast<uint16_t>(kept[i].blanked)});
            ++t_.salvage_.valuesLost[t_.fields_[static_cast<size_t>(kept[i].blanked)].name];
        }
        if (collectKeys_)
            keys_.push_back({hashOf(recordIn(bytes, kept[i].place), t_.keyOrder_->keyBytes()),
                             t_.rowCount_ + i});
    }
    if (!inPlace)
        for (const Candidate& candidate : kept)
            planned.places.push_back(candidate.place);
    if (t_.keyOrder_ && !kept.empty()) {
        const unsigned char* last = recordIn(bytes, kept.back().place);
        lastKey_.assign(last, last + t_.keyOrder_->keyBytes());
    }
    t_.rowCount_ += kept.size();
    const unsigned outOfOrder = static_cast<unsigned>(block.candidates.size() - kept.size());
    if (!block.headerless && (block.undecodable > 0 || outOfOrder > 0))
        lose(block.number, block.undecodable + outOfOrder,
             outOfOrder == 0          ? "records that do not decode"
             : block.undecodable == 0 ? "records whose keys are out of order or taken before"
                                      : "records that do not decode, or whose keys are out of "
                                        "order or taken before");
    if (block.claimed > block.records)
        lose(block.number, block.claimed - block.records, "records beyond the end of the file");
    if (planned.count > 0)
        t_.plan_.push_back(std::move(planned));
}

bool Table::SalvagePlan::load(uint32_t number) {
    incoming_ = ReadBlock();
    incoming_.number = number;
    size_t inFile = 0;
    try {
        inFile = t_.readBlockStart(number, incomingBytes_.data(), t_.blockSize_);
    } catch (const FormatError&) {
        why_ = "it lies beyond the end of the file";
        return false;
    }
    const std::optional<unsigned> claimed = recordsClaimedBy(incomingBytes_.data());
    if (!claimed)
        return false;
    incoming_.claimed = *claimed;
    // A file cut inside the block keeps the records wholly before the cut.
    incoming_.records = std::min<unsigned>(
        *claimed, static_cast<unsigned>((inFile - kBlockHeader) / t_.recordSize_));
    classify(incoming_, incomingBytes_);
    return true;
}

void Table::SalvagePlan::loadHeaderless(uint32_t number) {
    incoming_ = ReadBlock();
    incoming_.number = number;
    incoming_.headerless = true;
    const size_t inFile = t_.readBlockStart(number, incomingBytes_.data(), t_.blockSize_);
    incoming_.records = incoming_.claimed = static_cast<unsigned>(
        (std::min<size_t>(inFile, t_.blockSize_) - kBlockHeader) / t_.recordSize_);
    classify(incoming_, incomingBytes_);
}

void Table::SalvagePlan::feed() {
    seen_[incoming_.number] = true;
    chain_.push_back(incoming_.number);
    recordsClaimed_ += incoming_.claimed;
    if (hasPending_)
        keep(pending_, pendingBytes_,
             t_.keyOrder_ ? inKeyOrder(pending_, pendingBytes_, &incoming_, incomingBytes_)
                          : pending_.candidates);
    std::swap(pending_, incoming_);
    std::swap(pendingBytes_, incomingBytes_);
    hasPending_ = true;
}

void Table::SalvagePlan::flush() {
    if (hasPending_)
        keep(pending_, pendingBytes_,
             t_.keyOrder_ ? inKeyOrder(pending_, pendingBytes_, nullptr, incomingBytes_)
                          : pending_.candidates);
    hasPending_ = false;
}

bool Table::SalvagePlan::takeChain(const std::vector<bool>& free) {
    seen_.assign(t_.blocksInFile_ + 1, false);
    // Forward from the first block while each block can be one of the chain.
    uint32_t number = t_.firstBlock_;
    while (number != 0 && number <= t_.blocksInFile_ && !seen_[number] && load(number)) {
        feed();
        number = le16(pendingBytes_.data());
    }
    // The block the forward walk could not read, named by the block before it.
    const uint32_t stoppedAt =
        number != 0 && number <= t_.blocksInFile_ && !seen_[number] ? number : 0;
    // A chain that ends holds together unless a last block stands apart from it: the one the
    // header names, a block of the table that leads nowhere and is not free.
    const uint32_t last = t_.lastBlock_;
    if (number == 0 && (last == 0 || last > t_.blocksInFile_ || seen_[last] || free[last] ||
                        !plausibleRecords(last) || le16(head_.data()) != 0)) {
        flush();
        return true;
    }
    const std::string broke = chain_.empty()
                                  ? std::string("its chain broke at its first block")
                                  : "its chain broke after block " + std::to_string(chain_.back());
    // Back from the last block through the previous-block pointers, each block leading on to
    // the one taken before it.
    std::vector<uint32_t> tail;
    uint32_t leadsTo = 0;
    for (number = last;
         number != 0 && number <= t_.blocksInFile_ && !seen_[number] && !free[number];) {
        if (!plausibleRecords(number) || le16(head_.data()) != leadsTo)
            break;
        tail.push_back(number);
        leadsTo = number;
        number = le16(head_.data() + 2);
    }
    const bool joined = !tail.empty() && (chain_.empty() ? number == 0 : number == chain_.back());
    // One block between the two walks, whose header alone is damaged: its neighbours name it, and
    // a keyed table's keys tell its rows from what its places hold besides.
    const bool bridged = !joined && !tail.empty() && !chain_.empty() && stoppedAt != 0 &&
                         number == stoppedAt && t_.keyOrder_;
    // Its rows are counted once it is taken: the next block's keys bound them.
    uint64_t bridgedRows = 0;
    if (bridged) {
        loadHeaderless(stoppedAt);
        feed();
    }
    const uint64_t beforeTail = t_.rowCount_;
    for (auto block = tail.rbegin(); block != tail.rend(); ++block) {
        if (load(*block))
            feed();
        if (block == tail.rbegin())
            bridgedRows = t_.rowCount_ - beforeTail;
    }
    flush();
    if (joined) {
        t_.salvage_.repairs.push_back(broke + " and was followed back from its last block");
        return true;
    }
    if (bridged) {
        lose(stoppedAt, -1, "its header is damaged");
        t_.salvage_.repairs.push_back(
            "the header of block " + std::to_string(stoppedAt) +
            " is damaged; the blocks on either side name it, and " + std::to_string(bridgedRows) +
            (bridgedRows == 1 ? " row" : " rows") + " in key order were read from it");
        return true;
    }
    t_.salvage_.repairs.push_back(broke +
                                  (tail.empty()
                                       ? std::string()
                                       : "; it was followed back from its last block to block " +
                                             std::to_string(tail.back())) +
                                  "; blocks outside it were read by position");
    return false;
}

void Table::SalvagePlan::dropRepeatedKeys() {
    std::sort(keys_.begin(), keys_.end());
    std::vector<uint64_t> repeated;
    for (size_t i = 1; i < keys_.size(); ++i)
        if (keys_[i].first == keys_[i - 1].first)
            repeated.push_back(keys_[i].second);
    keys_.erase(std::unique(keys_.begin(), keys_.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                keys_.end());
    if (repeated.empty())
        return;
    std::sort(repeated.begin(), repeated.end());
    uint64_t row = 0;
    size_t next = 0;
    for (PlannedBlock& block : t_.plan_) {
        PlannedBlock kept;
        kept.number = block.number;
        unsigned dropped = 0;
        size_t blankedAt = 0;
        for (unsigned i = 0; i < block.count; ++i, ++row) {
            const uint16_t place = block.place(i);
            const bool blanked =
                blankedAt < block.blanked.size() && block.blanked[blankedAt].first == place;
            if (next < repeated.size() && repeated[next] == row) {
                ++next;
                ++dropped;
                blankedAt += blanked;
                continue;
            }
            kept.places.push_back(place);
            if (blanked)
                kept.blanked.push_back(block.blanked[blankedAt++]);
            ++kept.count;
        }
        if (dropped > 0) {
            lose(block.number, dropped, "records whose keys were taken before");
            block = std::move(kept);
        }
    }
    t_.rowCount_ -= repeated.size();
    std::erase_if(t_.plan_, [](const PlannedBlock& block) { return block.count == 0; });
}

void Table::SalvagePlan::hashTakenKeys() {
    uint64_t row = 0;
    for (const PlannedBlock& block : t_.plan_) {
        t_.readBlockStart(block.number, incomingBytes_.data(), t_.blockSize_);
        for (unsigned i = 0; i < block.count; ++i)
            keys_.push_back(
                {hashOf(recordIn(incomingBytes_, block.place(i)), t_.keyOrder_->keyBytes()),
                 row++});
    }
    std::sort(keys_.begin(), keys_.end());
}

void Table::SalvagePlan::takeByPosition(const std::vector<bool>& free) {
    for (uint32_t number = 1; number <= t_.blocksInFile_; ++number) {
        if (seen_[number] || free[number])
            continue;
        // A block of zeros, or one cut off before its header, was never written.
        if (t_.bytesOfBlock(number) < kBlockHeader)
            continue;
        t_.readBlockStart(number, incomingBytes_.data(), t_.blockSize_);
        if (allZero(incomingBytes_.data(), incomingBytes_.size()))
            continue;
        if (!load(number)) {
            lose(number, -1, why_);
            continue;
        }
        const ReadBlock& block = incoming_;
        if (block.claimed == 0)
            continue;
        std::string refused;
        if (block.records < block.claimed || block.undecodable > 0)
            refused = "not all its records are rows of this table";
        std::vector<uint64_t> hashes;
        for (size_t i = 0; refused.empty() && t_.keyOrder_ && i < block.candidates.size(); ++i) {
            const unsigned char* key = recordIn(incomingBytes_, block.candidates[i].place);
            if (i > 0 && !inOrder(recordIn(incomingBytes_, block.candidates[i - 1].place), key))
                refused = "its keys are out of order";
            const uint64_t hash = hashOf(key, t_.keyOrder_->keyBytes());
            if (std::binary_search(keys_.begin(), keys_.end(), std::make_pair(hash, uint64_t(0)),
                                   [](const auto& a, const auto& b) { return a.first < b.first; }))
                refused = "its keys are taken already";
            hashes.push_back(hash);
        }
        if (!refused.empty()) {
            t_.salvage_.blocksNotTaken.push_back({number, block.claimed, refused});
            continue;
        }
        seen_[number] = true;
        const uint64_t firstRow = t_.rowCount_;
        keep(block, incomingBytes_, block.candidates);
        t_.salvage_.rowsByPosition += block.candidates.size();
        // Its keys are taken now, for the blocks that follow.
        for (size_t i = 0; i < hashes.size(); ++i) {
            const std::pair<uint64_t, uint64_t> taken{hashes[i], firstRow + i};
            keys_.insert(std::upper_bound(keys_.begin(), keys_.end(), taken), taken);
        }
    }
}

void Table::SalvagePlan::nameBlocksOutside(const std::vector<bool>& free) {
    for (uint32_t number = 1; number <= t_.blocksInFile_; ++number) {
        if (seen_[number] || free[number])
            continue;
        const std::optional<unsigned> claimed = plausibleRecords(number);
        if (!claimed || *claimed == 0 || t_.bytesOfBlock(number) < kBlockHeader)
            continue;
        t_.readBlockStart(number, incomingBytes_.data(), t_.blockSize_);
        if (!allZero(incomingBytes_.data() + kBlockHeader, incomingBytes_.size() - kBlockHeader))
            t_.salvage_.blocksNotTaken.push_back(
                {number, *claimed, "it lies outside the block chain, which holds together"});
    }
}

void Table::SalvagePlan::lose(uint32_t number, int64_t rows, std::string why) {
    t_.salvage_.lostBlocks.push_back({number, rows, std::move(why)});
}

std::string Table::SalvagePlan::run() {
    t_.rowCount_ = 0;
    const std::vector<bool> free = freeBlocks();
    // Where keys cannot all be ordered, keys taken twice are found by their hashes.
    collectKeys_ = t_.keyOrder_ && !t_.keyOrder_->total();
    const bool whole = takeChain(free);
    for (uint32_t number : chain_)
        if (free[number]) {
            t_.salvage_.repairs.push_back("its free-block list names block " +
                                          std::to_string(number) +
                                          " of its chain, which was read all the same");
            break;
        }
    if (collectKeys_)
        dropRepeatedKeys();
    if (whole) {
        nameBlocksOutside(free);
    } else {
        if (t_.keyOrder_ && !collectKeys_)
            hashTakenKeys();
        takeByPosition(free);
    }
    t_.blocksInChain_ = static_cast<uint32_t>(t_.plan_.size());
    // What the strict reading would refuse first: the chain, the header's word, a record.
    if (!whole || recordsClaimed_ != t_.recordsInHeader_)
        return kBrokenStructure;
    if (const std::string flags = t_.rebuildFlags(); !flags.empty())
        return FormatError(t_.path(), flags).what();
    return firstFault_.empty() ? std::string() : FormatError(t_.path(), firstFault_).what();
}

void Table::planSalvage() {
    std::string damage = SalvagePlan(*this).run();
    if (damage == kBrokenStructure) {
        // The strict reading's own words for a chain or a count that does not hold.
        const uint64_t rows = rowCount_;
        const uint32_t blocks = blocksInChain_;
        rowCount_ = 0;
        blocksInChain_ = 0;
        try {
            countRows();
            damage.clear();
        } catch (const FormatError& broken) {
            damage = broken.what();
        }
        rowCount_ = rows;
        blocksInChain_ = blocks;
    }
    salvage_.damage = std::move(damage);
}

void Table::loadPlannedBlock() {
    if (nextPlanned_ >= plan_.size())
        throw FormatError(path(), "changed while it was being read");
    const PlannedBlock& block = plan_[nextPlanned_++];
    readBlockStart(block.number, block_.data(), blockSize_);
    currentBlock_ = block.number;
    recordsInBlock_ = block.count;
    nextRecord_ = 0;
    nextBlanked_ = 0;
}

void Table::decodeSalvaged(const Field& field, const unsigned char* data, Value& out) {
    try {
        if (field.isBlob() && !blobs_ && le32(data + field.size - kBlobTrailer) != 0)
            throw FormatError(path(), "has no blob file to read from");
        decodeField(field, data, out);
        return;
    } catch (const FormatError&) {
    }
    // A memo keeps the text its record holds; any other value is lost.
    out = Value();
    if (field.type == FieldType::Memo) {
        ++salvage_.memosCut[field.name];
        const size_t leader = static_cast<size_t>(field.size) - kBlobTrailer;
        const void* end = std::memchr(data, 0, leader);
        const size_t length =
            end ? static_cast<size_t>(static_cast<const unsigned char*>(end) - data) : leader;
        if (length > 0)
            codePage_->decode(reinterpret_cast<const char*>(data), length, out.resetToText());
    } else {
        ++salvage_.valuesLost[field.name];
    }
}

}  // namespace px
