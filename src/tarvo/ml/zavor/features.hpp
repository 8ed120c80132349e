// The feature matrix: one row per firm and period in which the firm is not in the YI state,
// computed from fact_periodic, dim_entity and the brz_ tables (inside the warehouse, but for the
// features of firm_period_features.hpp, which the reader works out), and fetched a chunk at a time
// into compact columns (no per-row maps, no firm key text per row).
//
// Periods are those of fact_periodic, numbered 0 (oldest) to T-1 (newest). A row's features at
// period t read only periods t, t-1 and t-3; its label looks ahead: 1 when the firm is in YI in
// any of the periods t+1 .. t+horizon, 0 when it is in none of them, and -1 (unknown) when
// t + horizon > T-1; such rows are kept only in the newest period, the one scored (no fit or
// evaluation reads the others). The segment is a fixed attribute of the firm (dim_entity).
//
// A brz_ table that does not exist reads as empty; the CISS flag is the highest of the
// monitoring-list columns that quisar's FI lists and the table has.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tarvo/ml/zavor/feature_set.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::zavor {

// One row's features in kFeatures order, as floats (NaN = missing).
using RawFeatures = std::array<float, kFeatureCount>;

// Rows are stored compactly, because a portfolio of a million firms over a dozen periods is ten
// million rows: the continuous features as floats, the flags (always 0 or 1) as the bits of one
// word, and the period of a row as the range of rows that holds it.
struct FeatureMatrix {
    std::vector<std::string> periods;  // period texts, index = period number
    std::vector<std::string> firms;    // firm keys (text), index = firm number, in key order
    std::vector<int32_t> firm;         // per row: firm number; rows ascend by period, then firm
    std::vector<int8_t> label;         // per row: 1, 0, or -1 (outcome not yet known)
    std::vector<size_t> period_start;  // rows of period t are [period_start[t], period_start[t + 1])
    std::vector<float> continuous;     // rows x kContinuousCount, row-major
    std::vector<uint16_t> flags;       // per row: bit kSlot[f] set when flag feature f is 1

    size_t rows() const { return firm.size(); }
    const std::string& entity(size_t r) const { return firms[static_cast<size_t>(firm[r])]; }
    float value(size_t r, Feature f) const;
    RawFeatures row(size_t r) const;
    // Rows r in [0, rows()) of a new matrix start out with every feature 0.
    void resize(size_t rows);
    void set(size_t r, Feature f, float x);  // a flag is set when x is neither 0 nor NaN
    void fill(Feature f, float x);           // set(r, f, x) for every row
    int32_t period_of(size_t r) const;
    // First row of period `t` (rows() when there is none at or after it).
    size_t first_row_of(int32_t t) const;
};

// Runs the feature statements (one for fact_periodic and dim_entity, one per bronze source) and
// fetches the matrix.
FeatureMatrix load_features(vandel::Vandel& con, int horizon);

}  // namespace tarvo::zavor
