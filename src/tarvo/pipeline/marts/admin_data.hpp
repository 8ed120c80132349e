// Pieces of the administrator data that need no warehouse: the back-test firm lists narrowed to
// the manager firms, and the console line that reports it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "tarvo/core/document.hpp"

namespace tarvo::marts {

struct FirmaFilterResult {
    core::Document lists;  // the filtered firm lists
    int64_t before;        // identifiers in the lists given
    int64_t after;         // identifiers kept
};

// `firma_lists` maps model name to a mapping from category name to a list of firm identifiers
// (as _build_backtest_firma_lists returns it). For each model in order: a null category mapping
// stays null; otherwise the same categories in the same order, each list keeping, in order, the
// identifiers whose text form is in `admin_mutas` (the number 123 is kept for the text "123");
// kept identifiers keep their own values. `before` and `after` count the identifiers over all
// category mappings of the given and of the filtered lists (a null mapping counts 0).
//
// Errors: TypeError when `firma_lists` is not a mapping, or a category value not a list.
FirmaFilterResult filter_backtest_firma(const core::Document& firma_lists,
                                        const std::unordered_set<std::string>& admin_mutas);

// "  [ADMIN] backtest_firma: <before> → <after> ID (admin filtre)", the numbers grouped by
// thousands with commas ("1,234").
std::string backtest_firma_line(int64_t before, int64_t after);

}  // namespace tarvo::marts
