// Times the prediction step on its own: run_predictions on a warehouse, with a scoreboard that
// holds one row per firm of dim_entity (only "muta"), so the figures are the predictor's.
//
//   predictor_bench DB_PATH
//
// Prints the predictor's own lines, then "run_predictions: <s> s, <n> rows with a probability,
// peak <VmHWM>".
#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "bench_support.hpp"
#include "tarvo/ml/zavor/predictor.hpp"
#include "tarvo/vandel/vandel.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DB_PATH\n", argv[0]);
        return 2;
    }
    try {
        tarvo::core::Document scoreboard;
        {
            tarvo::vandel::Vandel con(argv[1], tarvo::vandel::Access::read_only);
            tarvo::core::Table rows = con.query("SELECT CAST(entity_id AS VARCHAR) AS muta FROM dim_entity ORDER BY 1");
            scoreboard = tarvo::bench::scoreboard_of(std::move(rows), {});
        }
        const auto start = std::chrono::steady_clock::now();
        tarvo::zavor::run_predictions(argv[1], scoreboard);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const tarvo::core::Table& rows = scoreboard["rows"].as_rows();
        size_t scored = 0;
        if (const auto* prob = rows.find("_ml_yi_prob"))
            for (size_t i = 0; i < prob->size(); ++i) scored += !prob->is_null(i);
        std::printf("run_predictions: %.2f s, %zu rows with a probability, peak%s\n", s, scored,
                    tarvo::bench::peak_rss().c_str());
    } catch (const std::exception& e) {
        std::cerr << "predictor_bench: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
