// Trending watch lists: six lists of firms whose early-warning score moved in a way an analyst
// should look at, built from the scoreboard document alone.
//
// Input: the scoreboard document, read through these keys only:
//   "rows"              row table (or list of mappings), one row per firm, in scoreboard order;
//                       cells read: "muta", "unvan", "son_risk" and "ovik<period>" per period.
//   "meta"/"donemler"   list of periods, oldest first.
//   A missing "rows", "meta" or "donemler" counts as empty.
//
// Output: a mapping with exactly these keys, in this order, each a list of entry mappings cut to
// TRENDING_LIMIT entries after ordering:
//   "fastest_rising"   latest >= 500, rising over the last period and over three periods;
//                      by "son_risk" descending, nulls last
//   "regime_change"    latest >= 500 from previous < 500, with an earlier warning sign;
//                      by "score_last" descending
//   "persistent_high"  >= 825 in most of the last (up to) six periods, positive risk;
//                      by "son_risk" descending, nulls last
//   "low_but_rising"   latest in [325, 825), three-period gain >= 100, last gain > 0;
//                      by "son_risk" descending, nulls last
//   "caught_yi"        YI in the latest period only, foreseen by the previous scores;
//                      by "son_risk" descending (null and 0 count as 0)
//   "missed_yi"        YI in the latest period only, not foreseen; ordered like "caught_yi"
// Entry keys, in order: "muta", "unvan", "son_risk", "score_last", then "delta_3" in
// "fastest_rising" and "low_but_rising", then "reason" (a Turkish text). Every sort is stable.
// With fewer than two periods or no rows the result is the same six keys with empty lists.
//
// Score cells: the integer -1 and the texts "YI" and "-1" mark the YI state (a cell whose text
// form is "-1.0" does not) and count as the number 1000; other numbers are used as they are,
// texts are read as decimal numbers (surrounding blanks allowed), anything else is no score.
// A score that reads as a number of magnitude 2^62 or more (infinities included) counts as no
// score, so every whole number the lists report fits a 64-bit integer.
//
// Errors: TypeError when `scoreboard` is not a mapping; KeyError when the rows have no "muta"
// column, or no "son_risk" column. Prints nothing; reads nothing from the warehouse.
#pragma once

#include "tarvo/core/document.hpp"

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::marts {

// Largest number of entries in one trending list.
inline constexpr int TRENDING_LIMIT = 500;

// Builds the trending document from the scoreboard. `con` is not used (every mart builder
// takes the connection).
core::Document _build_trending_lists(vandel::Vandel& con, const core::Document& scoreboard);

}  // namespace tarvo::marts
