#pragma once

#include <string>
#include <vector>

#include "fixture/ParadoxWriter.h"

// The table the transfer benchmarks copy: six fields of the common types (a long, an alpha, a
// number with every eleventh blank, a date, a logical, a timestamp), `rows` rows numbered from 0.
inline const std::vector<px::Field> kBenchFields = {
    {"Id", px::FieldType::Long, 4, 0},       {"Name", px::FieldType::Alpha, 30, 0},
    {"Amount", px::FieldType::Number, 8, 0}, {"Day", px::FieldType::Date, 4, 0},
    {"Flag", px::FieldType::Logical, 1, 0},  {"Stamp", px::FieldType::Timestamp, 8, 0}};

// Writes it at `path`, keyed on its first `keyFields`; `changed` rows, spread over the table,
// with another name.
inline void writeBenchTable(const std::string& path, int rows, int keyFields = 0, int changed = 0) {
    using px::Value;
    pxfixture::TableLayout layout{12, 4, 1252, kBenchFields};
    layout.keyFields = keyFields;
    pxfixture::ParadoxWriter writer(path, layout);
    for (int i = 0; i < rows; ++i) {
        const bool other = changed > 0 && i % (rows / changed) == 0;
        writer.addRow(
            {Value::integer(i),
             Value::text((other ? "Changed name " : "Customer's name ") + std::to_string(i % 977)),
             i % 11 ? Value::real(i * 1.25) : Value(), Value::date(730000 + i % 5000),
             Value::boolean(i % 2), Value::timestamp(738000 + i % 300, (i * 7) % 86400000)});
    }
}
