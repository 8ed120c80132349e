#include "tarvo/demo/demo.hpp"

#include <chrono>
#include <cstdio>
#include <string>

#include "tarvo/brenk/runner.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/demo/demo_dir.hpp"
#include "tarvo/demo/source_tree.hpp"
#include "tarvo/dovrak/verifier.hpp"

namespace tarvo::demo {

int run_demo(const DemoOptions& options) {
    core::Console& out = core::console();
    DemoDir demo_dir(options.dir);
    const fs::path source = options.dir / "source";
    const fs::path db = options.dir / "db" / "ovik.duckdb";

    out.line("  Generating source tree: " + core::path_text(source) + " (" + core::group_thousands(options.firms) +
             " firms, " + std::to_string(options.periods) + " periods, seed " + std::to_string(options.seed) +
             ")...");
    const auto start = std::chrono::steady_clock::now();
    generate_source_tree(source, options.firms, options.periods, options.seed,
                         [&demo_dir](const fs::path& file) { demo_dir.record(file); });
    char secs[32];
    std::snprintf(secs, sizeof secs, "%.1f",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    out.line(std::string("    10 sources written in ") + secs + " s");

    core::make_dirs(db.parent_path());
    brenk::run_pipeline(source, db, brenk::RunOptions{});

    const int status = dovrak::verify_all(db.string());

    const fs::path html = options.dir / "outputs" / "html";
    out.line("");
    out.line("  Dashboards:");
    for (const char* name : {"ovik_dashboard.html", "ovik_dashboard_yonetici.html", "ovik_dashboard_admin.html"})
        out.line("    " + core::path_text(html / name));
    return status;
}

}  // namespace tarvo::demo
