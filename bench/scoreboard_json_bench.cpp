// Times the writing of a warehouse's scoreboard as compact JSON, apart from its building: builds
// the scoreboard once, then writes it REPEATS times to OUT_PATH, by default /dev/null (the file's
// text is made as the run makes it, on THREADS threads). A file on disk adds the kernel's copying
// of its bytes into the file cache, as the mart run has it.
//
//   scoreboard_json_bench DB_PATH [THREADS] [REPEATS] [OUT_PATH]
//
// Prints "rows: <firms>", then "json: <s> s" per repeat, then "peak: <kB> kB".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <fstream>

#include "bench_support.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/marts/scoreboard.hpp"
#include "tarvo/pipeline/marts/scoreboard_reading.hpp"
#include "tarvo/vandel/vandel.hpp"

int main(int argc, char** argv) {
    if (argc > 5) {
        std::fprintf(stderr, "usage: %s DB_PATH [THREADS] [REPEATS] [OUT_PATH]\n", argv[0]);
        return 2;
    }
    const char* out_path = argc > 4 ? argv[4] : "/dev/null";
    const auto [db_path, threads, repeats] = tarvo::bench::warehouse_runs(std::min(argc, 4), argv);
    try {
        tarvo::core::Document scoreboard;
        {
            tarvo::vandel::Vandel con(db_path, tarvo::vandel::Access::read_only);
            scoreboard = tarvo::marts::_build_scoreboard(con);
        }
        std::printf("rows: %zu\n", tarvo::marts::scoreboard_row_count(scoreboard));
        for (int k = 0; k < repeats; ++k) {
            std::ofstream out(out_path, std::ios::binary | std::ios::trunc);
            const auto start = std::chrono::steady_clock::now();
            tarvo::core::write_json(out, scoreboard, tarvo::core::JsonStyle::compact, threads);
            out.flush();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("json: %.3f s\n", seconds);
        }
        std::printf("peak:%s\n", tarvo::bench::peak_rss().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "scoreboard_json_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
