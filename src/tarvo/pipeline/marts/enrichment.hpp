// Trending enrichment: copies the trending lists into the scoreboard rows so the dashboards
// can filter and explain firms row by row.
//
// For every row of scoreboard["rows"] it writes seven columns of the row table (a column that
// is already there is replaced where it stands; new ones go after the existing keys):
//   "_hizli_yukselen"  1 when the firm is in "fastest_rising", else 0
//   "_rejim_degisimi"  1 when in "regime_change", else 0
//   "_potansiyel_yi"   1 when in "persistent_high", else 0
//   "_erken_sinyal"    1 when in "low_but_rising", else 0
//   "_yakalanan"       1 when in "caught_yi", else 0
//   "_kacirilan"       1 when in "missed_yi", else 0
//   "_ovik_neden"      the firm's non-empty reasons joined with " | " ("" when none), in the
//                      list order above and, within a list, in the list's order
// Firms are matched by the text form of "muta" on both sides (an entry or a row without "muta"
// counts as the empty text), so the number 123 matches the text "123". A missing list counts
// as empty. A "rows" given as a list of mappings is turned into a row table first.
//
// Prints "    trending flags: N entities enriched", N being the number of rows with at least
// one flag set.
//
// Errors: TypeError when either argument is not a mapping; KeyError when the scoreboard has
// no "rows" (raised at the count, nothing is printed).
#pragma once

#include "tarvo/core/document.hpp"

namespace tarvo::marts {

void _enrich_with_trending(core::Document& scoreboard, const core::Document& trending);

}  // namespace tarvo::marts
