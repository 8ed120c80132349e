// Timing of the trending lists and the trending enrichment on a large scoreboard.
//
// Builds a seeded scoreboard row table in memory (default 1,000,000 firms x 24 periods): per
// firm a score that wanders from period to period within 0..1000 (steps of up to +-150), with
// about 3% YI markers per cell (half the text "YI", half the integer -1) and 2% nulls; "muta"
// texts, "unvan" texts and a whole-number "son_risk" (5% zero, 2% null). Then times
// _build_trending_lists and _enrich_with_trending, a few repetitions, and prints the list
// sizes, the times and the peak resident set size (VmHWM).
//
// Usage: trending_bench [rows] [periods] [repetitions]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "tarvo/core/column.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/document.hpp"
#include "tarvo/pipeline/marts/enrichment.hpp"
#include "tarvo/pipeline/marts/trending.hpp"
#include "tarvo/vandel/vandel.hpp"

using namespace tarvo;

namespace {

core::Document make_board(size_t nrows, size_t nperiods, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> pct(0, 999);  // per mille
    std::uniform_int_distribution<int64_t> start(0, 1000);
    std::uniform_int_distribution<int64_t> step(-150, 150);
    std::uniform_int_distribution<int64_t> risk(1, 2'000'000'000);

    core::Table t;
    core::Column muta(core::str), unvan(core::str), son_risk(core::i64);
    muta.reserve(nrows);
    unvan.reserve(nrows);
    son_risk.reserve(nrows);
    for (size_t i = 0; i < nrows; ++i) {
        muta.push_text(std::to_string(100000 + i));
        unvan.push_text("FIRMA " + std::to_string(i));
        int r = pct(rng);
        if (r < 20) son_risk.push_null();
        else if (r < 70) son_risk.push_int(0);
        else son_risk.push_int(risk(rng));
    }
    t.set("muta", std::move(muta));
    t.set("unvan", std::move(unvan));
    t.set("son_risk", std::move(son_risk));

    std::vector<int64_t> level(nrows);
    for (auto& v : level) v = start(rng);
    core::List periods;
    for (size_t p = 0; p < nperiods; ++p) {
        const int year = 22 + static_cast<int>(p / 12), month = 1 + static_cast<int>(p % 12);
        char key[8];
        std::snprintf(key, sizeof key, "%02d%02d", year % 100, month);
        periods.emplace_back(std::string(key));
        core::Column c(core::mixed);
        c.reserve(nrows);
        for (size_t i = 0; i < nrows; ++i) {
            level[i] = std::clamp<int64_t>(level[i] + step(rng), 0, 1000);
            int r = pct(rng);
            if (r < 15) c.push_text("YI");
            else if (r < 30) c.push_int(-1);
            else if (r < 50) c.push_null();
            else c.push_int(level[i]);
        }
        t.set(std::string("ovik") + key, std::move(c));
    }

    return tarvo::bench::scoreboard_of(std::move(t), std::move(periods));
}

// Wall-clock and process CPU time since construction.
struct Stopwatch {
    std::chrono::steady_clock::time_point wall0 = std::chrono::steady_clock::now();
    std::clock_t cpu0 = std::clock();
    double wall() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    }
    double cpu() const { return static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC; }
};

}  // namespace

int main(int argc, char** argv) {
    const size_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000;
    const size_t periods = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 24;
    const int reps = argc > 3 ? std::atoi(argv[3]) : 3;

    Stopwatch build;
    core::Document board = make_board(rows, periods, 20240501);
    std::printf("scoreboard: %zu rows x %zu periods built in %.3f s, peak RSS%s\n", rows, periods,
                build.wall(), tarvo::bench::peak_rss().c_str());

    vandel::Vandel con(":memory:");
    for (int r = 0; r < reps; ++r) {
        Stopwatch lists;
        core::Document trending = marts::_build_trending_lists(con, board);
        const double lists_wall = lists.wall(), lists_cpu = lists.cpu();

        std::string enrich_line;
        Stopwatch enrich;
        {
            core::ConsoleCapture capture;
            marts::_enrich_with_trending(board, trending);
            enrich_line = capture.out();
        }
        const double enrich_wall = enrich.wall(), enrich_cpu = enrich.cpu();

        std::printf("run %d: trending lists %.3f s (cpu %.3f), enrichment %.3f s (cpu %.3f), "
                    "together %.3f s (cpu %.3f)\n",
                    r + 1, lists_wall, lists_cpu, enrich_wall, enrich_cpu, lists_wall + enrich_wall,
                    lists_cpu + enrich_cpu);
        if (r == 0) {
            for (const auto& [key, list] : trending.as_dict())
                std::printf("  %s: %zu entries\n", key.c_str(), list.size());
            std::printf("  %s", enrich_line.c_str());
        }
    }
    std::printf("peak RSS%s\n", tarvo::bench::peak_rss().c_str());
    return 0;
}
