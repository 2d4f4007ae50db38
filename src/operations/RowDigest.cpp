#include "RowDigest.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace RowDigest {

namespace {

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kSecondSeed = 0xD6E8FEB86659FD93ull;

// The finaliser of splitmix64: every input bit reaches every output bit.
uint64_t mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

uint64_t hash(std::string_view bytes, uint64_t seed) {
    uint64_t h = mix(seed ^ (bytes.size() * kMultiplier));
    size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + at, 8);
        h = mix(h ^ word) * kMultiplier;
    }
    uint64_t tail = 0;
    if (at < bytes.size())
        std::memcpy(&tail, bytes.data() + at, bytes.size() - at);
    return mix(h ^ tail ^ (uint64_t(bytes.size() - at) << 56));
}

void Multiset::add(std::string_view row) {
    // hash(row, 0) and hash(row, kSecondSeed), side by side: the two chains overlap in the
    // processor rather than one waiting for the other.
    ++count_;
    uint64_t first = mix(row.size() * kMultiplier);
    uint64_t second = mix(kSecondSeed ^ (row.size() * kMultiplier));
    size_t at = 0;
    for (; at + 8 <= row.size(); at += 8) {
        uint64_t word;
        std::memcpy(&word, row.data() + at, 8);
        first = mix(first ^ word) * kMultiplier;
        second = mix(second ^ word) * kMultiplier;
    }
    uint64_t tail = 0;
    if (at < row.size())
        std::memcpy(&tail, row.data() + at, row.size() - at);
    const uint64_t length = uint64_t(row.size() - at) << 56;
    first_ += mix(first ^ tail ^ length);
    second_ += mix(second ^ tail ^ length);
}

std::string Multiset::text() const {
    char text[64];
    std::snprintf(text, sizeof text, "%lld:%016llx%016llx", count_,
                  static_cast<unsigned long long>(first_),
                  static_cast<unsigned long long>(second_));
    return text;
}

void Sketch::add(std::string_view value) {
    const uint64_t h = hash(value, kMultiplier);
    if (smallest_.size() == kSize && h >= smallest_.front())
        return;
    if (std::find(smallest_.begin(), smallest_.end(), h) != smallest_.end())
        return;
    smallest_.push_back(h);
    std::push_heap(smallest_.begin(), smallest_.end());
    if (smallest_.size() > kSize) {
        std::pop_heap(smallest_.begin(), smallest_.end());
        smallest_.pop_back();
    }
}

double Sketch::similarity(const Sketch& a, const Sketch& b) {
    std::vector<uint64_t> left = a.smallest_, right = b.smallest_;
    if (left.empty() && right.empty())
        return 1.0;
    std::sort(left.begin(), left.end());
    std::sort(right.begin(), right.end());
    // The k smallest of the union stand for the union; those in both stand for the common part.
    std::vector<uint64_t> united;
    std::set_union(left.begin(), left.end(), right.begin(), right.end(),
                   std::back_inserter(united));
    united.resize(std::min(united.size(), kSize));
    size_t common = 0;
    for (uint64_t h : united)
        common += std::binary_search(left.begin(), left.end(), h) &&
                  std::binary_search(right.begin(), right.end(), h);
    return double(common) / double(united.size());
}

}  // namespace RowDigest
