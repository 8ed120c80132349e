// Band flow matrix: for each pair of consecutive recent periods and each customer segment, how
// many firms moved from one score band to another (or stayed) and how much risk moved with them.
//
// Input: the scoreboard document; only "rows" (row table or list of row mappings; "segment",
// "ovik<period>" score cells, "r<period>" risk cells) and "meta"/"donemler" (periods, oldest
// first) are read. An absent "rows", "meta" or "donemler" counts as empty.
//
// Output: a mapping with the keys "ALL", "KUR-TIC", "KOBI", "MIKRO", "ESKK" in that order, each a
// list of period-pair entries, oldest pair first:
//   {"from": <period>, "to": <period>, "flows": [{"from_band", "to_band", "risk_tl", "count"}...]}
// "from"/"to" are the period documents exactly as "donemler" holds them (a number stays a
// number); only the column look-up uses their text form. Flow entries: cells with at least one
// firm, ordered by "from_band" then "to_band", ascending label text ("0-325" ... "825-1000", "YI").
// "count" is the number of firms of the cell; "risk_tl" the sum of the absolute risk in the
// later period ("r" + "to"), fractional part dropped. A risk cell that is not a finite number
// (null, NaN, infinity, text that is not a number) counts as 0; a missing risk column makes every
// risk 0. A firm without a band in either period of the pair is in no cell, not even under "ALL".
// "ALL" counts every row; the other four only rows whose "segment" equals the name exactly.
//
// Only the last `max_periods` periods are used (fractional part of `max_periods` dropped; a value
// below 1 acts as 1, which leaves every segment list empty). A pair with a missing score column,
// and a segment without a banded firm in a pair, still get an entry with an empty "flows".
//
// Degenerate document: fewer than two periods or no rows give {"ALL": []} (other keys absent).
//
// Errors: TypeError when `scoreboard` is not a mapping ("scoreboard must be a dict, not ...");
// ValueError when `max_periods` is NaN or infinite; KeyError when no row carries "segment".
// Prints nothing.
#pragma once

#include <cstdint>

#include "tarvo/core/document.hpp"

namespace tarvo::marts {

core::Document _build_flow_matrix(const core::Document& scoreboard, double max_periods = 6);

// The run driver's counts of a flow matrix: pairs = elements of "ALL" (0 when absent), flows =
// the sum of their "flows" lengths, segments = top-level entries whose value is non-empty.
struct FlowCounts {
    int64_t pairs;
    int64_t flows;
    int64_t segments;
};
FlowCounts flow_counts(const core::Document& flow_matrix);

}  // namespace tarvo::marts
