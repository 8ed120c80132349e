// How the marts built from the scoreboard document (trending lists, flow matrix, band snapshot,
// ML list) read it: its rows and periods, the name of a period's column, and single cells.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tarvo/core/column.hpp"
#include "tarvo/core/document.hpp"
#include "tarvo/core/value.hpp"

namespace tarvo::marts {

// Number of rows of the scoreboard's "rows": a row table's row count or a list's length;
// 0 when "rows" is absent or null.
inline size_t scoreboard_row_count(const core::Document& scoreboard) {
    const core::Document* rows = scoreboard.get("rows");
    return rows == nullptr || rows->is_null() ? 0 : rows->size();
}

// The scoreboard's "meta"/"donemler": the list of periods, empty when "meta" or "donemler" is
// absent or null. TypeError when "donemler" is present but not a list.
inline const core::List& scoreboard_periods(const core::Document& scoreboard) {
    static const core::List kNone;
    const core::Document* meta = scoreboard.get("meta");
    const core::Document* periods = meta ? meta->get("donemler") : nullptr;
    return periods == nullptr || periods->is_null() ? kNone : periods->as_list();
}

// A period's column name: prefix + the period's text form ("ovik" and 2403 -> "ovik2403",
// 2403.0 -> "ovik2403.0", a null period -> "ovikNone").
inline std::string period_column(std::string_view prefix, const core::Document& period) {
    return std::string(prefix) + period.to_value().text_form();
}

// A cell read as a number: numbers as they are (a boolean as 1 / 0, a NaN stays NaN), texts
// through core::parse_number; nothing for null and for text that is not a number.
inline std::optional<double> number_in_cell(const core::Column& column, size_t row) {
    if (column.is_text_cell(row)) return core::parse_number(column.text_at(row));
    return column.number_at(row);
}

// A cell as a document; null when the column is absent.
inline core::Document cell_document(const core::Column* column, size_t row) {
    return column ? core::Document::of(column->get(row)) : core::Document();
}

}  // namespace tarvo::marts
