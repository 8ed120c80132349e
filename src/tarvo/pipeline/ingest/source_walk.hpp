// Steps that the bronze sources take alike: the skip line for a missing directory, the period
// taken from a file name, the error for a missing column, building `out` and appending it, and
// the closing count line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/table.hpp"

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::ingest {

namespace fs = std::filesystem;

// True when `dir` does not exist, after printing "  [SKIP] <dir_key> not found".
bool skip_missing_dir(const fs::path& dir, std::string_view dir_key);

// Prints "  <table>: <count> rows".
void print_row_count(std::string_view table, int64_t count);

// The first capture group of the first match of `pattern` in `file_name`, or nothing.
std::optional<std::string> period_in_name(const std::string& file_name, const std::regex& pattern);

// A str column holding `text` on each of `n` rows.
core::Column constant_text(const std::string& text, size_t n);

// A table of the given columns, in the given order (all of one length).
core::Table make_out(std::vector<std::pair<std::string, core::Column>> columns);

// A source file that lacks a column its source needs ends the run with core::KeyError, one line
// naming the file, the column wanted and the columns found (header names only, never data):
//   "<file>: column 'MUTA' not found; columns found: 'musteri', 'Risk_Bky_Tl'"
// The list of names found is cut at about 150 characters ("..., and 40 more").
[[noreturn]] void missing_column(const fs::path& file, std::string_view wanted,
                                 const std::vector<std::string>& found);

// missing_column unless `df` (read from `file`) has a column named `name`.
void require_column(const core::Table& df, std::string_view name, const fs::path& file);

// Appends `out` with one statement, `insert_sql` ("INSERT INTO brz_x SELECT * FROM out").
// Returns the number of rows appended.
int64_t append_out(vandel::Vandel& con, const core::Table& out, std::string_view insert_sql);

}  // namespace tarvo::ingest
