#pragma once

// The text of a value in the line formats servers load: what would end a value or a line is
// written as an escape.

#include <string>
#include <string_view>

namespace ado {

// A text in the tab-separated form of PostgreSQL's COPY and MariaDB's LOAD DATA: each backslash,
// tab, line end and NUL byte as a backslash escape, everything else as it is.
void appendTabSeparatedText(std::string& out, std::string_view text);

}  // namespace ado
