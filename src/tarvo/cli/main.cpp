// The tarvo command line: the pipeline's steps, the whole pipeline, the verifier and the demo.
// Progress goes to standard output; an error that ends a command is one line on standard error
// and a non-zero exit status.
#include <CLI/CLI.hpp>

#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tarvo/brenk/runner.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/demo/demo.hpp"
#include "tarvo/dovrak/verifier.hpp"
#if TARVO_HAVE_PREDICTOR
#include "tarvo/ml/backtest.hpp"
#include "tarvo/ml/zavor/predictor.hpp"
#endif
#include "tarvo/pipeline/dalmer/transforms.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/pipeline/marts/driver.hpp"
#include "tarvo/vandel/vandel.hpp"
#include "tarvo/version.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tarvo;

struct IngestArgs {
    std::vector<std::string> data_paths;  // KEY=DIR
    std::string muta_filter_file;
};

struct MartsArgs {
    std::string output_dir;
    std::string suffix;
    bool no_predictor = false;
};

void add_ingest_options(CLI::App* cmd, IngestArgs& args) {
    cmd->add_option("--data-path", args.data_paths,
                    "KEY=DIR: read the source KEY (e.g. kredi_db) from DIR instead of SOURCE_DIR/KEY")
        ->type_name("KEY=DIR");
    cmd->add_option("--muta-filter", args.muta_filter_file,
                    "file with one normal-form muta per line; only those firms are loaded")
        ->check(CLI::ExistingFile);
}

void add_marts_options(CLI::App* cmd, MartsArgs& args) {
    cmd->add_option("--output-dir", args.output_dir,
                    "directory for the JSON and CSV files (default: <root>/outputs/json for <root>/db/x.duckdb)");
    cmd->add_option("--suffix", args.suffix, "text appended to every output file's base name");
    cmd->add_flag("--no-predictor", args.no_predictor,
                  "skip the prediction step (and the back-test step of run), as a build without the predictor");
}

#if TARVO_HAVE_PREDICTOR
struct BacktestArgs {
    int horizon = zavor::kHorizon;
    int folds = ml::kDefaultFolds;
};

CLI::App* add_backtest_command(CLI::App& app, std::string& db_path, BacktestArgs& args) {
    auto* cmd = app.add_subcommand("backtest", "walk-forward back-test of the predictor and the eus and yis scores; "
                                               "writes the six backtest_ tables");
    cmd->add_option("DB_PATH", db_path, "warehouse file")->required()->check(CLI::ExistingFile);
    cmd->add_option("--horizon", args.horizon, "periods ahead in which entering YI counts")
        ->capture_default_str()->check(CLI::Range(1, 12));
    cmd->add_option("--folds", args.folds, "number of newest evaluated periods")
        ->capture_default_str()->check(CLI::Range(1, 12));
    return cmd;
}
#endif

ingest::DataPaths parse_data_paths(const std::vector<std::string>& items) {
    ingest::DataPaths out;
    for (const auto& item : items) {
        auto eq = item.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == item.size())
            throw core::ValueError("--data-path wants KEY=DIR, got '" + item + "'");
        out[item.substr(0, eq)] = fs::path(item.substr(eq + 1));
    }
    return out;
}

ingest::MutaFilter muta_filter_of(const IngestArgs& args) {
    if (args.muta_filter_file.empty()) return std::nullopt;
    return ingest::read_muta_filter_file(args.muta_filter_file);
}

