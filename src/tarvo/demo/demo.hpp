// The end-to-end demo: a synthetic source tree, a whole pipeline run on it, the installation
// verifier on the resulting warehouse, and where the dashboards are.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tarvo::demo {

namespace fs = std::filesystem;

struct DemoOptions {
    fs::path dir = "demo";
    int64_t firms = 5000;
    int periods = 12;
    uint64_t seed = 42;
};

// Refuses a DIR holding files no demo wrote (DemoDir). Writes the source tree under DIR/source,
// runs the pipeline into DIR/db/ovik.duckdb (the marts
// write DIR/outputs/json and DIR/outputs/html), runs the verifier on that warehouse and prints
// where the three dashboards are. Lines of its own:
//   "  Generating source tree: <DIR>/source (<firms> firms, <periods> periods, seed <seed>)..."
//   "    10 sources written in <s> s"
//   ... the pipeline's and the verifier's lines ...
//   ""
//   "  Dashboards:"
//   "    <DIR>/outputs/html/ovik_dashboard.html"
//   "    <DIR>/outputs/html/ovik_dashboard_yonetici.html"
//   "    <DIR>/outputs/html/ovik_dashboard_admin.html"
// Returns the verifier's exit status (0 when no check failed). Errors of the generator or the
// pipeline propagate.
int run_demo(const DemoOptions& options);

}  // namespace tarvo::demo
