// Readers of the source extracts: delimited text (UTF-8 or Windows-1254) and Parquet, all read
// through the warehouse engine's own readers.
//
// A read failure throws core::ReadError (or UnicodeDecodeError for a byte that
// Windows-1254 does not define) whose one-line message names the file, the line where there is
// one, and the reason, and never holds any of the file's content.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "tarvo/core/table.hpp"

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::ingest {

namespace fs = std::filesystem;

enum class Encoding { utf8, cp1254 };

// Chooses, by header name, the columns a reader returns (the others are parsed and checked,
// not fetched). An empty filter keeps every column.
using ColumnFilter = std::function<bool(std::string_view name)>;

// Receives a read a part at a time, so a large file is never held whole: begin() with the
// table's columns and no rows, before any row; then rows() with the rows in file order, a chunk
// of a few thousand at a time, each chunk with the columns begin() saw (rows() may take it
// apart). A reader that reads a file again after a failed read calls begin() again: whatever was
// received before is then void.
class TableSink {
public:
    virtual ~TableSink() = default;
    virtual void begin(const core::Table& columns) = 0;
    virtual void rows(core::Table& chunk) = 0;
};

// Reads a delimited text file with the first line as header. Every column is text; header names
// are kept exactly as written; fields are not trimmed; an empty field and a field that is
// exactly nan, None, NaN, <NA> or NaT is null. Short rows are padded with nulls, a row with more
// fields than the header is a read failure, blank lines are skipped, '"' quotes fields, CRLF and
// LF end a line (mixed in one file too). A line may be 16 MiB long (text_layout.hpp); a longer
// one, a quoted field left open, text after a closing quote or a bare CR is a read failure
// naming the line. A file without a header line (zero bytes, or blank lines only) is a read failure.
// An empty header name reads as "Unnamed: <position>", a repeated one gets ".1", ".2", ...
core::Table read_text(vandel::Vandel& con, const fs::path& file, char sep, Encoding enc,
                      const ColumnFilter& keep = {});
// The same read handed to `sink` in parts; an exception of the sink passes unchanged.
void read_text(vandel::Vandel& con, const fs::path& file, char sep, Encoding enc, const ColumnFilter& keep,
               TableSink& sink);

// The fallback read: like read_text, with the separator detected from the first lines of the
// file (candidates ';' ',' tab '|': the one that splits the header and the next lines into the
// same, largest number of fields).
core::Table read_text_detected(vandel::Vandel& con, const fs::path& file, Encoding enc,
                               const ColumnFilter& keep = {});

// read_text with `sep` into `sink`; when that read fails for any reason (other than an exception
// of the sink, which passes unchanged), the file is read again with read_text_detected.
void read_text_or_detected(vandel::Vandel& con, const fs::path& file, char sep, Encoding enc,
                           const ColumnFilter& keep, TableSink& sink);

// The separator read_text_detected would use for this (decoded, UTF-8) content.
char detect_separator(std::string_view text);

// Reads a Parquet file with its stored types (integers exact, DECIMAL as double, BOOLEAN as
// flag); a NaN in a floating-point column is null.
core::Table read_parquet(vandel::Vandel& con, const fs::path& file);
// The same table handed to `sink` (one chunk of every row).
void read_parquet(vandel::Vandel& con, const fs::path& file, TableSink& sink);

}  // namespace tarvo::ingest
