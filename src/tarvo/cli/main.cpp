// The tarvo command line: the pipeline's steps, the whole pipeline, the verifier and the demo.
// Progress goes to standard output. A mistake in the command line itself is one line on
// standard error and exit status 2; an error that ends a command is one line on standard error
// (with a second "hint: " line for common mistakes) and exit status 1.
#include <CLI/CLI.hpp>

#include <iostream>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tarvo/brenk/closing_block.hpp"
#include "tarvo/brenk/runner.hpp"
#include "tarvo/cli/hints.hpp"
#include "tarvo/cli/usage.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/demo/demo.hpp"
#include "tarvo/dovrak/verifier.hpp"
#if TARVO_HAVE_PREDICTOR
#include "tarvo/ml/backtest.hpp"
#include "tarvo/ml/zavor/predictor.hpp"
#endif
#include "tarvo/pipeline/dalmer/transforms.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/pipeline/marts/driver.hpp"
#include "tarvo/vandel/engine_settings.hpp"
#include "tarvo/vandel/vandel.hpp"
#include "tarvo/version.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tarvo;

constexpr int kUsageStatus = 2;

// A mistake in the command line itself.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct IngestArgs {
    std::vector<std::string> data_paths;  // KEY=DIR
    std::string muta_filter_file;
    bool force = false;
};

struct MartsArgs {
    std::string output_dir;
    std::string suffix;
    bool no_predictor = false;
};

// The warehouse engine's limits, on every command that opens the warehouse.
struct EngineArgs {
    std::optional<std::string> memory_limit;
    std::optional<std::string> threads;
};

void add_engine_options(CLI::App* cmd, EngineArgs& args) {
    const vandel::EngineSettings here = vandel::default_engine_settings();
    cmd->add_option("--memory-limit", args.memory_limit,
                    "memory the warehouse engine may use, e.g. 512MB or 2GiB (default: half of this machine's "
                    "memory, at most 1 GiB; here " + vandel::memory_size_text(here.memory_limit_bytes) + ")")
        ->type_name("SIZE");
    cmd->add_option("--threads", args.threads,
                    "threads the warehouse engine, the model's fit and the writing of the scoreboard may use "
                    "(default: one per core, at most 4; here " +
                        std::to_string(here.threads) + ")")
        ->type_name("N");
}

// Puts the engine options in force; a bad value is a mistake in the command line.
void apply_engine_args(const EngineArgs& args) {
    vandel::EngineSettings settings = vandel::default_engine_settings();
    try {
        if (args.memory_limit) settings.memory_limit_bytes = vandel::parse_memory_limit(*args.memory_limit);
    } catch (const core::ValueError& e) {
        throw UsageError(std::string("--memory-limit: ") + e.what());
    }
    try {
        if (args.threads) settings.threads = vandel::parse_threads(*args.threads);
    } catch (const core::ValueError& e) {
        throw UsageError(std::string("--threads: ") + e.what());
    }
    vandel::set_engine_settings(settings);
}

void add_ingest_options(CLI::App* cmd, IngestArgs& args) {
    cmd->add_option("--data-path", args.data_paths,
                    "KEY=DIR: read the source KEY (e.g. kredi_db) from DIR instead of SOURCE_DIR/KEY")
        ->type_name("KEY=DIR");
    cmd->add_option("--muta-filter", args.muta_filter_file,
                    "file with one customer number per line; only those firms are loaded")
        ->check(CLI::ExistingFile);
    cmd->add_flag("--force", args.force, "replace DB_PATH even when it is not a warehouse file");
}

void add_marts_options(CLI::App* cmd, MartsArgs& args) {
    cmd->add_option("--output-dir", args.output_dir,
                    "directory for the JSON and CSV files (default: <root>/outputs/json for <root>/db/x.duckdb)");
    cmd->add_option("--suffix", args.suffix, "text appended to every output file's base name (no '/')");
    cmd->add_flag("--no-predictor", args.no_predictor,
                  "skip the prediction step (and the back-test step of run), as a build without the predictor");
}

std::vector<std::string> command_names(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* cmd : app.get_subcommands({})) names.push_back(cmd->get_name());
    return names;
}

std::vector<std::string> long_options(const CLI::App& cmd) {
    std::vector<std::string> names;
    for (const CLI::Option* opt : cmd.get_options())
        for (const std::string& name : opt->get_lnames()) names.push_back("--" + name);
    return names;
}

