// Runs SQL statements against a warehouse, one argument each, in order; prints nothing on success. The
// benchmarks use it for their references: the warehouse engine doing a step's work by itself.
//
//   warehouse_sql WAREHOUSE STATEMENT...
#include <cstdio>

#include "tarvo/core/errors.hpp"
#include "tarvo/vandel/vandel.hpp"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: warehouse_sql WAREHOUSE STATEMENT...\n");
        return 2;
    }
    try {
        tarvo::vandel::Vandel db(argv[1]);
        for (int a = 2; a < argc; ++a) db.execute(argv[a]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "warehouse_sql: %s: %s\n", tarvo::core::error_kind(e).c_str(), e.what());
        return 1;
    }
    return 0;
}
