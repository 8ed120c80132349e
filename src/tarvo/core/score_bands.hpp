// The scoring rules shared by the marts (bands, trending lists, flow matrix, band snapshot) and
// the dashboards: the band thresholds, the YI marker, how a score cell is read, and the band rule.
//
// An early-warning score is a number from 0 to 1000, or the marker "YI" (the source writes -1
// for a firm in the YI state). Scores fall into four bands, each including its lower bound
// (negative values fall in the first, values above 1000 in the last), plus "YI". The labels'
// order in FLOW_BANDS is also their ascending character-code order, so a band's position
// doubles as its sort key.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/value.hpp"

namespace tarvo::core {

// Lower bounds of "325-500", "500-825" and "825-1000".
inline constexpr int SCORE_ELEVATED = 325;
inline constexpr int SCORE_WARNING = 500;
inline constexpr int SCORE_HIGH = 825;
// The number a YI-marked cell counts as where scores are compared as numbers.
inline constexpr double YI_SCORE = 1000;

inline constexpr std::array<std::string_view, 5> FLOW_BANDS = {"0-325", "325-500", "500-825",
                                                               "825-1000", "YI"};

// Position of a band in FLOW_BANDS; NO_BAND marks a value without one.
inline constexpr uint8_t BAND_YI = 4;
inline constexpr uint8_t NO_BAND = 0xFF;

// Band position of a finite number, compared as it is (branch-free: scores are random enough
// that branches on them mispredict).
template <class N>
constexpr uint8_t band_of_number(N x) {
    return static_cast<uint8_t>(static_cast<int>(x >= SCORE_ELEVATED) +
                                static_cast<int>(x >= SCORE_WARNING) + static_cast<int>(x >= SCORE_HIGH));
}

// True for the texts that mark the YI state in a score cell: exactly "YI" or "-1".
inline bool is_yi_marker(std::string_view text) { return text == "YI" || text == "-1"; }

// What a score cell of a column holds, read by its text form.
enum class ScoreCellKind : uint8_t {
    none,     // null, NaN, infinities, texts that do not read as a finite number
    yi,       // text form exactly "YI" or "-1": the int -1 and those two texts, never a double
    number,   // an int, a finite double, or a text read through parse_number (blanks allowed)
    flag,     // a boolean: no band, but 1 / 0 where the trending lists read scores as numbers
};
struct ScoreCell {
    ScoreCellKind kind;
    double number;  // the value of `number` and `flag` cells, 0 otherwise
};
ScoreCell read_score_cell(const Column& column, size_t row);

// Two band rules, different on purpose; both are part of the output contract, keep them apart:
//
//                       score_band_code (one value)        score_band_codes (a column)
//   YI marker           "YI", and -1 by numeric equality   "YI" and "-1" by text form
//   the int -1          YI                                 YI
//   the double -1.0     YI                                 "0-325" (text form "-1.0")
//   the text "-1"       "0-325" (a number like any other)  YI
//   fractions           truncated toward zero first        compared as they are
//   " YI", booleans, NaN, infinities, null: no band in either
//
// With whole-number thresholds the truncation never moves a score to another band; only the
// -1 sentinel tells the two rules apart.

// Band position of one value, NO_BAND for none: the scalar rule above.
uint8_t score_band_code(const Value& value);

// Band position of one cell of a score column: the column rule below, for one row.
uint8_t score_band_code_at(const Column& series, size_t row);

// Band position per cell of a score column, into `codes` (resized to the column's length, so a
// caller banding many columns reuses one buffer): BAND_YI for a YI cell, the band of a number
// cell, NO_BAND for every other cell (see read_score_cell).
void score_band_codes(const Column& series, std::vector<uint8_t>& codes);

}  // namespace tarvo::core
