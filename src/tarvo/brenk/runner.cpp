#include "tarvo/brenk/runner.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "tarvo/core/console.hpp"
#include "tarvo/pipeline/dalmer/transforms.hpp"
#include "tarvo/pipeline/marts/driver.hpp"
#if TARVO_HAVE_PREDICTOR
#include "tarvo/ml/backtest.hpp"
#include "tarvo/ml/zavor/predictor.hpp"
#endif

namespace tarvo::brenk {

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string one_decimal(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", std::max(0.0, s));
    return buf;
}

}  // namespace

std::string timing_line(double ingest_s, double transform_s, double marts_s) {
    return "  Süreler: ingest " + one_decimal(ingest_s) + " s, transform " + one_decimal(transform_s) +
           " s, marts " + one_decimal(marts_s) + " s";
}

void run_pipeline(const fs::path& source_dir, const fs::path& db_path, const RunOptions& options) {
    const auto t0 = Clock::now();
    ingest::run_ingest(source_dir, db_path, options.data_paths, options.muta_filter);
    const double ingest_s = seconds_since(t0);

    const auto t1 = Clock::now();
    dalmer::run_transforms(db_path.string());
    const double transform_s = seconds_since(t1);

#if TARVO_HAVE_PREDICTOR
    if (options.use_predictor) ml::run_backtest(db_path.string(), zavor::kHorizon);
#endif

    const auto t2 = Clock::now();
    marts::run_marts(db_path, options.output_dir, options.file_suffix, options.use_predictor);
    const double marts_s = seconds_since(t2);

    core::console().line(timing_line(ingest_s, transform_s, marts_s));
}

}  // namespace tarvo::brenk
