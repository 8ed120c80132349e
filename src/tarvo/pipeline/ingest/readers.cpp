#include "tarvo/pipeline/ingest/readers.hpp"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <unordered_set>
#include <vector>

#include "tarvo/core/codepage.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/pipeline/ingest/text_layout.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::ingest {

namespace {

// The text of `file` in UTF-8. Windows-1254 is decoded a block at a time as it is read, so the
// file's bytes and its decoded text are never both held whole.
std::string decoded(const fs::path& file, Encoding enc) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(file.c_str(), "rb"), &std::fclose);
    if (!f) {
        if (errno == ENOENT) throw core::FileNotFoundError("No such file or directory: '" + core::path_text(file) + "'");
        throw core::OSError("cannot read " + core::path_text(file) + ": " + std::strerror(errno));
    }
    std::string out;
    std::error_code ec;
    const uintmax_t size = fs::file_size(file, ec);
    // Reserved, not touched: a Turkish letter takes two bytes in UTF-8.
    if (!ec) out.reserve(static_cast<size_t>(enc == Encoding::utf8 ? size : size + size / 2));
    std::vector<char> block(size_t{1} << 20);
    uint64_t position = 0;
    size_t n;
    while ((n = std::fread(block.data(), 1, block.size(), f.get())) > 0) {
        const std::string_view bytes(block.data(), n);
        if (enc == Encoding::utf8) {
            out += bytes;
        } else {
            try {
                core::decode_cp1254_append(bytes, position, out);
            } catch (const core::UnicodeDecodeError& e) {
                throw core::UnicodeDecodeError("cannot read " + core::path_text(file) + ": " + e.what());
            }
        }
        position += n;
    }
    if (std::ferror(f.get())) throw core::OSError("cannot read " + core::path_text(file) + ": " + std::strerror(errno));
    return out;
}

// The UTF-8 copy the warehouse reads lives in a private core::TempDir.
using core::TempDir;

// The CSV reader's own limit sits a little above ours, which normalize_records enforces with an
// error naming the line: the two count a line's bytes alike only up to its line end.
constexpr size_t kLineSizeSlack = 64 * 1024;
constexpr size_t kMaxLineSize = kMaxRecordBytes + kLineSizeSlack;
// The CSV reader's buffer is 16 lines of the longest by default: 257 MiB for our line limit,
// filled as far as the file goes, so a large extract was held whole once more. Two of the longest
// lines make about the buffer the reader has at its default line limit.
constexpr size_t kBufferSize = 2 * kMaxLineSize;

void write_bytes(const fs::path& file, std::string_view text) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(file.c_str(), "wb"), &std::fclose);
    if (!f || std::fwrite(text.data(), 1, text.size(), f.get()) != text.size() || std::fflush(f.get()) != 0)
        throw core::OSError("cannot write " + core::path_text(file) + ": " + std::strerror(errno));
}

// The fields of the first record of `text` split at `sep`, '"' quoting honoured as the CSV
// reader does: a quote at the start of a field opens it, "" inside is one quote. `pos` is
// advanced past the record's line end.
std::vector<std::string> split_record(std::string_view text, size_t& pos, char sep) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    bool field_start = true;
    size_t i = pos;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    fields.back() += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                fields.back() += c;
            }
        } else if (c == '"' && field_start) {
            quoted = true;
        } else if (c == sep) {
            fields.emplace_back();
            field_start = true;
            continue;
        } else if (c == '\n') {
            break;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            break;
        } else {
            fields.back() += c;
        }
        field_start = false;
    }
    pos = i < text.size() ? i + 1 : text.size();
    return fields;
}

bool blank_line_at(std::string_view text, size_t pos) {
    return pos < text.size() && (text[pos] == '\n' || (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n'));
}

void skip_line_end(std::string_view text, size_t& pos) { pos += text[pos] == '\r' ? 2 : 1; }

// Header names as the reader presents them: exactly as written, except that an empty name
// becomes "Unnamed: <position>" and a repeated name gets ".1", ".2", ... so every column can
// be told apart.
std::vector<std::string> header_names(std::vector<std::string> raw) {
    std::unordered_set<std::string> seen;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i].empty()) raw[i] = "Unnamed: " + std::to_string(i);
        if (seen.count(raw[i])) {
            for (int k = 1;; ++k) {
                std::string candidate = raw[i] + "." + std::to_string(k);
                if (!seen.count(candidate)) {
                    raw[i] = candidate;
                    break;
                }
            }
        }
        seen.insert(raw[i]);
    }
    return raw;
}

