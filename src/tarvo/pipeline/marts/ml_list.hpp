// ML predictions list: the firms whose model probability of entering the "YI" state is at or
// above a threshold, largest risk first, and the filter that narrows it to the manager firms.
#pragma once

#include <string>
#include <unordered_set>

#include "tarvo/core/document.hpp"

namespace tarvo::marts {

// For every row of scoreboard["rows"] (none when absent), in order, whose "_ml_yi_prob" is
// present and not below `prob_threshold` (equal is kept), an entry with these keys in order:
//   "muta", "unvan", "segment", "son_risk"  the row's values, null when the row lacks them
//   "yi_prob"                               "_ml_yi_prob" rounded to 4 decimals, halves to even
//                                           (a whole-number probability stays a whole number)
//   "neden"                                 the row's "_ovik_neden", "" when it has none
// A text probability is read as a decimal number; one that is not a number is skipped.
// Entries are ordered by "son_risk" descending (null, zero and non-numbers count as 0),
// equal keys keeping row order. Returns the list of entries.
//
// Prints "  [ML] yi_prob >= <threshold>: <N> firma", the threshold in its shortest decimal
// text form ("0.3", "1.0").
//
// Errors: TypeError when `scoreboard` is not a mapping.
core::Document _build_ml_predictions_list(const core::Document& scoreboard,
                                          double prob_threshold = 0.3);

// The predictions whose identifier is in `admin_mutas`, in their order. The identifier is the
// text form of the entry's "entity_id", or of its "muta" when it has no "entity_id", or the
// empty text when it has neither. Prints nothing.
//
// Errors: TypeError when `predictions` is not a list.
core::Document filter_predictions(const core::Document& predictions,
                                  const std::unordered_set<std::string>& admin_mutas);

}  // namespace tarvo::marts
