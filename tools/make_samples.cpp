// Writes the sample Paradox tables installed beside the program.
#include <cstdio>
#include <exception>
#include <string>

#include "fixture/ParadoxWriter.h"

using px::FieldType;
using px::Value;

namespace {

Value day(int y, int m, int d) {
    return Value::date(px::dayNumberFromCivil(y, m, d));
}
Value at(int h, int m, int s) {
    return Value::time(((h * 60 + m) * 60 + s) * 1000);
}

void writeCustomers(const std::string& folder) {
    pxfixture::writeTable(
        folder + "/CUSTOMER.DB",
        {12,
         2,
         1252,
         {{"Cust No", FieldType::AutoIncrement, 4, 0},
          {"Name", FieldType::Alpha, 30, 0},
          {"City", FieldType::Alpha, 20, 0},
          {"Country", FieldType::Alpha, 20, 0},
          {"Since", FieldType::Date, 4, 0},
          {"Credit Limit", FieldType::Money, 8, 0},
          {"Active", FieldType::Logical, 1, 0},
          {"Notes", FieldType::Memo, 20, 0}}},
        {
            {Value::integer(1001), Value::text("Kauai Dive Shoppe"), Value::text("Kapaa Kauai"),
             Value::text("US"), day(1994, 3, 12), Value::real(25000), Value::boolean(true),
             Value::text("Prefers delivery before noon.")},
            {Value::integer(1002), Value::text("Unisco"), Value::text("Freeport"),
             Value::text("Bahamas"), day(1995, 7, 1), Value::real(12500.5), Value::boolean(true),
             Value::text("Long-standing customer.\nPays by bank transfer; asks for a copy of "
                         "every invoice by post as well as by e-mail.")},
            {Value::integer(1003), Value::text("Sight Diver"), Value::text("Kato Paphos"),
             Value::text("Cyprus"), day(1998, 11, 30), Value::real(8000), Value::boolean(false),
             Value()},
            {Value::integer(1004), Value::text("Café Öresund"), Value::text("Malmö"),
             Value::text("Sweden"), day(2001, 2, 14), Value::real(15750.25), Value::boolean(true),
             Value::text("Ask for Åsa.")},
            {Value::integer(1005), Value::text("O'Neill's Marine"), Value::text("Cork"),
             Value::text("Ireland"), Value(), Value(), Value::boolean(true),
             Value::text("New account.")},
        });
}

void writeOrders(const std::string& folder) {
    pxfixture::ParadoxWriter orders(folder + "/ORDERS.DB", {11,
                                                            2,
                                                            1252,
                                                            {{"Order No", FieldType::Long, 4, 0},
                                                             {"Cust No", FieldType::Long, 4, 0},
                                                             {"Sale Date", FieldType::Date, 4, 0},
                                                             {"Ship Time", FieldType::Time, 4, 0},
                                                             {"Items", FieldType::Short, 2, 0},
                                                             {"Total", FieldType::Bcd, 17, 2},
                                                             {"Weight kg", FieldType::Number, 8, 0},
                                                             {"Paid", FieldType::Logical, 1, 0}}});
    for (int i = 0; i < 40; ++i) {
        const int cents = 1999 + i * 3571 % 90000;
        orders.addRow(
            {Value::integer(5000 + i), Value::integer(1001 + i % 5),
             day(2023, 1 + i % 12, 1 + i % 28), at(8 + i % 10, i % 60, 0),
             Value::integer(1 + i % 7),
             Value::decimal(std::to_string(cents / 100) + "." + std::to_string(cents % 100 / 10) +
                            std::to_string(cents % 10)),
             Value::real(0.25 * (i + 1)), Value::boolean(i % 3 != 0)});
    }
}

void writeEvents(const std::string& folder) {
    pxfixture::writeTable(
        folder + "/EVENTS.DB",
        {9,
         1,
         850,
         {{"Id", FieldType::Short, 2, 0},
          {"Title", FieldType::Alpha, 40, 0},
          {"Starts", FieldType::Timestamp, 8, 0},
          {"Ticket", FieldType::Bytes, 4, 0}}},
        {
            {Value::integer(1), Value::text("Harbour concert"),
             Value::timestamp(px::dayNumberFromCivil(2024, 6, 21), 19 * 3600000),
             Value::bytes("A001")},
            {Value::integer(2), Value::text("Fête de la musique"),
             Value::timestamp(px::dayNumberFromCivil(2024, 6, 21), 20 * 3600000 + 30 * 60000),
             Value::bytes("B002")},
            {Value::integer(3), Value::text("Winter market"),
             Value::timestamp(px::dayNumberFromCivil(2024, 12, 7), 10 * 3600000), Value()},
        });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_samples FOLDER\n");
        return 2;
    }
    try {
        writeCustomers(argv[1]);
        writeOrders(argv[1]);
        writeEvents(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
