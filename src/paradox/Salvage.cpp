#include "Salvage.h"

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

}  // namespace

uint64_t SalvageReport::rowsLost() const {
    uint64_t rows = 0;
    for (const LostBlock& block : lostBlocks)
        rows += block.rows > 0 ? static_cast<uint64_t>(block.rows) : 0;
    return rows;
}

std::string SalvageReport::describe() const {
    std::string text = grouped(rowsFound) + " of " + grouped(rowsInHeader) + " rows";
    if (!lostBlocks.empty()) {
        const bool counted = rowsLost() > 0;
        text += "; " + (counted ? grouped(rowsLost()) + " rows in " : std::string("rows in ")) +
                (lostBlocks.size() == 1 ? "block " : "blocks ") + blockList(lostBlocks) +
                " could not be read";
    }
    if (rowsFound + rowsLost() < rowsInHeader)
        text += "; " + grouped(rowsInHeader - rowsFound - rowsLost()) +
                " rows the header counts were found nowhere";
    else if (rowsFound > rowsInHeader)
        text += "; the header counts " + grouped(rowsInHeader) + " rows, its blocks hold " +
                grouped(rowsFound);
    for (const auto& [field, values] : valuesLost)
        text += "; " + grouped(values) + (values == 1 ? " value of " : " values of ") + field +
                " could not be read";
    if (!blobFileProblem.empty())
        text += " (" + blobFileProblem + ")";
    return text;
}

}  // namespace px
