// Small helpers shared by the benchmark programs.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tarvo/core/document.hpp"

namespace tarvo::bench {

// The arguments "DB_PATH [THREADS] [REPEATS]" of a bench that times a step on a warehouse; exits
// with the usage line when they do not fit.
struct WarehouseRuns {
    const char* db_path;
    size_t threads;
    int repeats;
};
inline WarehouseRuns warehouse_runs(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s DB_PATH [THREADS] [REPEATS]\n", argv[0]);
        std::exit(2);
    }
    return {argv[1], argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 2, argc > 3 ? std::atoi(argv[3]) : 3};
}

// Peak resident memory of this process so far, as /proc/self/status words it ("  123456 kB").
inline std::string peak_rss() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return line.substr(6);
    return " ?";
}

// A scoreboard document {"meta": {"donemler": periods}, "rows": rows} around a row table.
inline core::Document scoreboard_of(core::Table rows, core::List periods) {
    core::Dict meta;
    meta.set("donemler", core::Document(std::move(periods)));
    core::Dict board;
    board.set("meta", core::Document(std::move(meta)));
    board.set("rows", core::Document::rows(std::move(rows)));
    return core::Document(std::move(board));
}

}  // namespace tarvo::bench
