// Writes a generated source tree for whole-run benchmarks and prints how long it took.
//
//   source_tree_gen ROOT [firms] [periods] [seed]     (defaults: 100000 firms, 12 periods, seed 42)
//
// The time and the peak resident set size (VmHWM) go to standard output as
//   "generate: <s> s, peak <kB> kB"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "bench_support.hpp"
#include "tarvo/demo/source_tree.hpp"

namespace {

// Peak resident memory in kB, digits only.
std::string peak_rss_kb() {
    const std::string text = tarvo::bench::peak_rss();
    const auto digits = text.find_first_of("0123456789");
    return digits == std::string::npos ? "?" : text.substr(digits, text.find(' ', digits) - digits);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: source_tree_gen ROOT [firms] [periods] [seed]\n";
        return 2;
    }
    const long long firms = argc > 2 ? std::atoll(argv[2]) : 100000;
    const int periods = argc > 3 ? std::atoi(argv[3]) : 12;
    const unsigned long long seed = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 42;
    try {
        const auto start = std::chrono::steady_clock::now();
        tarvo::demo::generate_source_tree(argv[1], firms, periods, seed);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("generate: %.1f s, peak %s kB\n", s, peak_rss_kb().c_str());
    } catch (const std::exception& e) {
        std::cerr << "source_tree_gen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
