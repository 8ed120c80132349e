// The line structure of a delimited text file, checked before the warehouse's CSV reader sees it.
//
// Real extracts arrive with mixed line ends (files concatenated on different systems), very long
// lines and damaged quoting. The warehouse's reader refuses the first and quotes whole source
// lines in its errors for the others; firm names and amounts must not reach a console or a log.
// So the text is walked once here: line ends become "\n", and a damaged file is refused with an
// error that names the file, the line and what is wrong, never the line's content.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvo::ingest {

// The longest record (one line, or several when a quoted field holds line breaks) a reader takes.
inline constexpr size_t kMaxRecordBytes = size_t{16} << 20;

struct TextLayout {
    bool quoted_line_breaks = false;  // some quoted field spans lines
};

// Walks the records of `text` from byte `begin` on, the line at `begin` being line `first_line`
// of `file`, with `sep` between fields and '"' quoting as the CSV reader applies it: a quote opens
// a quoted field only at the start of a field; inside, "" is one quote and a quote closes the
// field. Outside quoted fields every CRLF becomes LF, in place (quoted fields are kept as they
// are). Throws core::ReadError, message "cannot read <file>: line <n>: <what>", for
//   a record longer than kMaxRecordBytes   "longer than 16 MiB (16,777,216 bytes)"
//   a quoted field never closed            "a quoted field is not closed"
//   text right after a closing quote       "text after the closing quote of a field"
//   a CR without LF outside quotes         "a carriage return without a line feed"
TextLayout normalize_records(std::string& text, size_t begin, char sep, int64_t first_line,
                             const std::filesystem::path& file);

// The reader's error for `file`: "cannot read <file>: <reason>" (core::ReadError).
[[noreturn]] void read_failure(const std::filesystem::path& file, const std::string& reason);

// The error of the warehouse's CSV reader on a copy of `file` whose first line is line
// `first_line` of the file, as one line without any of the source's content: the line number
// and, when the reader says it, the field counts ("line 3 has more fields than the header (2)");
// otherwise only that the reader refused the line or the file.
[[noreturn]] void csv_reader_failure(const std::filesystem::path& file, std::string_view message,
                                     int64_t first_line);

}  // namespace tarvo::ingest
