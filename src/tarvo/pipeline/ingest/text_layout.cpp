#include "tarvo/pipeline/ingest/text_layout.hpp"

#include <charconv>
#include <optional>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/value.hpp"

namespace tarvo::ingest {

namespace {

[[noreturn]] void line_failure(const std::filesystem::path& file, int64_t line, const std::string& what) {
    read_failure(file, "line " + std::to_string(line) + ": " + what);
}

// The whole number written right after `label` in `message`, if any.
std::optional<int64_t> number_after(std::string_view message, std::string_view label) {
    const size_t at = message.find(label);
    if (at == std::string_view::npos) return std::nullopt;
    const char* first = message.data() + at + label.size();
    const char* last = message.data() + message.size();
    int64_t value = 0;
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end == first) return std::nullopt;
    return value;
}

}  // namespace

void read_failure(const std::filesystem::path& file, const std::string& reason) {
    throw core::ReadError("cannot read " + core::path_text(file) + ": " + reason);
}

TextLayout normalize_records(std::string& text, size_t begin, char sep, int64_t first_line,
                             const std::filesystem::path& file) {
    TextLayout layout;
    const size_t n = text.size();
    size_t out = begin;            // write position: CRs of line ends are dropped
    size_t record_start = begin;   // read position where the current record began
    int64_t line = first_line;
    int64_t record_line = first_line;
    int64_t quote_line = 0;
    bool quoted = false;
    bool field_start = true;

    auto check_length = [&](size_t end) {
        if (end - record_start > kMaxRecordBytes)
            line_failure(file, record_line,
                         "longer than 16 MiB (" + core::group_thousands(static_cast<int64_t>(kMaxRecordBytes)) +
                             " bytes)");
    };

    for (size_t r = begin; r < n; ++r) {
        const char c = text[r];
        if (quoted) {
            if (c == '"') {
                if (r + 1 < n && text[r + 1] == '"') {
                    text[out++] = c;
                    text[out++] = c;
                    ++r;
                    continue;
                }
                quoted = false;
                field_start = false;
                const char next = r + 1 < n ? text[r + 1] : '\n';
                if (next != sep && next != '\n' && next != '\r')
                    line_failure(file, line, "text after the closing quote of a field");
            } else if (c == '\n') {
                ++line;
                layout.quoted_line_breaks = true;
            }
            text[out++] = c;
            continue;
        }
        if (c == '"' && field_start) {
            quoted = true;
            quote_line = line;
            field_start = false;
        } else if (c == sep) {
            field_start = true;
        } else if (c == '\r') {
            if (r + 1 >= n || text[r + 1] != '\n') line_failure(file, line, "a carriage return without a line feed");
            continue;  // the CR of a CRLF line end
        } else if (c == '\n') {
            check_length(r);
            ++line;
            record_line = line;
            record_start = r + 1;
            field_start = true;
        } else {
            field_start = false;
        }
        text[out++] = c;
    }
    if (quoted) line_failure(file, quote_line, "a quoted field is not closed");
    check_length(n);
    text.resize(out);
    return layout;
}

void csv_reader_failure(const std::filesystem::path& file, std::string_view message, int64_t first_line) {
    const std::optional<int64_t> copy_line = number_after(message, "CSV Error on Line: ");
    if (!copy_line) read_failure(file, "the CSV reader refused the file");
    const int64_t line = first_line + *copy_line - 1;
    // The reader stops counting a line's fields soon after the header's number: only that the
    // line has more is certain.
    const std::optional<int64_t> expected = number_after(message, "Expected Number of Columns: ");
    const std::optional<int64_t> found = number_after(message, " Found: ");
    if (expected && found && *found > *expected)
        read_failure(file, "line " + std::to_string(line) + " has more fields than the header (" +
                               std::to_string(*expected) + ")");
    line_failure(file, line, "the CSV reader refused the line");
}

}  // namespace tarvo::ingest
