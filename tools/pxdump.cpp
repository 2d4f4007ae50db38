// Prints a Paradox table as the transfer would send it: the fields with their ADO type codes,
// then each row's value items as they stand between "VALUES(" and ")".
#include <cstdio>
#include <exception>
#include <string>

#include "paradox/Table.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pxdump FILE.db\n");
        return 2;
    }
    try {
        px::Table table(argv[1]);
        std::string out = "#fields";
        for (const px::Field& field : table.fields())
            out += "\t" + field.name + ":" + std::to_string(field.adoType());
        out += '\n';
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::vector<px::Value> row;
        while (table.next(row)) {
            out.clear();
            for (size_t i = 0; i < row.size(); ++i) {
                if (i > 0)
                    out += ", ";
                row[i].appendSqlItem(out);
            }
            out += '\n';
            std::fwrite(out.data(), 1, out.size(), stdout);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
