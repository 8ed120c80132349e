// Times the rendering of the full and manager dashboards of a warehouse's scoreboard, apart from
// its building: builds the scoreboard (with its trending flags and diagnostic index) once, then
// renders both pages REPEATS times into a scratch directory that is removed at the end.
//
//   pages_bench DB_PATH [THREADS] [REPEATS]      (THREADS is not used: pages render on one)
//
// Prints "rows: <firms>", then "full: <s> s  manager: <s> s" per repeat, then "peak: <kB> kB".
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>

#include <unistd.h>

#include "bench_support.hpp"
#include "tarvo/pipeline/marts/diag_index.hpp"
#include "tarvo/pipeline/marts/driver.hpp"
#include "tarvo/pipeline/marts/enrichment.hpp"
#include "tarvo/pipeline/marts/reference.hpp"
#include "tarvo/pipeline/marts/scoreboard.hpp"
#include "tarvo/pipeline/marts/scoreboard_reading.hpp"
#include "tarvo/pipeline/marts/trending.hpp"
#include "tarvo/pipeline/ronnel/render.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace fs = std::filesystem;
using namespace tarvo;

namespace {

double seconds_of(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const auto [db_path, threads, repeats] = bench::warehouse_runs(argc, argv);
    (void)threads;
    const fs::path dir = fs::temp_directory_path() / ("pages_bench." + std::to_string(::getpid()));
    try {
        fs::create_directories(dir);
        core::Document scoreboard;
        {
            vandel::Vandel con(db_path, vandel::Access::read_only);
            scoreboard = marts::_build_scoreboard(con);
            marts::_export_sube_bolge_ref(con, dir, "");
            const core::Document trending = marts::_build_trending_lists(con, scoreboard);
            marts::_enrich_with_trending(scoreboard, trending);
            core::Document diag_index = marts::_build_diag_index(con);
            if (diag_index.size() > 0) scoreboard.set("diag_index", std::move(diag_index));
        }
        std::printf("rows: %zu\n", marts::scoreboard_row_count(scoreboard));
        const fs::path ref_csv = dir / "sube_bolge_ref.csv";
        core::RowsRef rows(scoreboard.get("rows"));
        const marts::ManagerFilter manager(*rows);
        const ronnel::RowFilter filter = [&manager](const core::RowView& row) { return manager(row); };
        for (int k = 0; k < repeats; ++k) {
            const double full = seconds_of([&] {
                ronnel::render_html(scoreboard, dir / "full.html", ref_csv, ronnel::RenderOptions{{}, 12.5, nullptr});
            });
            const double managers = seconds_of([&] {
                ronnel::render_html(scoreboard, dir / "manager.html", ref_csv,
                                    ronnel::RenderOptions{filter, 12.5, nullptr});
            });
            std::printf("full: %.3f s  manager: %.3f s\n", full, managers);
        }
        std::printf("peak:%s\n", bench::peak_rss().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pages_bench: %s\n", e.what());
        fs::remove_all(dir);
        return 1;
    }
    fs::remove_all(dir);
    return 0;
}