// Arguments the command did not take: the first is the mistake reported.
void reject_extras(const CLI::App& cmd) {
    const std::vector<std::string> extras = cmd.remaining();
    if (extras.empty()) return;
    const std::string& word = extras.front();
    if (word.starts_with("-")) {
        const std::string name = word.substr(0, word.find('='));
        throw UsageError("unknown option '" + name + "'" +
                         cli::did_you_mean_or_list(name, long_options(cmd), "options"));
    }
    throw UsageError("unexpected argument '" + word + "'");
}

#if TARVO_HAVE_PREDICTOR
struct BacktestArgs {
    int horizon = zavor::kHorizon;
    int folds = ml::kDefaultFolds;
};

CLI::App* add_backtest_command(CLI::App& app, std::string& db_path, BacktestArgs& args) {
    auto* cmd = app.add_subcommand("backtest", "walk-forward back-test of the predictor and the eus and yis scores; "
                                               "writes the six backtest_ tables");
    cmd->add_option("DB_PATH", db_path, "warehouse file")->required();
    cmd->add_option("--horizon", args.horizon, "periods ahead in which entering YI counts")
        ->capture_default_str()->check(CLI::Range(1, 12));
    cmd->add_option("--folds", args.folds, "number of newest evaluated periods")
        ->capture_default_str()->check(CLI::Range(1, 12));
    return cmd;
}
#endif

ingest::DataPaths parse_data_paths(const std::vector<std::string>& items) {
    std::vector<std::string> keys;
    for (std::string_view key : ingest::source_dir_keys()) keys.emplace_back(key);
    ingest::DataPaths out;
    for (const auto& item : items) {
        auto eq = item.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == item.size())
            throw UsageError("--data-path wants KEY=DIR, got '" + item + "'");
        const std::string key = item.substr(0, eq);
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            throw UsageError("unknown --data-path key '" + key + "'" + cli::did_you_mean(key, keys) +
                             "; valid keys: " + core::join(keys, ", "));
        out[key] = fs::path(item.substr(eq + 1));
    }
    return out;
}

void check_suffix(const std::string& suffix) {
    try {
        marts::check_file_suffix(suffix);
    } catch (const core::ValueError& e) {
        throw UsageError(std::string("--suffix: ") + e.what());
    }
}

ingest::MutaFilter muta_filter_of(const IngestArgs& args) {
    if (args.muta_filter_file.empty()) return std::nullopt;
    return ingest::read_muta_filter_file(args.muta_filter_file);
}

std::optional<fs::path> output_dir_of(const MartsArgs& args) {
    if (args.output_dir.empty()) return std::nullopt;
    return fs::path(args.output_dir);
}

// The silver step and the marts read an existing warehouse: opening a missing one would create it.
void require_warehouse_file(const fs::path& db_path) {
    std::error_code ec;
    const fs::file_status status = fs::status(db_path, ec);
    if (fs::is_directory(status))
        throw core::IsADirectoryError("warehouse path " + core::path_text(db_path) + " is a directory, not a file");
    if (!fs::exists(status))
        throw core::FileNotFoundError("warehouse " + core::path_text(db_path) + " does not exist");
}

void print_closing_block(const fs::path& db_path, const MartsArgs& args, std::optional<int64_t> skipped) {
    core::Console& out = core::console();
    for (const std::string& line :
         brenk::closing_block(marts::mart_outputs(db_path, output_dir_of(args), args.suffix), skipped, out.warnings()))
        out.line(line);
}

