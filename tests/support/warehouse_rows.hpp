// Warehouse results as texts for whole-row comparisons in tests: one text per row, cells
// separated by " | ", each written so that kinds stay apart: a text in single quotes, a whole
// number in decimal, a floating-point number in its text form (always with a "." or an
// exponent, "71.0"), a null as NULL.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/value.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::testing {

inline std::string cell_text(const core::Value& v) {
    if (v.is_null()) return "NULL";
    if (v.is_text()) return "'" + v.as_text() + "'";
    return v.text_form();
}

inline std::string row_text(const vandel::Row& row) {
    std::string out;
    for (size_t i = 0; i < row.size(); ++i) {
        if (i) out += " | ";
        out += cell_text(row[i]);
    }
    return out;
}

// The rows of `sql`, as texts.
inline std::vector<std::string> query_rows(vandel::Vandel& con, std::string_view sql) {
    std::vector<std::string> out;
    for (const vandel::Row& row : con.fetchall(sql)) out.push_back(row_text(row));
    return out;
}

}  // namespace tarvo::testing
