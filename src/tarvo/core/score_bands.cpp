#include "tarvo/core/score_bands.hpp"

#include <cmath>
#include <optional>

namespace tarvo::core {

ScoreCell read_score_cell(const Column& c, size_t i) {
    std::optional<double> x;
    if (c.is_int_cell(i)) {
        if (c.int_at(i) == -1) return {ScoreCellKind::yi, 0};
        x = static_cast<double>(c.int_at(i));
    } else if (c.is_double_cell(i)) {
        x = c.double_at(i);
    } else if (c.is_text_cell(i)) {
        if (is_yi_marker(c.text_at(i))) return {ScoreCellKind::yi, 0};
        x = parse_number(c.text_at(i));
    } else if (c.is_bool_cell(i)) {
        return {ScoreCellKind::flag, c.bool_at(i) ? 1.0 : 0.0};
    }
    if (!x || !std::isfinite(*x)) return {ScoreCellKind::none, 0};
    return {ScoreCellKind::number, *x};
}

uint8_t score_band_code(const Value& v) {
    if (v.is_text() && v.as_text() == "YI") return BAND_YI;
    if (v.is_int()) return v.as_int() == -1 ? BAND_YI : band_of_number(v.as_int());
    std::optional<double> x;
    if (v.is_double()) {
        if (v.as_double() == -1.0) return BAND_YI;
        x = v.as_double();
    } else if (v.is_text()) {
        x = parse_number(v.as_text());
    }
    // null and booleans (text forms "None", "True", "False") are not numbers
    if (!x || !std::isfinite(*x)) return NO_BAND;
    return band_of_number(std::trunc(*x));
}

uint8_t score_band_code_at(const Column& series, size_t row) {
    const ScoreCell cell = read_score_cell(series, row);
    return cell.kind == ScoreCellKind::yi       ? BAND_YI
           : cell.kind == ScoreCellKind::number ? band_of_number(cell.number)
                                                : NO_BAND;
}

void score_band_codes(const Column& series, std::vector<uint8_t>& codes) {
    codes.resize(series.size());
    for (size_t i = 0; i < series.size(); ++i) codes[i] = score_band_code_at(series, i);
}

}  // namespace tarvo::core
