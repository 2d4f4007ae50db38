#pragma once

#include <stdexcept>
#include <string>

namespace px {

// A table file that cannot be read as it claims to be: the message names the file and the fault.
class FormatError : public std::runtime_error {
  public:
    FormatError(const std::string& path, const std::string& what)
        : std::runtime_error("The Paradox table file " + path + " " + what + ".") {}
};

// A file that is no Paradox table at all (Windows' Thumbs.db, a SQLite database): its header says
// so before anything else is read.
class NotATable : public FormatError {
  public:
    using FormatError::FormatError;
};

}  // namespace px