std::string sql_string(std::string_view s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    out += "'";
    return out;
}

std::string sep_literal(char sep) {
    if (sep == '\t') return "'\\t'";
    return sql_string(std::string(1, sep));
}

// Forwards to a sink and keeps the sink's own exception, so that a caller which turns read
// failures into its own error, or reads again, lets the sink's failures pass unchanged.
class GuardedSink final : public TableSink {
public:
    explicit GuardedSink(TableSink& inner) : inner_(inner) {}
    void begin(const core::Table& columns) override {
        guard([&] { inner_.begin(columns); });
    }
    void rows(core::Table& chunk) override {
        guard([&] { inner_.rows(chunk); });
    }
    void rethrow_own() const {
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    template <class F>
    void guard(F f) {
        try {
            f();
        } catch (...) {
            failure_ = std::current_exception();
            throw;
        }
    }
    TableSink& inner_;
    std::exception_ptr failure_;
};

// Gathers the parts of a read into one table.
class WholeTable final : public TableSink {
public:
    void begin(const core::Table& columns) override { table = columns; }
    void rows(core::Table& chunk) override {
        for (size_t c = 0; c < chunk.ncols(); ++c) table.column(c).append(chunk.column(c));
    }
    core::Table table;
};

// Reads UTF-8 delimited text (already in memory) through the warehouse's CSV reader into `sink`.
// `text` is released once it is written out for the warehouse to read.
void read_utf8_text(vandel::Vandel& con, const fs::path& file, std::string text, char sep,
                    const ColumnFilter& keep, TableSink& sink) {
    size_t pos = 0;
    if (text.starts_with("\xEF\xBB\xBF")) pos = 3;
    int64_t header_line = 1;
    for (; blank_line_at(text, pos); ++header_line) skip_line_end(text, pos);
    if (pos >= text.size()) read_failure(file, "no columns to parse (the file has no header line)");
    const size_t header_start = pos;
    std::vector<std::string> names = header_names(split_record(text, pos, sep));
    const TextLayout layout = normalize_records(text, header_start, sep, header_line, file);

    TempDir tmp;
    fs::path copy = tmp.path() / "data.csv";
    write_bytes(copy, std::string_view(text).substr(header_start));
    std::string().swap(text);

    // The warehouse compares names without regard to case ("UNVAN" and "Unvan" would clash), so
    // it reads positional names and the table gets the header names afterwards.
    std::string columns = "{";
    std::string select;
    std::vector<size_t> chosen;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string pos_name = "c" + std::to_string(i);
        if (i) columns += ", ";
        columns += "'" + pos_name + "': 'VARCHAR'";
        if (keep && !keep(names[i])) continue;
        if (!select.empty()) select += ", ";
        select += pos_name;
        chosen.push_back(i);
    }
    columns += "}";
    // With no column chosen the rows are still read (and checked); the table then has none.
    const bool none_chosen = select.empty();
    if (none_chosen) select = "COUNT(*)";
    std::string sql = "SELECT " + select + " FROM read_csv(" + sql_string(copy.string()) +
                      ", delim=" + sep_literal(sep) +
                      ", header=true, auto_detect=false, all_varchar=true, null_padding=true"
                      ", quote='\"', escape='\"', strict_mode=true, new_line='\\n'"
                      ", max_line_size=" + std::to_string(kMaxLineSize) + ", buffer_size=" + std::to_string(kBufferSize) +
                      // The parallel reader cannot pad short rows when a quoted field spans lines.
                      (layout.quoted_line_breaks ? ", parallel=false" : "") +
                      ", nullstr=['', 'nan', 'None', 'NaN', '<NA>', 'NaT']"
                      ", columns=" + columns + ")";
    core::Table columns_only;
    for (size_t i : chosen) columns_only.set(names[i], core::Column(core::str));
    GuardedSink guarded(sink);
    guarded.begin(columns_only);
    // The sink may write to `con` while the rows stream in: they are read on a connection of
    // their own.
    vandel::Vandel reader = con.another_connection();
    try {
        reader.for_each_chunk(sql, [&](core::Table& read) {
            if (none_chosen) return;
            core::Table t;
            for (size_t k = 0; k < chosen.size(); ++k) t.set(names[chosen[k]], std::move(read.column(k)));
            guarded.rows(t);
        });
    } catch (const core::Error& e) {
        guarded.rethrow_own();
        // Running out of the engine's memory is no fault of the file: it keeps its kind.
        if (e.kind() == core::ErrorKind::OutOfMemoryException) throw;
        csv_reader_failure(file, e.what(), header_line);
    }
}

