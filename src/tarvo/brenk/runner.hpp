// The pipeline runner: one pipeline run is the ingest, the silver step and the mart run, in
// this order, each opening and closing its own warehouse connections.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "tarvo/pipeline/ingest/driver.hpp"

namespace tarvo::brenk {

namespace fs = std::filesystem;

struct RunOptions {
    ingest::DataPaths data_paths;          // directory key -> directory replacing source_dir/key
    ingest::MutaFilter muta_filter;        // normal-form muta texts to keep, or none
    std::optional<fs::path> output_dir;    // JSON and CSV outputs; default beside the db directory
    std::string file_suffix;               // appended to every output file's base name
    bool use_predictor = true;             // false: no back-test step, no prediction step
};

// Runs ingest::run_ingest, dalmer::run_transforms, the back-test (ml::run_backtest, when the
// build has the predictor and use_predictor is set) and marts::run_marts on `db_path`; each step
// prints its own lines. Then prints the wall time of each step on one line:
//   "  Süreler: ingest 1.2 s, transform 0.4 s, marts 2.1 s"
// (seconds with one decimal). A failing step ends the run with its error; no summary then.
void run_pipeline(const fs::path& source_dir, const fs::path& db_path, const RunOptions& options);

// The summary line for three step times in seconds.
std::string timing_line(double ingest_s, double transform_s, double marts_s);

}  // namespace tarvo::brenk
