// Decoding a large generated table to the transfer's value items, beside pxlib doing the same
// decoding of the same file in the same run.
extern "C" {
#include <paradox.h>
}

#include <charconv>
#include <cstdio>
#include <string>

#include "../tests/support/TempDir.h"
#include "Measure.h"
#include "fixture/ParadoxWriter.h"
#include "paradox/Table.h"

using px::FieldType;
using px::Value;

namespace {

// Keyed on Id, so that the reading checks the order of its keys too.
void writeMixedTable(const std::string& path, int rows) {
    pxfixture::TableLayout layout{12,
                                  4,
                                  1252,
                                  {{"Id", FieldType::Long, 4, 0},
                                   {"Name", FieldType::Alpha, 30, 0},
                                   {"Amount", FieldType::Number, 8, 0},
                                   {"Price", FieldType::Money, 8, 0},
                                   {"Day", FieldType::Date, 4, 0},
                                   {"Flag", FieldType::Logical, 1, 0},
                                   {"Count", FieldType::Short, 2, 0},
                                   {"At", FieldType::Time, 4, 0},
                                   {"Stamp", FieldType::Timestamp, 8, 0}}};
    layout.keyFields = 1;
    pxfixture::ParadoxWriter writer(path, layout);
    for (int i = 0; i < rows; ++i)
        writer.addRow({Value::integer(i), Value::text("Customer name " + std::to_string(i % 977)),
                       i % 11 ? Value::real(i * 1.25) : Value(), Value::real(i % 1000 / 4.0),
                       Value::date(730000 + i % 5000), Value::boolean(i % 2),
                       Value::integer(i % 30000), Value::time(i % 86400000),
                       Value::timestamp(738000 + i % 300, (i * 7) % 86400000)});
}

long long decodeWithOurReader(const std::string& path,
                              px::Table::Reading reading = px::Table::Reading::Strict) {
    px::Table table(path, reading);
    std::vector<Value> row;
    std::string items;
    long long rows = 0;
    while (table.next(row)) {
        items.clear();
        for (const Value& value : row) {
            value.appendSqlItem(items);
            items += ", ";
        }
        ++rows;
    }
    return rows;
}

void appendNumber(std::string& out, double v) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    out += '\'';
    out.append(buffer, end);
    out += '\'';
}

long long decodeWithPxlib(const std::string& path) {
    PX_boot();
    pxdoc_t* doc = PX_new();
    if (PX_open_file(doc, path.c_str()) < 0)
        return -1;
    const int records = PX_get_num_records(doc);
    const int fields = PX_get_num_fields(doc);
    std::string items;
    long long rows = 0;
    for (int r = 0; r < records; ++r) {
        pxval_t** values = PX_retrieve_record(doc, r);
        if (!values)
            break;
        items.clear();
        for (int f = 0; f < fields; ++f) {
            pxval_t* value = values[f];
            if (value->isnull) {
                items += "NULL";
            } else if (value->type == pxfAlpha) {
                items += '\'';
                items.append(value->value.str.val, static_cast<size_t>(value->value.str.len));
                items += '\'';
            } else if (value->type == pxfNumber || value->type == pxfCurrency ||
                       value->type == pxfTimestamp) {
                appendNumber(items, value->value.dval);
            } else {
                appendNumber(items, static_cast<double>(value->value.lval));
            }
            items += ", ";
            if (value->type == pxfAlpha && value->value.str.val)
                doc->free(doc, value->value.str.val);
            FREE_PXVAL(doc, value);
        }
        doc->free(doc, values);
        ++rows;
    }
    PX_close(doc);
    PX_delete(doc);
    PX_shutdown();
    return rows;
}

}  // namespace

int main() {
    TempDir dir;
    const std::string small = dir.file("small.db");
    const std::string large = dir.file("large.db");
    writeMixedTable(small, 50000);
    writeMixedTable(large, 200000);

    // Each reading in turn with the other, so that a machine that slows down for a while slows
    // both alike.
    std::vector<Measurement> strict, salvage;
    for (int run = 0; run < 7; ++run) {
        strict.push_back(measureInChild([&] { return decodeWithOurReader(large); }));
        salvage.push_back(measureInChild(
            [&] { return decodeWithOurReader(large, px::Table::Reading::Salvage); }));
    }
    const Measurement ours = median(strict);
    const Measurement salvaging = median(salvage);
    const Measurement pxlib = medianOf(5, [&] { return decodeWithPxlib(large); });
    const Measurement oursSmall = medianOf(3, [&] { return decodeWithOurReader(small); });
    if (ours.items != 200000 || pxlib.items != 200000 || salvaging.items != 200000) {
        std::fprintf(stderr, "a reader did not read every row (ours %lld, pxlib %lld)\n",
                     ours.items, pxlib.items);
        return 1;
    }
    std::printf("Decoding 200,000 rows of mixed types to value items\n");
    std::printf("  morvane reader: %10.0f rows/s, peak memory %ld KiB\n", ours.perSecond(),
                ours.peakKiB);
    std::printf("  pxlib 0.6.8:    %10.0f rows/s, peak memory %ld KiB\n", pxlib.perSecond(),
                pxlib.peakKiB);
    std::printf("  speed ratio (morvane / pxlib): %.2f  (goal: at least 3)\n",
                ours.perSecond() / pxlib.perSecond());
    std::printf(
        "  peak memory at 50,000 rows %ld KiB, at 200,000 rows %ld KiB: ratio %.2f "
        "(goal: no growth, 1.00)\n",
        oursSmall.peakKiB, ours.peakKiB, double(ours.peakKiB) / double(oursSmall.peakKiB));
    std::printf("  salvage reading of the intact table: %10.0f rows/s\n", salvaging.perSecond());
    std::printf("  time ratio (salvage / strict reading): %.2f  (goal: at most 1.1)\n",
                salvaging.seconds / ours.seconds);
    return 0;
}
