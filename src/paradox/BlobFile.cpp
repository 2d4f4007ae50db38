#include "BlobFile.h"

#include <algorithm>
#include <cstring>

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

BlobError BlobFile::damage(const std::string& what) const {
    const std::string& path = file_.path();
    return BlobError(path.substr(path.rfind('/') + 1) + " " + what);
}

void BlobFile::readDecrypted(uint64_t offset, size_t length, std::vector<unsigned char>& out) {
    if (offset > file_.size() || length > file_.size() - offset)
        throw damage("is cut short: the blob at offset " + std::to_string(offset) +
                     " runs past its end (" + std::to_string(file_.size()) + " bytes)");
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
        throw damage("has no blob block at offset " + std::to_string(blockOffset) +
                     " where the record points");
    return index == kSingleBlob ? readSingle(blockOffset, length, skip)
                                : readSuballocated(blockOffset, index, length, skip);
}

void BlobFile::check(uint32_t pointer, uint32_t length) {
    if ((pointer & 0xFF) == kSingleBlob && pointer > 0xFF &&
        (pointer & ~uint32_t(0xFF)) % kBlockUnit == 0)
        checkSingle(pointer & ~uint32_t(0xFF), length);
    else
        read(pointer, length);
}

uint64_t BlobFile::checkSingle(uint64_t blockOffset, uint32_t length) {
    if (blockOffset >= file_.size())
        throw damage("has no blob block at offset " + std::to_string(blockOffset) +
                     " where the record points");
    std::vector<unsigned char> head;
    readDecrypted(blockOffset, kSingleHeader, head);
    const unsigned chunks = head[1] | head[2] << 8;
    const uint32_t stored = head[3] | head[4] << 8 | head[5] << 16 | uint32_t(head[6]) << 24;
    if (head[0] != 2 || stored != length || kSingleHeader + uint64_t(length) > chunks * kBlockUnit)
        throw damage("has a damaged blob block at offset " + std::to_string(blockOffset));
    // The blob itself must lie in the file; only what a reader takes past its end (a graphic's
    // last bytes, behind its prefix) may come from the padding of a block the file lacks.
    if (blockOffset + kSingleHeader + length > file_.size())
        throw damage("is cut short: the blob of " + std::to_string(length) + " bytes at offset " +
                     std::to_string(blockOffset) + " runs past its end (" +
                     std::to_string(file_.size()) + " bytes)");
    return chunks * kBlockUnit;
}

std::string BlobFile::readSingle(uint64_t blockOffset, uint32_t length, uint32_t skip) {
    const uint64_t blockEnd = blockOffset + checkSingle(blockOffset, length);
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
        return damage("has a damaged blob entry " + std::to_string(index) +
                      " in the block at offset " + std::to_string(blockOffset));
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
