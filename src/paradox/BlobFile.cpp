#include "BlobFile.h"

#include <algorithm>
#include <cstring>

#include "FormatError.h"

namespace px {

namespace {
constexpr uint64_t kBlockUnit = 4096;
constexpr uint64_t kChunk = 256;
constexpr unsigned kSingleBlob = 0xFF;
constexpr size_t kSingleHeader = 9;
constexpr size_t kSubHeader = 12;
constexpr size_t kSubEntry = 5;
}  // namespace

BlobFile::BlobFile(const std::string& path, std::optional<Cipher> cipher)
    : file_(path), cipher_(cipher) {}

void BlobFile::readDecrypted(uint64_t offset, size_t length, std::vector<unsigned char>& out) {
    if (offset > file_.size() || length > file_.size() - offset)
        throw FormatError(file_.path(), "is truncated: a blob at offset " + std::to_string(offset) +
                                            " runs past its end");
    if (!cipher_) {
        out.resize(length);
        file_.readAt(offset, out.data(), length);
        return;
    }
    // Chunks are enciphered whole, so read from the chunk start to the chunk end.
    const uint64_t start = offset - offset % kChunk;
    uint64_t end = offset + length;
    end = std::min<uint64_t>((end + kChunk - 1) / kChunk * kChunk, file_.size());
    buffer_.resize(end - start);
    file_.readAt(start, buffer_.data(), buffer_.size());
    cipher_->decryptBlobChunks(buffer_.data(), buffer_.size());
    out.assign(buffer_.begin() + static_cast<std::ptrdiff_t>(offset - start),
               buffer_.begin() + static_cast<std::ptrdiff_t>(offset - start + length));
}

std::string BlobFile::read(uint32_t pointer, uint32_t length, uint32_t skip) {
    const unsigned index = pointer & 0xFF;
    const uint64_t blockOffset = pointer & ~uint32_t(0xFF);
    if (blockOffset == 0 || blockOffset % kBlockUnit != 0 || blockOffset >= file_.size())
        throw FormatError(file_.path(), "has no blob block at offset " +
                                            std::to_string(blockOffset) + " where a record points");
    return index == kSingleBlob ? readSingle(blockOffset, length, skip)
                                : readSuballocated(blockOffset, index, length, skip);
}

std::string BlobFile::readSingle(uint64_t blockOffset, uint32_t length, uint32_t skip) {
    std::vector<unsigned char> head;
    readDecrypted(blockOffset, kSingleHeader, head);
    const unsigned chunks = head[1] | head[2] << 8;
    const uint32_t stored = head[3] | head[4] << 8 | head[5] << 16 | uint32_t(head[6]) << 24;
    if (head[0] != 2 || stored != length || kSingleHeader + uint64_t(length) > chunks * kBlockUnit)
        throw FormatError(file_.path(),
                          "has a damaged blob block at offset " + std::to_string(blockOffset));
    const uint64_t blockEnd = blockOffset + chunks * kBlockUnit;
    const uint64_t start = blockOffset + kSingleHeader + std::min(skip, length);
    const uint64_t available = std::min<uint64_t>(blockEnd, file_.size()) - start;
    std::vector<unsigned char> data;
    readDecrypted(start, std::min<uint64_t>(length, available), data);
    data.resize(length, 0);
    return std::string(data.begin(), data.end());
}

std::string BlobFile::readSuballocated(uint64_t blockOffset, unsigned index, uint32_t length,
                                       uint32_t skip) {
    std::vector<unsigned char> block;
    readDecrypted(blockOffset, kBlockUnit, block);
    const size_t entryAt = kSubHeader + kSubEntry * index;
    const auto damaged = [&] {
        return FormatError(file_.path(), "has a damaged blob entry " + std::to_string(index) +
                                             " in the block at offset " +
                                             std::to_string(blockOffset));
    };
    if (block[0] != 3 || index >= 64)
        throw damaged();
    const unsigned char* entry = block.data() + entryAt;
    const uint64_t dataAt = uint64_t(entry[0]) * 16;
    const uint64_t allocated = uint64_t(entry[1]) * 16;
    if (dataAt == 0 || length > allocated || dataAt + length > kBlockUnit)
        throw damaged();
    const uint64_t start = dataAt + std::min(skip, length);
    std::string blob(length, '\0');
    std::copy(
        block.begin() + static_cast<std::ptrdiff_t>(start),
        block.begin() + static_cast<std::ptrdiff_t>(std::min<uint64_t>(start + length, kBlockUnit)),
        blob.begin());
    return blob;
}

}  // namespace px
