#include "tarvo/core/json.hpp"

#include <cmath>
#include <cstdio>
#include <ostream>
#include <sstream>

namespace tarvo::core {

namespace {

void put_string(std::ostream& os, std::string_view s) {
    os.put('"');
    size_t run = 0;  // start of the pending run of bytes that need no escape
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        const char* esc = nullptr;
        char ubuf[8];
        switch (c) {
            case '"': esc = "\\\""; break;
            case '\\': esc = "\\\\"; break;
            case '\n': esc = "\\n"; break;
            case '\r': esc = "\\r"; break;
            case '\t': esc = "\\t"; break;
            case '\b': esc = "\\b"; break;
            case '\f': esc = "\\f"; break;
            default:
                if (c < 0x20) {
                    std::snprintf(ubuf, sizeof ubuf, "\\u%04x", c);
                    esc = ubuf;
                }
        }
        if (esc) {
            os.write(s.data() + run, static_cast<std::streamsize>(i - run));
            os << esc;
            run = i + 1;
        }
    }
    os.write(s.data() + run, static_cast<std::streamsize>(s.size() - run));
    os.put('"');
}

void put_double(std::ostream& os, double x) {
    if (std::isnan(x)) os << "NaN";
    else if (std::isinf(x)) os << (x > 0 ? "Infinity" : "-Infinity");
    else os << format_double(x);
}

void put_value(std::ostream& os, const Value& v) {
    if (v.is_null()) os << "null";
    else if (v.is_bool()) os << (v.as_bool() ? "true" : "false");
    else if (v.is_int()) os << v.as_int();
    else if (v.is_double()) put_double(os, v.as_double());
    else put_string(os, v.as_text());
}

struct Writer {
    std::ostream& os;
    bool indent;

    void newline(int level) {
        if (!indent) return;
        os.put('\n');
        for (int i = 0; i < level; ++i) os << "  ";
    }
    void item_sep(int level) {
        os.put(',');
        newline(level);
    }
    void key(std::string_view k) {
        put_string(os, k);
        os << (indent ? ": " : ":");
    }

    void rows(const Table& t, int level) {
        if (t.nrows() == 0) {
            os << "[]";
            return;
        }
        os.put('[');
        newline(level + 1);
        for (size_t r = 0; r < t.nrows(); ++r) {
            if (r) item_sep(level + 1);
            if (t.ncols() == 0) {
                os << "{}";
                continue;
            }
            os.put('{');
            newline(level + 2);
            for (size_t c = 0; c < t.ncols(); ++c) {
                if (c) item_sep(level + 2);
                key(t.names()[c]);
                put_value(os, t.column(c).get(r));
            }
            newline(level + 1);
            os.put('}');
        }
        newline(level);
        os.put(']');
    }

    void doc(const Document& d, int level) {
        switch (d.kind()) {
            case DocKind::null: os << "null"; return;
            case DocKind::boolean: os << (d.as_bool() ? "true" : "false"); return;
            case DocKind::integer: os << d.as_int(); return;
            case DocKind::real: put_double(os, d.as_real()); return;
            case DocKind::text: put_string(os, d.as_text()); return;
            case DocKind::rows: rows(d.as_rows(), level); return;
            case DocKind::list: {
                const List& l = d.as_list();
                if (l.empty()) {
                    os << "[]";
                    return;
                }
                os.put('[');
                newline(level + 1);
                for (size_t i = 0; i < l.size(); ++i) {
                    if (i) item_sep(level + 1);
                    doc(l[i], level + 1);
                }
                newline(level);
                os.put(']');
                return;
            }
            case DocKind::dict: {
                const Dict& m = d.as_dict();
                if (m.empty()) {
                    os << "{}";
                    return;
                }
                os.put('{');
                newline(level + 1);
                bool first = true;
                for (const auto& [k, v] : m) {
                    if (!first) item_sep(level + 1);
                    first = false;
                    key(k);
                    doc(v, level + 1);
                }
                newline(level);
                os.put('}');
                return;
            }
        }
    }
};

}  // namespace

void write_json(std::ostream& os, const Document& doc, JsonStyle style) {
    Writer{os, style == JsonStyle::indented}.doc(doc, 0);
}

std::string to_json(const Document& doc, JsonStyle style) {
    std::ostringstream os;
    write_json(os, doc, style);
    return os.str();
}

std::string json_quote(std::string_view s) {
    std::ostringstream os;
    put_string(os, s);
    return os.str();
}

}  // namespace tarvo::core
