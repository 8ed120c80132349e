// Times the writing of a warehouse's scoreboard as compact JSON, apart from its building: builds
// the scoreboard once, then writes it REPEATS times to a file that is thrown away (the file's text
// is made as the run makes it, on THREADS threads).
//
//   scoreboard_json_bench DB_PATH [THREADS] [REPEATS]
//
// Prints "rows: <firms>", then "json: <s> s" per repeat, then "peak: <kB> kB".
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
    const auto [db_path, threads, repeats] = tarvo::bench::warehouse_runs(argc, argv);
    try {
        tarvo::core::Document scoreboard;
        {
            tarvo::vandel::Vandel con(db_path, tarvo::vandel::Access::read_only);
            scoreboard = tarvo::marts::_build_scoreboard(con);
        }
        std::printf("rows: %zu\n", tarvo::marts::scoreboard_row_count(scoreboard));
        for (int k = 0; k < repeats; ++k) {
            std::ofstream out("/dev/null", std::ios::binary);
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
