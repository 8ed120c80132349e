// The ingest run: rebuilds the warehouse file, runs the bronze table definitions, loads the ten
// sources in their fixed order and prints the closing summary.
#pragma once

#include <filesystem>
#include <map>
#include <string>

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

// Deletes the warehouse file at `db_path` and its write-ahead log `<db_path>.wal`, each when
// present. The log goes with the file: left over from an interrupted run, it must never reach
// the new warehouse.
void _remove_warehouse(const fs::path& db_path);

// Runs every "*.sql" file of lodrin::get_ddl_path(), in ascending path order.
void _create_bronze_tables(vandel::Vandel& con);

// Runs the statements of one definition file: lines whose trimmed text begins with "--" are
// dropped, the rest is split at every ";" (quotes and comments not considered), each trimmed,
// non-empty piece is executed and a failing piece is ignored silently.
void _execute_sql_file(vandel::Vandel& con, const fs::path& sql_path);

// One ingest run. Deletes the warehouse file at `db_path` (and its write-ahead log), creates it
// anew, creates the bronze tables, loads the ten sources, prints
//   ""
//   "  Bronze tables: <n>"
//   "    <table>: <count>"   (one per table holding rows)
// and closes the warehouse. Any failure other than a missing source directory or a failing
// definition statement ends the run and propagates.
void run_ingest(const fs::path& source_dir, const fs::path& db_path, const DataPaths& data_paths = {},
                const MutaFilter& muta_filter = std::nullopt);

// The muta filter of the command line: one normal-form muta per line (surrounding white space
// removed); blank lines are ignored. FileNotFoundError when the file is missing.
MutaFilter read_muta_filter_file(const fs::path& file);

}  // namespace tarvo::ingest
