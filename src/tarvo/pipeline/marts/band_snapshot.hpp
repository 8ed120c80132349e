// Band snapshot: for every period and every customer segment, how many firms fall into each
// score band and how much risk they carry.
//
// Input: the scoreboard document; only "rows" (row table or list of row mappings; "segment",
// "ovik<period>" score cells, "r<period>" risk cells) and "meta"/"donemler" are read. An absent
// "rows", "meta" or "donemler" counts as empty.
//
// Output: a mapping with the keys "ALL", "KUR-TIC", "KOBI", "MIKRO", "ESKK" in that order, each a
// list with one entry per period of "donemler", in that order:
//   {"donem": <period>, "bands": {<label>: {"risk_tl": <int>, "count": <int>}, ...}}
// "donem" is the period document exactly as "donemler" holds it (a number stays a number); only
// the column look-up uses its text form. "bands" holds only bands with at least one firm, labels
// in ascending text order ("0-325", "325-500", "500-825", "825-1000", "YI"), and is an empty
// mapping when the period has no score column or the segment no banded firm. "count" is the
// number of firms in the band; "risk_tl" the sum of their absolute risk in that period, fractional
// part dropped. A risk cell that is not a finite number counts as 0; a missing risk column makes
// every risk 0 while the firms are still counted. A firm whose score has no band is in no entry.
// "ALL" counts every row; the other four only rows whose "segment" equals the name exactly.
//
// Degenerate document: no rows or no periods give {"ALL": []} (other keys absent).
//
// Errors: TypeError when `scoreboard` is not a mapping ("scoreboard must be a dict, not ...");
// KeyError when no row carries "segment". Pure: prints nothing.
#pragma once

#include "tarvo/core/document.hpp"

namespace tarvo::marts {

core::Document _build_band_snapshot(const core::Document& scoreboard);

}  // namespace tarvo::marts
