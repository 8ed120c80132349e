#include "tarvo/core/json.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <vector>

#include "tarvo/core/parallel.hpp"

namespace tarvo::core {

void append_json_quoted(std::string& out, std::string_view s) {
    out += '"';
    size_t run = 0;  // start of the pending run of bytes that need no escape
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out += s.substr(run, i - run);
        run = i + 1;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default: {
                char ubuf[8];
                std::snprintf(ubuf, sizeof ubuf, "\\u%04x", c);
                out += ubuf;
            }
        }
    }
    out += s.substr(run);
    out += '"';
}

namespace {

// A cell's JSON text appended to a string.
struct CellText {
    std::string& out;
    void operator()(Null) const { out += "null"; }
    void operator()(bool b) const { out += b ? "true" : "false"; }
    void operator()(int64_t v) const {
        char tmp[24];
        const auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
        out.append(tmp, static_cast<size_t>(r.ptr - tmp));
    }
    void operator()(double x) const {
        if (std::isnan(x)) out += "NaN";
        else if (std::isinf(x)) out += x > 0 ? "Infinity" : "-Infinity";
        else append_double(out, x);
    }
    void operator()(const std::string& s) const { append_json_quoted(out, s); }
};

// Output goes through a string buffer flushed to the stream in large blocks: per-value stream
// calls dominate the time of a large scoreboard otherwise. Text made for a string goes straight
// into it (a block-sized buffer per small document was most of the cost of writing many).
class Out {
public:
    explicit Out(std::ostream& os) : os_(&os), buf_(own_) { buf_.reserve(kBlock + 4096); }
    explicit Out(std::string& text) : buf_(text) {}
    ~Out() { flush(); }
    void put(char c) {
        buf_ += c;
        maybe_flush();
    }
    void put(std::string_view s) {
        buf_ += s;
        maybe_flush();
    }
    void put_int(int64_t v) {
        put_with([v](std::string& b) { CellText{b}(v); });
    }
    void put_quoted(std::string_view s) {
        append_json_quoted(buf_, s);
        maybe_flush();
    }
    // Appends whatever `write(buffer)` appends.
    template <class Write>
    void put_with(Write&& write) {
        write(buf_);
        maybe_flush();
    }
    void flush() {
        if (!os_) return;
        os_->write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
        buf_.clear();
    }

private:
    static constexpr size_t kBlock = 1 << 20;
    void maybe_flush() {
        if (os_ && buf_.size() >= kBlock) flush();
    }
    std::ostream* os_ = nullptr;  // none: the text stays in `buf_`
    std::string own_;
    std::string& buf_;
};

}  // namespace

std::string json_quote(std::string_view s) {
    std::string out;
    append_json_quoted(out, s);
    return out;
}

namespace {

struct Writer {
    Out& out;
    bool indent;
    size_t threads;

    void newline(int level) {
        if (!indent) return;
        out.put('\n');
        for (int i = 0; i < level; ++i) out.put("  ");
    }
    void item_sep(int level) {
        out.put(',');
        newline(level);
    }
    void key(std::string_view k) {
        out.put_quoted(k);
        out.put(indent ? ": " : ":");
    }

    // The text `newline(level)` writes.
    std::string newline_text(int level) const {
        return indent ? "\n" + std::string(2 * static_cast<size_t>(level), ' ') : std::string();
    }

    // Rows are made into text a block at a time, each block column by column into the rows' own
    // texts: walking a wide table row by row touched every column's arrays in turn, and waiting on
    // those reads was most of a large scoreboard's writing. The threads each make a run of rows
    // into text at once; the runs are then written in order.
    void rows(const Table& t, int level) {
        if (t.nrows() == 0) {
            out.put("[]");
            return;
        }
        const std::string row_open = t.ncols() == 0 ? "{" : "{" + newline_text(level + 2);
        const std::string row_close = t.ncols() == 0 ? "}" : newline_text(level + 1) + "}";
        const std::string row_sep = "," + newline_text(level + 1);
        // Keys are the same for every row: quote them once, each after its separator.
        std::vector<std::string> keys;
        for (const auto& name : t.names())
            keys.push_back((keys.empty() ? row_open : "," + newline_text(level + 2)) + json_quote(name) +
                           (indent ? ": " : ":"));
        out.put('[');
        newline(level + 1);
        constexpr size_t kBlock = 256, kRun = 8 * kBlock;
        const size_t workers = std::clamp<size_t>((t.nrows() + kRun - 1) / kRun, 1, std::max<size_t>(threads, 1));
        std::vector<std::vector<std::string>> texts(workers, std::vector<std::string>(std::min(kRun, t.nrows())));
        const auto make_run = [&](size_t first, std::vector<std::string>& run) {
            const size_t end = std::min(first + kRun, t.nrows());
            for (size_t block = first; block < end; block += kBlock) {
                const size_t count = std::min(kBlock, end - block);
                std::string* row = run.data() + (block - first);
                if (t.ncols() == 0)
                    for (size_t k = 0; k < count; ++k) row[k] = row_open;
                for (size_t c = 0; c < t.ncols(); ++c) {
                    const Column& column = t.column(c);
                    for (size_t k = 0; k < count; ++k) {
                        row[k] += keys[c];
                        column.visit(block + k, CellText{row[k]});
                    }
                }
            }
        };
        for (size_t first = 0; first < t.nrows(); first += workers * kRun) {
            run_in_parallel(workers, [&](size_t w) {
                if (first + w * kRun < t.nrows()) make_run(first + w * kRun, texts[w]);
            });
            for (size_t r = first; r < std::min(first + workers * kRun, t.nrows()); ++r) {
                std::string& text = texts[(r - first) / kRun][(r - first) % kRun];
                if (r) out.put(row_sep);
                out.put(text);
                out.put(row_close);
                text.clear();
            }
        }
        newline(level);
        out.put(']');
    }

    void doc(const Document& d, int level) {
        switch (d.kind()) {
            case DocKind::null: out.put("null"); return;
            case DocKind::flag: out.put(d.as_bool() ? "true" : "false"); return;
            case DocKind::integer: out.put_int(d.as_int()); return;
            case DocKind::real: out.put_with([&](std::string& b) { CellText{b}(d.as_real()); }); return;
            case DocKind::text: out.put_quoted(d.as_text()); return;
            case DocKind::rows: rows(d.as_rows(), level); return;
            case DocKind::list: {
                const List& l = d.as_list();
                if (l.empty()) {
                    out.put("[]");
                    return;
                }
                out.put('[');
                newline(level + 1);
                for (size_t i = 0; i < l.size(); ++i) {
                    if (i) item_sep(level + 1);
                    doc(l[i], level + 1);
                }
                newline(level);
                out.put(']');
                return;
            }
            case DocKind::dict: {
                const Dict& m = d.as_dict();
                if (m.empty()) {
                    out.put("{}");
                    return;
                }
                out.put('{');
                newline(level + 1);
                bool first = true;
                for (const auto& [k, v] : m) {
                    if (!first) item_sep(level + 1);
                    first = false;
                    key(k);
                    doc(v, level + 1);
                }
                newline(level);
                out.put('}');
                return;
            }
        }
    }
};

}  // namespace

void write_json(std::ostream& os, const Document& doc, JsonStyle style, size_t threads) {
    Out out(os);
    Writer{out, style == JsonStyle::indented, threads}.doc(doc, 0);
}

std::string to_json(const Document& doc, JsonStyle style, size_t threads) {
    std::string text;
    {
        Out out(text);
        Writer{out, style == JsonStyle::indented, threads}.doc(doc, 0);
    }
    return text;
}

}  // namespace tarvo::core
