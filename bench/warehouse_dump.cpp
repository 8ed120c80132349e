// Writes every table of a warehouse as a CSV file, rows in a fixed order, so that the tables two builds
// made from the same sources can be compared byte for byte (the warehouse files themselves are not).
//
//   warehouse_dump WAREHOUSE OUT_DIR
//
// One file per table, OUT_DIR/<table>.csv, with a header line; rows sorted on all columns.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tarvo/core/errors.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace fs = std::filesystem;
using tarvo::vandel::Vandel;

namespace {

std::string quoted(const std::string& text, char quote) {
    std::string out(1, quote);
    for (char c : text) {
        if (c == quote) out += quote;
        out += c;
    }
    return out + quote;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: warehouse_dump WAREHOUSE OUT_DIR\n");
        return 2;
    }
    try {
        fs::create_directories(argv[2]);
        Vandel db(argv[1], tarvo::vandel::Access::read_only);
        for (const auto& row : db.fetchall("SELECT table_name FROM information_schema.tables "
                                           "WHERE table_schema = 'main' ORDER BY table_name")) {
            const std::string table = row.at(0).as_text();
            const std::string target = (fs::path(argv[2]) / (table + ".csv")).string();
            db.execute("COPY (SELECT * FROM " + quoted(table, '"') + " ORDER BY ALL) TO " + quoted(target, '\'') +
                       " (HEADER)");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "warehouse_dump: %s: %s\n", tarvo::core::error_kind(e).c_str(), e.what());
        return 1;
    }
    return 0;
}
