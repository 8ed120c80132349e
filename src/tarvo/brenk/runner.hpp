// The pipeline runner: one pipeline run builds a new warehouse beside the old one (ingest, then
// the silver step), replaces the old warehouse with it, then runs the marts on it. Each step
// opens and closes its own warehouse connections.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tarvo/pipeline/ingest/driver.hpp"

namespace tarvo::brenk {

namespace fs = std::filesystem;

struct RunOptions {
    ingest::DataPaths data_paths;          // directory key -> directory replacing source_dir/key
    ingest::MutaFilter muta_filter;        // normal-form muta texts to keep, or none
    std::optional<fs::path> output_dir;    // JSON and CSV outputs; default beside the db directory
    std::string file_suffix;               // appended to every output file's base name
    bool force = false;                    // replace a DB_PATH file that is not a warehouse
    bool use_predictor = true;             // false: no back-test step, no prediction step
};

// One step's name and wall time in seconds.
struct StepTime {
    std::string name;
    double seconds;
};

// Before anything is deleted, checks the file suffix, the source directory and the warehouse
// path and creates the output and HTML directories; then builds the new warehouse in a
// temporary file beside `db_path` with ingest::build_bronze_warehouse, dalmer::run_transforms
// and, when the build has the predictor and use_predictor is set, ml::run_backtest; replaces
// the old warehouse with it, and runs marts::run_marts on `db_path`. Each step prints its own
// lines; then the wall time of each step on one line:
//   "  Süreler: ingest 1.2 s, transform 0.4 s, marts 2.1 s"
// (seconds with one decimal). A failing or killed step ends the run with its error and no
// summary; before the replacement the previous warehouse is untouched, and the marts publish
// their files only when they complete.
void run_pipeline(const fs::path& source_dir, const fs::path& db_path, const RunOptions& options);

// The summary line for the steps' times, in the order run.
std::string timing_line(const std::vector<StepTime>& steps);

}  // namespace tarvo::brenk
