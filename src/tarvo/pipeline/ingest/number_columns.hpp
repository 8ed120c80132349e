// Number conversion of whole columns, in the forms the bronze sources store.
//
// Every function reads each cell by the one number conversion of the ingest: a number cell is
// taken as it is (a flag as 0 or 1, a NaN as no number), a text cell must read as a decimal
// number (core::parse_number), anything else is no number. Whole-number results are i64
// columns, numbers f64 columns; integer cells stay exact.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tarvo/core/column.hpp"

namespace tarvo::ingest {

// The number in cell i, or nothing when the cell holds none.
std::optional<double> number_at(const core::Column& col, size_t i);

// f64: the numbers; cells without one become `if_missing` (null when not given).
core::Column to_numbers(const core::Column& col, std::optional<double> if_missing = std::nullopt);

// f64: the numbers rounded to `decimals` places, exact halves to the even neighbour; null
// where there is no number.
core::Column to_rounded(const core::Column& col, int decimals);

// i64: the numbers rounded to whole numbers, exact halves to the even neighbour; null where
// there is no number or the result leaves the int64 range.
core::Column to_rounded_whole(const core::Column& col);

// i64: the numbers truncated toward zero; cells without a number become `if_missing`.
core::Column to_truncated_whole(const core::Column& col, std::optional<int64_t> if_missing = std::nullopt);

// i64: numbers that are whole; a number with a fraction (12.5) and a cell without a number
// are null.
core::Column to_exact_whole(const core::Column& col);

// i64 flag (0/1, never null): 1 on the rows where at least one of `cols` holds a number other
// than 0; cells without a number count as 0. `nrows` is the row count when `cols` is empty.
core::Column any_nonzero(const std::vector<const core::Column*>& cols, size_t nrows);

}  // namespace tarvo::ingest
