// How the marts built from the scoreboard document (trending lists, flow matrix, band snapshot,
// ML list) read it: its rows and periods, the name of a period's column, and single cells.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tarvo/core/column.hpp"
#include "tarvo/core/document.hpp"

namespace tarvo::marts {

// Number of rows of the scoreboard's "rows": a row table's row count or a list's length;
// 0 when "rows" is absent or null.
size_t scoreboard_row_count(const core::Document& scoreboard);

// The scoreboard's "meta"/"donemler": the list of periods, empty when "meta" or "donemler" is
// absent or null. TypeError when "donemler" is present but not a list.
const core::List& scoreboard_periods(const core::Document& scoreboard);

// The text form of a period as it is used in column names ("ovik" + text form): a text period
// unchanged, a number in its ordinary decimal form (2403 -> "2403", 2403.0 -> "2403.0"), a null
// "None".
std::string period_text(const core::Document& period);

// A period's column name: prefix + period_text ("ovik" and 2403 -> "ovik2403").
std::string period_column(std::string_view prefix, const core::Document& period);

// A cell read as a number: numbers as they are (a boolean as 1 / 0, a NaN stays NaN), texts
// through core::parse_number; nothing for null and for text that is not a number.
std::optional<double> number_in_cell(const core::Column& column, size_t row);

// A cell as a document; null when the column is absent.
core::Document cell_document(const core::Column* column, size_t row);

}  // namespace tarvo::marts
