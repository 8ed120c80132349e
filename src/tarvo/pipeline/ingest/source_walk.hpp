// Steps that the bronze sources take alike: the skip line for a missing directory, the period
// taken from a file name, the error for a missing column, building `out` and appending it, the
// closing count line, and the walk over a source's extracts of one period each.
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
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::ingest {

namespace fs = std::filesystem;

// True when `dir` does not exist, after printing "  [SKIP] <dir_key> not found".
bool skip_missing_dir(const fs::path& dir, std::string_view dir_key);

// Prints "  <table>: <count> rows".
void print_row_count(std::string_view table, int64_t count);

// The first capture group of the first match of `pattern` in the file name of `file`, or nothing.
std::optional<std::string> period_in_name(const fs::path& file, const std::regex& pattern);

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

// Moves the named column out of `df` (which no longer has it); nothing when absent. Taking a
// read table apart this way as its columns are used keeps a large file from being held twice.
std::optional<core::Column> take_column(core::Table& df, std::string_view name);

// Appends `out` to `table` with one statement, "INSERT INTO <table> SELECT * FROM out".
// Returns the number of rows appended.
int64_t append_out(vandel::Vandel& con, const core::Table& out, std::string_view table);

// A comma-separated UTF-8 extract, every column as text, into `sink`.
void read_comma_utf8(vandel::Vandel& con, const fs::path& file, TableSink& sink);

// A source of one extract per period, as data: what differs between such sources.
struct PeriodFileSource {
    std::string_view dir_key;       // directory key, named by the skip line
    std::string_view file_pattern;  // glob of the extracts
    std::string_view table;         // brz_ table appended to, named by the count line
    // The period of an extract; nothing passes the file over.
    std::optional<std::string> (*period)(const fs::path& file);
    // Reads an extract into `sink` (readers.hpp).
    void (*read)(vandel::Vandel& con, const fs::path& file, TableSink& sink);
    // The customer number column of an extract with the columns of `df`; nothing passes the
    // file over. A source that needs a column the extract lacks ends the run (missing_column)
    // once the extract is read: a read failure is reported first.
    std::optional<std::string> (*customer_column)(const core::Table& df, const fs::path& file);
    // Adds the columns that follow muta and donem to `out`, from the prepared rows `df` (their
    // `muta` already moved to `out`), which it may take apart. It sees the extract's rows a part
    // at a time, and once its columns without rows: each column it adds must depend on its own
    // row only and have the same kind on every call. Null: no further columns.
    void (*add_columns)(core::Table& df, std::string_view customer_column, core::Table& out);
};

// Loads the extracts of `dir` as `source` describes. A missing `dir` prints the skip line and
// nothing else. Otherwise, for each file matching the pattern, in path order: its period, its
// table, its customer number column, the muta preparation (cleaning.hpp); a file left without
// rows adds nothing, any other gives one insert of (muta, donem, the source's columns). Then
// "  <table>: <total> rows". The rows of an extract reach "out" a part at a time, as they are
// read: memory grows with the rows kept, not with the size of the file read.
void ingest_period_files(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter,
                         const PeriodFileSource& source);

}  // namespace tarvo::ingest