// Number of fields in each of the first records of `text` under `sep` (blank lines skipped).
std::vector<size_t> field_counts(std::string_view text, char sep, size_t max_records) {
    std::vector<size_t> counts;
    size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < text.size() && counts.size() < max_records) {
        if (blank_line_at(text, pos)) {
            skip_line_end(text, pos);
            continue;
        }
        counts.push_back(split_record(text, pos, sep).size());
    }
    return counts;
}

}  // namespace

char detect_separator(std::string_view text) {
    static constexpr std::array<char, 4> candidates{';', ',', '\t', '|'};
    char best = 0;
    size_t best_fields = 1;
    char widest = ',';
    size_t widest_header = 1;
    for (char sep : candidates) {
        std::vector<size_t> counts = field_counts(text, sep, 20);
        if (counts.empty()) continue;
        bool consistent = true;
        for (size_t n : counts) consistent = consistent && n == counts.front();
        if (consistent && counts.front() > best_fields) {
            best = sep;
            best_fields = counts.front();
        }
        if (counts.front() > widest_header) {
            widest = sep;
            widest_header = counts.front();
        }
    }
    // No candidate splits every line alike: the one that splits the header widest.
    return best ? best : widest;
}

void read_text(vandel::Vandel& con, const fs::path& file, char sep, Encoding enc, const ColumnFilter& keep,
               TableSink& sink) {
    read_utf8_text(con, file, decoded(file, enc), sep, keep, sink);
}

core::Table read_text(vandel::Vandel& con, const fs::path& file, char sep, Encoding enc, const ColumnFilter& keep) {
    WholeTable whole;
    read_text(con, file, sep, enc, keep, whole);
    return std::move(whole.table);
}

namespace {

void read_text_detected(vandel::Vandel& con, const fs::path& file, Encoding enc, const ColumnFilter& keep,
                        TableSink& sink) {
    std::string text = decoded(file, enc);
    const char sep = detect_separator(text);
    read_utf8_text(con, file, std::move(text), sep, keep, sink);
}

}  // namespace

core::Table read_text_detected(vandel::Vandel& con, const fs::path& file, Encoding enc, const ColumnFilter& keep) {
    WholeTable whole;
    read_text_detected(con, file, enc, keep, whole);
    return std::move(whole.table);
}

void read_text_or_detected(vandel::Vandel& con, const fs::path& file, char sep, Encoding enc,
                           const ColumnFilter& keep, TableSink& sink) {
    GuardedSink guarded(sink);
    try {
        read_text(con, file, sep, enc, keep, guarded);
        return;
    } catch (const std::exception&) {
        guarded.rethrow_own();
    }
    read_text_detected(con, file, enc, keep, sink);
}

core::Table read_parquet(vandel::Vandel& con, const fs::path& file) {
    core::Table t;
    try {
        t = con.query("SELECT * FROM read_parquet(" + sql_string(file.string()) + ")");
    } catch (const core::Error& e) {
        read_failure(file, e.what());
    }
    for (size_t c = 0; c < t.ncols(); ++c) {
        core::Column& col = t.column(c);
        if (col.kind() != core::f64) continue;
        for (size_t i = 0; i < col.size(); ++i)
            if (col.is_double_cell(i) && std::isnan(col.double_at(i))) col.set_null(i);
    }
    return t;
}

void read_parquet(vandel::Vandel& con, const fs::path& file, TableSink& sink) {
    core::Table t = read_parquet(con, file);
    core::Table columns_only;
    for (size_t c = 0; c < t.ncols(); ++c) columns_only.set(t.names()[c], core::Column(t.column(c).kind()));
    sink.begin(columns_only);
    sink.rows(t);
}

}  // namespace tarvo::ingest