int usage_error(const std::string& command, const std::string& message) {
    std::cout.flush();
    std::cerr << cli::error_line("tarvo" + (command.empty() ? "" : " " + command) + ": ", message) << "\n";
    return kUsageStatus;
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
    EngineArgs engine_args;
    std::string source_dir, db_path, verify_db = "db/ovik.duckdb";
    demo::DemoOptions demo_options;
    std::string demo_dir = demo_options.dir.string();

    auto* ingest_cmd = app.add_subcommand("ingest", "rebuild the warehouse from the source extracts");
    ingest_cmd->add_option("SOURCE_DIR", source_dir, "root directory of the source extracts")->required();
    ingest_cmd->add_option("DB_PATH", db_path, "warehouse file, replaced when the ingest succeeds")->required();
    add_ingest_options(ingest_cmd, ingest_args);
    add_engine_options(ingest_cmd, engine_args);

    auto* transform_cmd = app.add_subcommand("transform", "build the silver tables from the bronze tables");
    transform_cmd->add_option("DB_PATH", db_path, "warehouse file")->required();
    add_engine_options(transform_cmd, engine_args);

    auto* marts_cmd = app.add_subcommand("marts", "build the marts, write their files and the dashboards");
    marts_cmd->add_option("DB_PATH", db_path, "warehouse file")->required();
    add_marts_options(marts_cmd, marts_args);
    add_engine_options(marts_cmd, engine_args);

    auto* run_cmd = app.add_subcommand("run", "ingest, silver step and marts in order");
    run_cmd->add_option("SOURCE_DIR", source_dir, "root directory of the source extracts")->required();
    run_cmd->add_option("DB_PATH", db_path, "warehouse file, replaced when ingest and silver step succeed")
        ->required();
    add_ingest_options(run_cmd, ingest_args);
    add_marts_options(run_cmd, marts_args);
    add_engine_options(run_cmd, engine_args);

#if TARVO_HAVE_PREDICTOR
    BacktestArgs backtest_args;
    auto* backtest_cmd = add_backtest_command(app, db_path, backtest_args);
    add_engine_options(backtest_cmd, engine_args);
#endif

    auto* verify_cmd = app.add_subcommand("verify", "check this installation and a warehouse (exit status 1 on a failure)");
    verify_cmd->add_option("DB_PATH", verify_db, "warehouse file to check read-only")->capture_default_str();
    add_engine_options(verify_cmd, engine_args);

    auto* demo_cmd = app.add_subcommand("demo", "generate a sample source tree and run the whole pipeline on it");
    demo_cmd->add_option("--dir", demo_dir, "directory for the sample (source/, db/, outputs/)")->capture_default_str();
    demo_cmd->add_option("--firms", demo_options.firms, "number of firms")->capture_default_str()->check(CLI::PositiveNumber);
    demo_cmd->add_option("--periods", demo_options.periods, "number of monthly periods")->capture_default_str()->check(CLI::Range(2, 60));
    demo_cmd->add_option("--seed", demo_options.seed, "random seed")->capture_default_str();
    add_engine_options(demo_cmd, engine_args);

    // Unknown arguments are reported by us, with the closest known word.
    for (CLI::App* cmd : app.get_subcommands({})) cmd->allow_extras();

    const std::vector<std::string> commands = command_names(app);
    const std::string first = argc > 1 ? argv[1] : "";
    if (first.empty())
        return usage_error("", "a command is required" + cli::did_you_mean_or_list("", commands, "commands"));
    const bool is_command = std::find(commands.begin(), commands.end(), first) != commands.end();
    if (!first.starts_with("-") && !is_command)
        return usage_error("", "unknown command '" + first + "'" +
                                   cli::did_you_mean_or_list(first, commands, "commands"));
    const std::string command = is_command ? first : "";

    ingest::DataPaths data_paths;
    try {
        app.parse(argc, argv);
        for (const CLI::App* cmd : app.get_subcommands()) reject_extras(*cmd);
        data_paths = parse_data_paths(ingest_args.data_paths);
        check_suffix(marts_args.suffix);
        apply_engine_args(engine_args);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usage_error(command, e.what());
    } catch (const UsageError& e) {
        return usage_error(command, e.what());
    }

    try {
        if (*ingest_cmd) {
            ingest::run_ingest(source_dir, db_path, data_paths, muta_filter_of(ingest_args), ingest_args.force);
        } else if (*transform_cmd) {
            require_warehouse_file(db_path);
            dalmer::run_transforms(db_path);
        } else if (*marts_cmd) {
            require_warehouse_file(db_path);
            marts::run_marts(db_path, output_dir_of(marts_args), marts_args.suffix, !marts_args.no_predictor);
            print_closing_block(db_path, marts_args, std::nullopt);
        } else if (*run_cmd) {
            brenk::RunOptions options{data_paths,          muta_filter_of(ingest_args), output_dir_of(marts_args),
                                      marts_args.suffix,   ingest_args.force,           !marts_args.no_predictor};
            brenk::run_pipeline(source_dir, db_path, options);
            print_closing_block(db_path, marts_args, core::console().skipped());
#if TARVO_HAVE_PREDICTOR
        } else if (*backtest_cmd) {
            require_warehouse_file(db_path);
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
        std::cerr << cli::error_line("tarvo: " + core::error_kind(e) + ": ", e.what()) << "\n";
        if (auto hint = cli::hint_for({command, source_dir, db_path}, e))
            std::cerr << cli::error_line("", *hint) << "\n";
        return 1;
    }
    return 0;
}
