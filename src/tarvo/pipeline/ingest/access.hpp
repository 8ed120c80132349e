// Reading Microsoft Access database files (mdbtools' libmdb). Built without libmdb, both
// operations throw ModuleNotFoundError saying the Access reader is missing.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tarvo/core/table.hpp"

namespace tarvo::ingest {

namespace fs = std::filesystem;

// The table `table_name` of the database at `db_path`, one column per table column in the
// table's order: yes/no fields as flags, byte/integer/long fields as whole numbers, currency,
// single, double and decimal fields as numbers, dates as text "2024-01-01 00:00:00", text and
// memo fields as text (at most libmdb's bind size, 16 KiB, per value); OLE and binary fields
// are null. Failures (missing file: FileNotFoundError, unknown table: KeyError, damaged file)
// throw.
core::Table read_access_table(const fs::path& db_path, const std::string& table_name);

// The names of the user tables of the database at `db_path`, in catalog order.
std::vector<std::string> list_access_tables(const fs::path& db_path);

}  // namespace tarvo::ingest
