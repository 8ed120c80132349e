// Shared pieces of the flow matrix and the band snapshot: the fixed segment list, whole-column
// segment codes and risk amounts, per-group sums, and the document both marts return.
#pragma once

#include <array>
#include <initializer_list>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/document.hpp"

namespace tarvo::marts::segment_bands {

// The segments both marts report, in output order. "ALL" is every row; the other four take the
// rows whose "segment" equals the name exactly (letter case included).
inline constexpr std::array<std::string_view, 5> BAND_SEGMENTS = {"ALL", "KUR-TIC", "KOBI",
                                                                  "MIKRO", "ESKK"};

// The document both marts return: each report segment's list under its name, in
// BAND_SEGMENTS order.
core::Document segment_document(std::array<core::List, BAND_SEGMENTS.size()> lists);
// The document for a scoreboard with too few periods or no rows: {"ALL": []}.
core::Document degenerate_segment_document();
// An entry of a segment's list: a mapping of the given keys and values, in order.
core::Document entry_of(std::initializer_list<std::pair<std::string_view, core::Document>> fields);

// Segment code per row: 1..4 for the named segments of BAND_SEGMENTS, OTHER_SEGMENT for anything
// else (null, empty, another text, another letter case, a non-text cell); such rows count under
// "ALL" only.
inline constexpr uint8_t OTHER_SEGMENT = BAND_SEGMENTS.size();
std::vector<uint8_t> segment_codes(const core::Column& segment);

// Absolute risk per row, read from a risk column: numbers as they are (a boolean as 1 / 0), texts
// that read as a number through core::parse_number; every other cell, and every value that is
// not a finite number (NaN, infinities), counts as 0. A missing column (nullptr) gives zeros.
// `out` is resized to `nrows`, so a caller reading many columns reuses one buffer.
void abs_risk_amounts(const core::Column* risk, size_t nrows, std::vector<double>& out);

// Count and compensated sum of one group (the sum's rounding error stays at one ulp or so,
// whatever the number of rows, so truncating it gives the mathematically expected whole part).
struct GroupSum {
    double sum = 0.0;
    double comp = 0.0;
    int64_t count = 0;

    void add(double x) {
        accumulate(x);
        ++count;
    }
    // Adds another group's rows.
    void merge(const GroupSum& o) {
        accumulate(o.sum);
        comp += o.comp;
        count += o.count;
    }
    // The sum with its fractional part dropped (toward zero). ValueError outside int64.
    int64_t whole_sum() const;
    // The group's output entry: `keys` followed by "risk_tl" (the whole sum) and "count".
    core::Document entry(core::Dict keys = {}) const;

private:
    void accumulate(double x) {
        double t = sum + x;
        // Neumaier's variant: correct whichever of the two operands is larger.
        if ((sum >= 0 ? sum : -sum) >= (x >= 0 ? x : -x))
            comp += (sum - t) + x;
        else
            comp += (x - t) + sum;
        sum = t;
    }
};

// Counts and risk sums of rows grouped by segment code and a group position below G (a band, or
// a pair of bands); a row whose group is G or above (no band) is dropped. Each row is added once,
// under its own segment code; "ALL" is the merge of every code, the named segments and the rest.
template <size_t G>
class SegmentGroups {
public:
    void add(uint8_t segment_code, size_t group, double x) {
        slots_[segment_code * (G + 1) + (group < G ? group : G)].add(x);
    }
    // Group `group` of report segment `s` (0 "ALL", 1..4 the named segments of BAND_SEGMENTS).
    GroupSum get(size_t s, size_t group) const {
        if (s != 0) return slots_[s * (G + 1) + group];
        GroupSum all;
        for (size_t code = 1; code <= OTHER_SEGMENT; ++code)
            all.merge(slots_[code * (G + 1) + group]);
        return all;
    }

private:
    std::array<GroupSum, (OTHER_SEGMENT + 1) * (G + 1)> slots_{};
};

}  // namespace tarvo::marts::segment_bands
