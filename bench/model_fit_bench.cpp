// Times the model's fit on a warehouse's own training rows, apart from the reading: loads the
// feature matrix once, then fits it REPEATS times and prints each fit's time and the weights'
// bits, so that a change to the fit can be checked to give the same weights to the last bit.
//
//   model_fit_bench DB_PATH [THREADS] [REPEATS]
//
// Prints "rows: <training rows>", then "fit: <s> s" per repeat, then one "weight <f> <hex bits>"
// line per feature and "bias <hex bits>".
#include <bit>
#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>

#include "bench_support.hpp"
#include "tarvo/ml/zavor/model.hpp"
#include "tarvo/ml/zavor/predictor.hpp"
#include "tarvo/vandel/vandel.hpp"

int main(int argc, char** argv) {
    const auto [db_path, threads, repeats] = tarvo::bench::warehouse_runs(argc, argv);
    try {
        namespace zavor = tarvo::zavor;
        zavor::FeatureMatrix m;
        {
            tarvo::vandel::Vandel con(db_path, tarvo::vandel::Access::read_only);
            m = zavor::load_features(con, zavor::kHorizon);
        }
        const auto periods = static_cast<int32_t>(m.periods.size());
        const size_t end_row = m.first_row_of(periods - zavor::kHorizon);
        std::printf("rows: %zu\n", end_row);
        std::optional<zavor::LogisticModel> model;
        for (int k = 0; k < repeats; ++k) {
            const auto start = std::chrono::steady_clock::now();
            model = zavor::LogisticModel::fit(m, end_row, threads);
            std::printf("fit: %.3f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        if (!model) {
            std::printf("no model: one class only\n");
            return 0;
        }
        for (size_t f = 0; f < zavor::kFeatureCount; ++f)
            std::printf("weight %zu %016llx\n", f, static_cast<unsigned long long>(std::bit_cast<uint64_t>(model->weights()[f])));
        std::printf("bias %016llx\npeak%s\n", static_cast<unsigned long long>(std::bit_cast<uint64_t>(model->bias())),
                    tarvo::bench::peak_rss().c_str());
    } catch (const std::exception& e) {
        std::cerr << "model_fit_bench: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
