#pragma once

// A Paradox table's validity checks, from its .VAL file (versions 0x09 to 0x0B): for each field
// whether it is required, its minimum, maximum, default and picture, and the table it looks its
// values up in; and the table's referential integrity, each a set of fields whose values must be
// a parent table's key.

#include <optional>
#include <string>
#include <vector>

#include "FormatError.h"
#include "Value.h"

namespace px {

class Table;

struct FieldChecks {
    std::string field;
    bool required = false;
    Value minimum, maximum, defaultValue;  // null where the field has none
    std::string picture;                   // an input template: Paradox never checked stored rows
    std::string lookupTable;               // the file name of the table looked up in, or ""
};

struct Relationship {
    std::string name;
    std::vector<std::string> fields;  // the child's, in order
    std::string parentTable;          // the parent's file name, as the child's .VAL names it
    // The parent's fields that `fields` refer to, by their place in the parent (1 for the first).
    std::vector<int> parentFieldNumbers;
    bool cascadesUpdates = false;  // a changed parent key is changed in the child too
};

struct ValidityChecks {
    std::vector<FieldChecks> fields;
    std::vector<Relationship> relationships;
};

// A validity file written by a version of Paradox whose layout is not known here.
class UnknownValidityVersion : public FormatError {
  public:
    using FormatError::FormatError;
};

// Reads `path`, the validity file of `table`, whose values it decodes as the table stores them.
// Throws FormatError for a damaged file, UnknownValidityVersion for one of another version.
ValidityChecks readValidityFile(const std::string& path, Table& table);

// The .VAL file beside the table file `tablePath`, in whatever letter case the folder holds it.
std::optional<std::string> validityFileOf(const std::string& tablePath);

}  // namespace px