std::optional<fs::path> output_dir_of(const MartsArgs& args) {
    if (args.output_dir.empty()) return std::nullopt;
    return fs::path(args.output_dir);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "tarvo: the batch pipeline behind the early-warning scoreboard of monitored borrowers.\n"
        "Loads source extracts into a warehouse file, builds the silver tables and the marts,\n"
        "writes JSON and CSV files and renders three HTML dashboards."};
    app.set_version_flag("--version", std::string("tarvo ") + kVersion + " (DuckDB " +
                                          vandel::library_version() + ")");
    app.require_subcommand(1);

    IngestArgs ingest_args;
    MartsArgs marts_args;
    std::string source_dir, db_path, verify_db = "db/ovik.duckdb";
    demo::DemoOptions demo_options;
    std::string demo_dir = demo_options.dir.string();

    auto* ingest_cmd = app.add_subcommand("ingest", "rebuild the warehouse from the source extracts");
    ingest_cmd->add_option("SOURCE_DIR", source_dir, "root directory of the source extracts")->required();
    ingest_cmd->add_option("DB_PATH", db_path, "warehouse file to create (deleted first)")->required();
    add_ingest_options(ingest_cmd, ingest_args);

    auto* transform_cmd = app.add_subcommand("transform", "build the silver tables from the bronze tables");
    transform_cmd->add_option("DB_PATH", db_path, "warehouse file")->required()->check(CLI::ExistingFile);

    auto* marts_cmd = app.add_subcommand("marts", "build the marts, write their files and the dashboards");
    marts_cmd->add_option("DB_PATH", db_path, "warehouse file")->required()->check(CLI::ExistingFile);
    add_marts_options(marts_cmd, marts_args);

    auto* run_cmd = app.add_subcommand("run", "ingest, silver step and marts in order");
    run_cmd->add_option("SOURCE_DIR", source_dir, "root directory of the source extracts")->required();
    run_cmd->add_option("DB_PATH", db_path, "warehouse file to create (deleted first)")->required();
    add_ingest_options(run_cmd, ingest_args);
    add_marts_options(run_cmd, marts_args);

#if TARVO_HAVE_PREDICTOR
    BacktestArgs backtest_args;
    auto* backtest_cmd = add_backtest_command(app, db_path, backtest_args);
#endif

    auto* verify_cmd = app.add_subcommand("verify", "check this installation and a warehouse (exit status 1 on a failure)");
    verify_cmd->add_option("DB_PATH", verify_db, "warehouse file to check read-only")->capture_default_str();

    auto* demo_cmd = app.add_subcommand("demo", "generate a sample source tree and run the whole pipeline on it");
    demo_cmd->add_option("--dir", demo_dir, "directory for the sample (source/, db/, outputs/)")->capture_default_str();
    demo_cmd->add_option("--firms", demo_options.firms, "number of firms")->capture_default_str()->check(CLI::PositiveNumber);
    demo_cmd->add_option("--periods", demo_options.periods, "number of monthly periods")->capture_default_str()->check(CLI::Range(2, 60));
    demo_cmd->add_option("--seed", demo_options.seed, "random seed")->capture_default_str();

    CLI11_PARSE(app, argc, argv);

    try {
        if (*ingest_cmd) {
            ingest::run_ingest(source_dir, db_path, parse_data_paths(ingest_args.data_paths),
                               muta_filter_of(ingest_args));
        } else if (*transform_cmd) {
            dalmer::run_transforms(db_path);
        } else if (*marts_cmd) {
            marts::run_marts(db_path, output_dir_of(marts_args), marts_args.suffix, !marts_args.no_predictor);
        } else if (*run_cmd) {
            brenk::RunOptions options{parse_data_paths(ingest_args.data_paths), muta_filter_of(ingest_args),
                                      output_dir_of(marts_args), marts_args.suffix, !marts_args.no_predictor};
            brenk::run_pipeline(source_dir, db_path, options);
#if TARVO_HAVE_PREDICTOR
        } else if (*backtest_cmd) {
            ml::run_backtest(db_path, backtest_args.horizon, backtest_args.folds);
#endif
        } else if (*verify_cmd) {
            return dovrak::verify_all(verify_db);
        } else if (*demo_cmd) {
            demo_options.dir = demo_dir;
            return demo::run_demo(demo_options);
        }
    } catch (const std::exception& e) {
        std::cout.flush();
        // One line: the warehouse's messages go on with hints and a caret under the statement.
        const std::string message = e.what();
        std::cerr << "tarvo: " << core::error_kind(e) << ": " << message.substr(0, message.find('\n')) << "\n";
        return 1;
    }
    return 0;
}
