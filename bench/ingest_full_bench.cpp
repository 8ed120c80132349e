// Whole-run timing of the bronze ingest on a generated source tree (all ten kinds of extract).
//
//   ingest_full_bench generate ROOT [firms] [periods] [seed]   writes the demo source tree
//   ingest_full_bench ingest ROOT DB_PATH                      run_ingest(ROOT, DB_PATH)
//
// Each mode prints its wall time and the peak resident set size (VmHWM) on standard error; the
// ingest's own lines go to standard output. ingest_full_bench.sh runs both under /usr/bin/time -v.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "bench_support.hpp"
#include "tarvo/demo/source_tree.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"

namespace {

int usage() {
    std::cerr << "usage: ingest_full_bench generate ROOT [firms] [periods] [seed]\n"
                 "       ingest_full_bench ingest ROOT DB_PATH\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string mode = argv[1];
    const auto start = std::chrono::steady_clock::now();
    try {
        if (mode == "generate") {
            const int64_t firms = argc > 3 ? std::atoll(argv[3]) : 100000;
            const int periods = argc > 4 ? std::atoi(argv[4]) : 12;
            const uint64_t seed = argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 7;
            tarvo::demo::generate_source_tree(argv[2], firms, periods, seed);
        } else if (mode == "ingest" && argc > 3) {
            tarvo::ingest::run_ingest(argv[2], argv[3]);
        } else {
            return usage();
        }
    } catch (const std::exception& e) {
        std::cerr << "ingest_full_bench: " << e.what() << "\n";
        return 1;
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "%s: %.2f s wall, peak RSS%s\n", mode.c_str(), secs, tarvo::bench::peak_rss().c_str());
    return 0;
}
