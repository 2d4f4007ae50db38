#pragma once

// The form in which a value sent to the target and the value the target holds are compared: the
// same form for the same value, whichever side it was read from and however the target wrote it
// back ("1.50" and "1.5" alike, a double from its shortest decimal).

#include <QString>

#include <optional>
#include <string>
#include <string_view>

#include "ado/Cursor.h"

// How the values of one column are compared.
struct CheckedColumn {
    enum class Compare {
        Text,    // character for character; an empty text counts as NULL, as it is sent
        Number,  // as exact decimals
        Typed,   // as values of `type`: a date with a date, a double exactly, bytes with bytes
    };
    QString name;
    Compare compare = Compare::Text;
    ado::ValueType type = ado::ValueType::Text;
    // The target gives binary doubles of this column as decimals of 17 digits (SQLite's REAL):
    // such a decimal stands for the double it names.
    bool doublesAsDecimals = false;
};

namespace CheckedValue {

// The compared form of a value, nothing for NULL.
std::optional<std::string> of(const ado::Variant& value, const CheckedColumn& column);

// A decimal in its plainest form: no sign for zero, no leading or trailing zeros, no exponent
// ("-0012.3400" is "-12.34", "1.5E+3" is "1500"); nothing when the text is no number.
std::optional<std::string> plainDecimal(std::string_view text);

// A compared value as the user reads it: 'text' between quotes, NULL, bytes in hexadecimal.
QString shown(const std::optional<std::string>& value, const CheckedColumn& column);

// Two compared values that differ, as the user can tell them apart: characters one cannot see
// escaped (\0, \t, \x1F, a trailing space as \x20, a backslash as \\), and a long text shown
// around the first character where they differ, which `firstDifference` gives (from 1; 0 where
// one is NULL or they are bytes).
struct ShownPair {
    QString sent;
    QString stored;
    qsizetype firstDifference = 0;
};
ShownPair shownPair(const std::optional<std::string>& sent,
                    const std::optional<std::string>& stored, const CheckedColumn& column);

}  // namespace CheckedValue
