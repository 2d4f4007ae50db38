#include "Salvage.h"

#include <algorithm>

namespace px {

namespace {

// 10000 as "10,000".
std::string grouped(uint64_t number) {
    std::string digits = std::to_string(number);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

std::string blockList(const std::vector<SalvageReport::LostBlock>& blocks) {
    std::string list;
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (i > 0)
            list += i + 1 == blocks.size() ? " and " : ", ";
        list += std::to_string(blocks[i].number);
    }
    return list;
}

std::string rows(uint64_t count) {
    return grouped(count) + (count == 1 ? " row" : " rows");
}

}  // namespace

uint64_t SalvageReport::rowsLost() const {
    uint64_t rows = 0;
    for (const LostBlock& block : lostBlocks)
        rows += block.rows > 0 ? static_cast<uint64_t>(block.rows) : 0;
    return rows;
}

std::string SalvageReport::describe() const {
    std::string text = rowsFound == rowsInHeader && lostBlocks.empty()
                           ? "all " + rows(rowsFound)
                           : grouped(rowsFound) + " of " + rows(rowsInHeader);
    if (rowsByPosition > 0)
        text += ", " + grouped(rowsByPosition) +
                " of them read by position from blocks outside "
                "the chain";
    if (!lostBlocks.empty()) {
        const bool counted = rowsLost() > 0;
        text += "; " + (counted ? rows(rowsLost()) + " in " : std::string("rows in ")) +
                (lostBlocks.size() == 1 ? "block " : "blocks ") + blockList(lostBlocks) +
                " could not be read";
    }
    if (const uint64_t nowhere = rowsInHeader - std::min(rowsInHeader, rowsFound + rowsLost()))
        text += "; " + rows(nowhere) + " the header counts " + (nowhere == 1 ? "was" : "were") +
                " found nowhere";
    else if (rowsFound > rowsInHeader)
        text +=
            "; the header counts " + rows(rowsInHeader) + ", its blocks hold " + grouped(rowsFound);
    for (const auto& [field, values] : valuesLost)
        text += "; " + grouped(values) + (values == 1 ? " value of " : " values of ") + field +
                " could not be read";
    for (const auto& [field, values] : memosCut)
        text += "; " + grouped(values) + (values == 1 ? " memo of " : " memos of ") + field +
                " could not be read whole (the first characters their rows hold were kept)";
    if (!blobFileProblem.empty())
        text += "; " + blobFileProblem;
    for (const LostBlock& block : blocksNotTaken)
        text += "; block " + std::to_string(block.number) + " holds " +
                (block.rows == 1 ? std::string("a record")
                                 : grouped(uint64_t(block.rows)) + " records") +
                " that were not taken: " + block.why;
    for (const std::string& repair : repairs)
        text += "; " + repair;
    return text;
}

}  // namespace px
