// The ingest run: rebuilds the warehouse file beside the old one, runs the bronze table
// definitions, loads the ten sources in their fixed order and prints the closing summary.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::ingest {

namespace fs = std::filesystem;

// Directory key -> directory that replaces `source_dir / key` for that source.
using DataPaths = std::map<std::string, fs::path>;

// data_paths[subdir] when present (used unchanged, even when relative), else source_dir/subdir.
fs::path _resolve_dir(const fs::path& source_dir, const std::string& subdir, const DataPaths& data_paths);

// The directory keys of the ten sources, in load order.
std::vector<std::string_view> source_dir_keys();

// FileNotFoundError when `source_dir` does not exist, NotADirectoryError when it is not a
// directory: a mistyped source path must not replace a warehouse with an empty one.
void check_source_dir(const fs::path& source_dir);

// Runs every "*.sql" file of lodrin::get_ddl_path(), in ascending path order.
void _create_bronze_tables(vandel::Vandel& con);

// Runs the statements of one definition file: lines whose trimmed text begins with "--" are
// dropped, the rest is split at every ";" (quotes and comments not considered), each trimmed,
// non-empty piece is executed and a failing piece is ignored silently.
void _execute_sql_file(vandel::Vandel& con, const fs::path& sql_path);

// Builds a new warehouse at `db_path`, which must not exist: creates the bronze tables, loads
// the ten sources, prints
//   ""
//   "  Bronze tables: <n>"
//   "    <table>: <count>"   (one per table holding rows)
// and closes the warehouse. Any failure other than a missing source directory or a failing
// definition statement ends the build and propagates.
void build_bronze_warehouse(const fs::path& source_dir, const fs::path& db_path, const DataPaths& data_paths,
                            const MutaFilter& muta_filter);

// One ingest run: checks the source directory and the warehouse path (check_source_dir,
// check_warehouse_target) before anything is deleted, builds the new warehouse beside the old
// one (build_bronze_warehouse) and replaces the old file only when the build succeeded. A
// failed run leaves the previous warehouse as it was. `force` replaces a file that is not a
// warehouse.
void run_ingest(const fs::path& source_dir, const fs::path& db_path, const DataPaths& data_paths = {},
                const MutaFilter& muta_filter = std::nullopt, bool force = false);

// The muta filter of the command line: one customer number per line, normalised as the sources'
// customer numbers are ("0001000011" is 1000011); blank lines are passed over. Lines that are not
// customer numbers are ignored and reported on one line with the first of them:
//   "  [WARN] muta filter: <n> lines ignored, not customer numbers (first: line <k> "<text>")"
// (the text cut to 40 bytes). FileNotFoundError when the file is missing.
MutaFilter read_muta_filter_file(const fs::path& file);

}  // namespace tarvo::ingest
