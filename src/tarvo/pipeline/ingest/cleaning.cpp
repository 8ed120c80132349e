#include "tarvo/pipeline/ingest/cleaning.hpp"

#include <charconv>

#include "tarvo/core/text.hpp"
#include "tarvo/core/value.hpp"

namespace tarvo::ingest {

namespace {

// Text form of a cell, trimmed; for text cells without copying the text.
struct CellText {
    std::string owned;
    std::string_view view;
};

void cell_text(const core::Column& col, size_t i, CellText& out) {
    if (col.is_text_cell(i)) {
        out.view = core::trim_view(col.text_at(i));
    } else {
        out.owned = col.text_form(i);
        out.view = core::trim_view(out.owned);
    }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A text of optional sign and decimal digits only: written without leading zeros, exactly
// (no detour through a double, so long customer numbers keep every digit). Nothing when the
// text has another form or leaves the int64 range.
std::optional<std::string> plain_integer(std::string_view t) {
    size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    if (i == t.size()) return std::nullopt;
    for (size_t k = i; k < t.size(); ++k)
        if (!is_digit(t[k])) return std::nullopt;
    int64_t v = 0;
    std::string_view digits = t.substr(i);
    // Parse the magnitude as negative so INT64_MIN fits.
    for (char c : digits) {
        int d = c - '0';
        if (v < (INT64_MIN + d) / 10) return std::nullopt;
        v = v * 10 - d;
    }
    if (!neg) {
        if (v == INT64_MIN) return std::nullopt;
        v = -v;
    }
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::optional<std::string> normal_form(std::string_view t) {
    if (core::is_missing_text(t)) return std::nullopt;
    if (auto exact = plain_integer(t)) return exact;
    std::optional<double> d = core::parse_number(t);
    if (!d) return std::nullopt;
    std::optional<int64_t> whole = core::truncate_to_int(*d);
    if (!whole) return std::nullopt;
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, *whole);
    return std::string(buf, res.ptr);
}

std::optional<std::string> find_col_containing(const std::vector<std::string>& columns, std::string_view part) {
    for (const std::string& name : columns)
        if (core::contains(core::to_lower(name), part)) return name;
    return std::nullopt;
}

// Keeps the rows where keep[i] is set, one column at a time, so that a large table is never
// held twice.
void filter_in_place(core::Table& df, const std::vector<uint8_t>& keep) {
    for (size_t c = 0; c < df.ncols(); ++c) df.column(c) = df.column(c).filter(keep);
}

// A str column of `form(trimmed text form)` for every cell of `series`; nothing gives null.
template <class Form>
core::Column map_cell_texts(const core::Column& series, Form form) {
    core::Column out(core::str);
    out.reserve(series.size());
    CellText cell;
    for (size_t i = 0; i < series.size(); ++i) {
        cell_text(series, i, cell);
        std::optional<std::string> text = form(cell.view);
        text ? out.push_text(std::move(*text)) : out.push_null();
    }
    return out;
}

}  // namespace

core::Column _normalize_muta(const core::Column& series) { return map_cell_texts(series, normal_form); }

core::Column _clean_str_col(const core::Column& series) {
    return map_cell_texts(series, [](std::string_view t) -> std::optional<std::string> {
        if (core::is_missing_text(t, /*with_nat=*/true)) return std::nullopt;
        return std::string(t);
    });
}

std::optional<std::string> _find_skor_col(const std::vector<std::string>& columns) {
    return find_col_containing(columns, "skor");
}

std::optional<std::string> _find_ihtimal_col(const std::vector<std::string>& columns) {
    return find_col_containing(columns, "ihtimal");
}

core::Table _filter_mutas(core::Table df, const MutaFilter& muta_filter) {
    if (!muta_filter) return df;
    const core::Column& muta = df["muta"];
    std::vector<uint8_t> keep(muta.size(), 0);
    for (size_t i = 0; i < muta.size(); ++i)
        keep[i] = muta.is_text_cell(i) && muta_filter->count(muta.text_at(i)) > 0;
    filter_in_place(df, keep);
    return df;
}

core::Table prepare_mutas(core::Table df, std::string_view muta_column, const MutaFilter& muta_filter) {
    core::Column muta = _normalize_muta(df[muta_column]);
    std::vector<uint8_t> keep(muta.size(), 0);
    bool all = true;
    for (size_t i = 0; i < muta.size(); ++i) {
        keep[i] = !muta.is_null(i);
        all = all && keep[i];
    }
    df.set("muta", std::move(muta));
    if (!all) filter_in_place(df, keep);
    return _filter_mutas(std::move(df), muta_filter);
}

}  // namespace tarvo::ingest
