#include "tarvo/pipeline/ingest/number_columns.hpp"

#include <cmath>

#include "tarvo/core/value.hpp"

namespace tarvo::ingest {

std::optional<double> number_at(const core::Column& col, size_t i) {
    if (col.is_text_cell(i)) return core::parse_number(col.text_at(i));
    std::optional<double> d = col.number_at(i);
    if (d && std::isnan(*d)) return std::nullopt;
    return d;
}

core::Column to_numbers(const core::Column& col, std::optional<double> if_missing) {
    core::Column out(core::f64);
    out.reserve(col.size());
    for (size_t i = 0; i < col.size(); ++i) {
        std::optional<double> d = number_at(col, i);
        if (!d) d = if_missing;
        d ? out.push_double(*d) : out.push_null();
    }
    return out;
}

core::Column to_rounded(const core::Column& col, int decimals) {
    core::Column out(core::f64);
    out.reserve(col.size());
    for (size_t i = 0; i < col.size(); ++i) {
        std::optional<double> d = number_at(col, i);
        d ? out.push_double(core::round_half_even(*d, decimals)) : out.push_null();
    }
    return out;
}

namespace {

// An i64 column from `col`: int cells are kept exactly; other cells are read as numbers and
// made whole by `whole` (nothing gives null); cells that are not numbers give `if_missing`.
template <class Whole>
core::Column whole_numbers(const core::Column& col, Whole whole, std::optional<int64_t> if_missing = std::nullopt) {
    core::Column out(core::i64);
    out.reserve(col.size());
    for (size_t i = 0; i < col.size(); ++i) {
        if (col.is_int_cell(i)) {
            out.push_int(col.int_at(i));
            continue;
        }
        std::optional<double> d = number_at(col, i);
        std::optional<int64_t> w = d ? whole(*d) : if_missing;
        w ? out.push_int(*w) : out.push_null();
    }
    return out;
}

}  // namespace

core::Column to_rounded_whole(const core::Column& col) {
    return whole_numbers(col, [](double d) { return core::truncate_to_int(core::round_half_even(d, 0)); });
}

core::Column to_truncated_whole(const core::Column& col, std::optional<int64_t> if_missing) {
    return whole_numbers(col, [](double d) { return core::truncate_to_int(d); }, if_missing);
}

core::Column to_exact_whole(const core::Column& col) {
    return whole_numbers(col, [](double d) -> std::optional<int64_t> {
        std::optional<int64_t> w = core::truncate_to_int(d);
        if (w && static_cast<double>(*w) == d) return w;
        return std::nullopt;
    });
}

core::Column any_nonzero(const std::vector<const core::Column*>& cols, size_t nrows) {
    core::Column out(core::i64);
    out.reserve(nrows);
    for (size_t i = 0; i < nrows; ++i) {
        bool set = false;
        for (const core::Column* c : cols) {
            std::optional<double> d = number_at(*c, i);
            if (d && *d != 0) {
                set = true;
                break;
            }
        }
        out.push_int(set ? 1 : 0);
    }
    return out;
}

}  // namespace tarvo::ingest
