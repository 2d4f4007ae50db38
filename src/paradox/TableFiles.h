#pragma once

#include <string>
#include <vector>

namespace px {

// The files that make up one Paradox table: its data file (.DB) and the companions that
// Paradox names after it: the blob file (.MB), the primary index (.PX), validity checks (.VAL)
// and secondary indexes (.Xnn, .Ynn, .XGn, .YGn, n a hexadecimal digit). Names match ignoring
// ASCII letter case, in the base name and in the extension alike; no other file belongs.

// Whether `extension` (without its dot) names a file of a table.
bool isTableExtension(const std::string& extension);

// The entries of `folder` that belong to the table called `baseName`, each as its bare name,
// in the order the folder lists them. Empty when the folder cannot be read.
std::vector<std::string> tableFilesOf(const std::string& folder, const std::string& baseName);

}  // namespace px
