// The score band rule, shared by the marts (flow matrix, band snapshot) and the dashboards.
//
// An early-warning score is a number from 0 to 1000, or the marker "YI" (the source writes -1
// for a firm in the YI state). Scores fall into four bands plus "YI":
//   "0-325"     below 325 (negative values included)
//   "325-500"   325 up to but not including 500
//   "500-825"   500 up to but not including 825
//   "825-1000"  825 and above (values above 1000 included)
//   "YI"        the YI marker
// Each band includes its lower bound. The labels' order in FLOW_BANDS is also their ascending
// character-code order, so a band's position doubles as its sort key.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tarvo/core/column.hpp"

namespace tarvo::core {

inline constexpr std::array<std::string_view, 5> FLOW_BANDS = {"0-325", "325-500", "500-825",
                                                               "825-1000", "YI"};

// Position of a band in FLOW_BANDS; NO_BAND marks a value without one.
inline constexpr uint8_t BAND_YI = 4;
inline constexpr uint8_t NO_BAND = 0xFF;

// Band position of a finite number, compared as it is (branch-free: scores are random enough
// that branches on them mispredict).
template <class N>
constexpr uint8_t band_of_number(N x) {
    return static_cast<uint8_t>(static_cast<int>(x >= 325) + static_cast<int>(x >= 500) +
                                static_cast<int>(x >= 825));
}

// True for the text forms that stand for a missing value: "None", "<NA>", "nan".
bool is_missing_marker(std::string_view text);

// Band position per cell of a score column, into `codes` (resized to the column's length, so a
// caller banding many columns reuses one buffer). A cell whose text form is exactly "YI" or
// "-1" is BAND_YI (the int -1 and the text "-1"; the double -1.0, text form "-1.0", is
// "0-325"). Null cells, the texts "None", "<NA>", "nan" and "", texts that do not read as a
// number, NaN, infinities and booleans give NO_BAND. Other numbers are banded as they are (no
// truncation): 824.5 is "500-825"; texts may carry surrounding white space.
void score_band_codes(const Column& series, std::vector<uint8_t>& codes);

}  // namespace tarvo::core
