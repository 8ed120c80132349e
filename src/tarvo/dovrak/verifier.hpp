// The installation verifier: four groups of checks on an installation of the package and its
// warehouse, a report of one console line per check, and a verdict with an exit status.
//
//   [GRUP 1] the package's modules load and expose their entry operations;
//   [GRUP 2] the installed source text of run_transforms, _build_scoreboard and render_html
//            carries the required fixes;
//   [GRUP 3] the warehouse opens read-only and its key tables answer (only type names, counts
//            of periods and a size bucket of the firms are printed, never firm data);
//   [GRUP 4] the runtime components this build loads: "duckdb", "parquet", "cp1254" required,
//            "mdbtools" optional.
//
// Report lines (all through core::console()):
//   "  ✓ label[ — detail]"  pass       "  ✗ label[ — detail]"  fail
//   "  ⚠ label[ — detail]"  warning    "  ○ label[ — detail]"  skip
// A detail that is null or the empty text is left out with its dash.
//
// Every error inside a group becomes a check outcome, so a broken installation still gets a
// whole report. Only a package that cannot be loaded at all (for the banner's version) ends
// `run` with an exception.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/value.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::dovrak {

// Loads a module of the package by name (ModuleNotFoundError when absent).
using ModuleLoader = std::function<const modules::Module&(std::string_view)>;

// Sizes of fact_periodic: distinct periods and distinct firms.
struct FactSize {
    int64_t periods = 0;
    int64_t firms = 0;
};
using SizeSource = std::function<FactSize(vandel::Vandel&)>;

// Probes a runtime component: its version text ("" when it publishes none), or nothing when it
// is not present. An exception counts as not present.
using ComponentProber = std::function<std::optional<std::string>(std::string_view component)>;

// The runtime components of group 4, in report order.
inline const std::vector<std::string> kRequiredComponents = {"duckdb", "parquet", "cp1254"};
inline const std::vector<std::string> kOptionalComponents = {"mdbtools"};

// The real probes of this build: "duckdb" the loaded library's version; "parquet" the
// warehouse's Parquet reader loaded (checked on an in-memory connection, nothing is written);
// "cp1254" iconv decoding Windows-1254 to UTF-8 (the C library's version); "mdbtools" the
// Access reader built in (libmdb's version). Nothing for any other name.
std::optional<std::string> probe_component(std::string_view component);

// The firm-count bucket: "<1K", "1K-10K", "10K-100K", "100K-1M" or "1M+".
std::string firm_bucket(int64_t firms);

// The two counts of fact_periodic, from the warehouse.
FactSize fact_size(vandel::Vandel& con);

class Verifier {
public:
    // Empty hooks mean the real ones: modules::load, fact_size and probe_component.
    explicit Verifier(const std::filesystem::path& db_path = "db/ovik.duckdb",
                      ModuleLoader loader = {}, SizeSource sizes = {}, ComponentProber prober = {});

    std::filesystem::path db_path;
    std::vector<std::string> fails;  // labels of failed checks, in order
    std::vector<std::string> warns;  // labels of warnings, in order
    std::vector<std::string> skips;  // labels of skipped checks, in order

    // Prints the pass line with detail_ok, or the fail line with detail_fail and records the
    // label in `fails`.
    void check(std::string_view name, bool condition, const core::Value& detail_ok = core::Value(""),
               const core::Value& detail_fail = core::Value(""));
    void warn(std::string_view name, const core::Value& detail = core::Value(""));
    void skip(std::string_view name, const core::Value& detail = core::Value(""));

    void grup1_paket();
    void grup2_kaynak();
    void grup3_runtime();
    void grup4_ortam();

    // Banner with the package's version, the four groups, then the verdict. Returns the exit
    // status: 1 when a check failed, else 0.
    int run();
    // The closing rule and the verdict lines for what has been recorded so far; returns the
    // exit status. Skips never count; a failure hides the warning count.
    int verdict();

private:
    ModuleLoader load_;
    SizeSource sizes_;
    ComponentProber probe_;
};

// Verifies the installation against the warehouse at `db_path` and returns the exit status
// (0 when nothing failed, 1 otherwise). The command line's "verify" exits with it.
int verify_all(const std::string& db_path = "db/ovik.duckdb");

}  // namespace tarvo::dovrak
