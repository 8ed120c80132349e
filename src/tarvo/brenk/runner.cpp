#include "tarvo/brenk/runner.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "tarvo/core/console.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/pipeline/dalmer/transforms.hpp"
#include "tarvo/pipeline/ingest/warehouse_rebuild.hpp"
#include "tarvo/pipeline/marts/driver.hpp"
#if TARVO_HAVE_PREDICTOR
#include "tarvo/ml/backtest.hpp"
#include "tarvo/ml/zavor/predictor.hpp"
#endif

namespace tarvo::brenk {

namespace {

using Clock = std::chrono::steady_clock;

// A step that builds on the new warehouse at the path it is given.
struct BuildStep {
    std::string name;
    std::function<void(const fs::path& new_warehouse)> run;
};

std::string one_decimal(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", std::max(0.0, s));
    return buf;
}

StepTime timed(const std::string& name, const std::function<void()>& step) {
    const auto start = Clock::now();
    step();
    return {name, std::chrono::duration<double>(Clock::now() - start).count()};
}

}  // namespace

std::string timing_line(const std::vector<StepTime>& steps) {
    std::string line = "  Süreler: ";
    for (size_t i = 0; i < steps.size(); ++i)
        line += (i ? ", " : "") + steps[i].name + " " + one_decimal(steps[i].seconds) + " s";
    return line;
}

void run_pipeline(const fs::path& source_dir, const fs::path& db_path, const RunOptions& options) {
    // Whatever can be checked is checked before the old warehouse is touched.
    marts::check_file_suffix(options.file_suffix);
    modules::load("tarvo.lodrin");
    ingest::check_source_dir(source_dir);
    ingest::WarehouseRebuild rebuild(db_path, options.force);
    const marts::MartOutputs outputs = marts::mart_outputs(db_path, options.output_dir, options.file_suffix);
    core::make_dirs(outputs.json_dir);
    core::make_dirs(outputs.html_dir);

    // The steps that build the new warehouse beside the old one, in order.
    std::vector<BuildStep> build_steps{
        {"ingest",
         [&](const fs::path& db) {
             ingest::build_bronze_warehouse(source_dir, db, options.data_paths, options.muta_filter);
         }},
        {"transform", [](const fs::path& db) { dalmer::run_transforms(db.string()); }},
    };
#if TARVO_HAVE_PREDICTOR
    if (options.use_predictor)
        build_steps.push_back(
            {"backtest", [](const fs::path& db) { ml::run_backtest(db.string(), zavor::kHorizon); }});
#endif
    std::vector<StepTime> times;
    for (const BuildStep& step : build_steps)
        times.push_back(timed(step.name, [&] { step.run(rebuild.path()); }));
    rebuild.commit();

    times.push_back(timed("marts", [&] {
        marts::run_marts(db_path, options.output_dir, options.file_suffix, options.use_predictor);
    }));
    core::console().line(timing_line(times));
}

}  // namespace tarvo::brenk
