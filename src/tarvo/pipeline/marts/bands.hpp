// Score bands and the value normalisers of the mart builder.
//
// The band rule itself (labels, positions, the column rule) lives in core/score_bands, below both
// the marts and the dashboards; the marts read it under the names used here.
//
// Every operation here is pure and reports no error: bad input gives null.
//
// Missing-value texts: the text forms "None", "<NA>" and "nan" stand for a missing value;
// _safe_int and _score_to_band_vec also count the empty text as missing, _clean_str does not.
//
// Choices where the rules leave room:
//   - An infinite number (a double, or a text such as 1e999 that reads as one) has no whole
//     part: _score_to_band and _safe_int give null, and so does _score_to_band_vec for an
//     infinite cell, so the two band operations agree on it.
//   - _score_to_band_vec reads candidate texts with surrounding white space as numbers
//     (" 612 " is "500-825"), like _score_to_band does.
//   - _safe_int gives null for a number outside the int64 range; an int is returned unchanged.
//   - Booleans: their text forms "True"/"False" are not numbers, so the band operations
//     and _safe_int give null; _safe_int_series reads them as the whole numbers 1 and 0.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/score_bands.hpp"
#include "tarvo/core/value.hpp"

namespace tarvo::marts {

using core::BAND_YI;
using core::FLOW_BANDS;
using core::NO_BAND;

// Band of one score value, or null (the scalar band rule of core/score_bands):
//   null -> null; the text "YI", the int -1 or the double -1.0 -> "YI";
//   otherwise the value's text form read as a number (surrounding spaces allowed) and truncated
//   toward zero: below 325 "0-325", below 500 "325-500", below 825 "500-825", else "825-1000".
//   The text "-1" is a number like any other ("0-325"); non-numeric text, NaN, infinities,
//   booleans and "YI" with spaces around it give null.
core::Value _score_to_band(const core::Value& ovik_val);

// Band labels of a whole column (the column band rule of core/score_bands): a str column of the
// same length and order, a label or null per cell. A cell whose text form is exactly "YI" or
// "-1" is "YI" (so the int -1 and the text "-1" are "YI", while the double -1.0, text form
// "-1.0", is "0-325"). Null cells, the texts "None", "<NA>", "nan" and "", texts that do not
// read as a number, NaN, infinities and booleans give null. Other numbers are banded as they
// are (no truncation): 824.5 is "500-825".
core::Column _score_to_band_vec(const core::Column& series);

// The same rule as _score_to_band_vec, as band positions (index into FLOW_BANDS, NO_BAND for
// none): the form the flow matrix and band snapshot group by, with no text per cell.
inline std::vector<uint8_t> _score_to_band_codes(const core::Column& series) {
    std::vector<uint8_t> codes;
    core::score_band_codes(series, codes);
    return codes;
}

// A whole number or null: null and the text forms "None", "<NA>", "nan", "" give null; an int
// is returned unchanged; otherwise the text form is read as a number and truncated toward zero
// ("12.7" -> 12, "-3.9" -> -3, "1e3" -> 1000, 7.9 -> 7). Text that is not a number ("NaN",
// "abc"), infinities and numbers outside the int64 range give null.
core::Value _safe_int(const core::Value& val);

// Every cell read as a number, same length and order; nothing is truncated or rounded:
//   int cell -> the int; double cell -> the double (NaN -> null); bool -> 1 / 0;
//   text that reads as a number (surrounding spaces allowed) -> an int when written without
//   '.' and exponent and within int64, otherwise a double; other text -> null; null -> null.
// The result's kind: i64 when every number is an int, f64 when every number is a double, mixed
// (each cell keeping its own kind) when both occur; with no number at all, the input's kind
// when it is i64 or f64, else f64.
core::Column _safe_int_series(const core::Column& s);
// The same; a column whose cells are whole numbers, doubles other than NaN and nulls is kept as
// it stands, not copied.
core::Column _safe_int_series(core::Column&& s);

// A text or null: null, a double NaN and the text forms "None", "<NA>", "nan" give null;
// everything else gives its text form unchanged (no trimming; "" stays ""; 12 -> "12",
// 12.0 -> "12.0", true -> "True").
core::Value _clean_str(const core::Value& val);

}  // namespace tarvo::marts
