#include "tarvo/pipeline/marts/flow_matrix.hpp"

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/marts/bands.hpp"
#include "tarvo/pipeline/marts/scoreboard_reading.hpp"
#include "tarvo/pipeline/marts/segment_bands.hpp"

namespace tarvo::marts {

namespace {

using namespace segment_bands;

constexpr size_t kBands = FLOW_BANDS.size();
constexpr size_t kSegments = BAND_SEGMENTS.size();
constexpr size_t kCells = kBands * kBands;  // (from band, to band) pairs
using CellGroups = SegmentGroups<kCells>;

core::Document pair_entry(const core::Document& from, const core::Document& to, core::List flows) {
    return entry_of({{"from", from}, {"to", to}, {"flows", core::Document(std::move(flows))}});
}

// The flow entries of report segment `s`.
core::List flow_entries(const CellGroups& groups, size_t s) {
    core::List flows;
    // Band positions follow the labels' text order, so position order is the output order.
    for (size_t f = 0; f < kBands; ++f) {
        for (size_t t = 0; t < kBands; ++t) {
            const GroupSum g = groups.get(s, f * kBands + t);
            if (g.count == 0) continue;
            core::Dict e;
            e.set("from_band", FLOW_BANDS[f]);
            e.set("to_band", FLOW_BANDS[t]);
            flows.push_back(g.entry(std::move(e)));
        }
    }
    return flows;
}

int64_t whole_max_periods(double max_periods) {
    if (!std::isfinite(max_periods))
        throw core::ValueError("max_periods must be a finite number, not " +
                               core::format_double(max_periods));
    double t = std::trunc(max_periods);
    if (t < 1) return 1;
    if (t > 1e15) return static_cast<int64_t>(1e15);
    return static_cast<int64_t>(t);
}

}  // namespace

core::Document _build_flow_matrix(const core::Document& scoreboard, double max_periods) {
    core::require_dict(scoreboard, "scoreboard");
    const int64_t keep = whole_max_periods(max_periods);

    const core::List& all_periods = scoreboard_periods(scoreboard);
    if (all_periods.size() < 2 || scoreboard_row_count(scoreboard) == 0) return degenerate_segment_document();
    size_t first = 0;
    if (all_periods.size() > static_cast<uint64_t>(keep))
        first = all_periods.size() - static_cast<size_t>(keep);
    const std::vector<core::Document> periods(
        all_periods.begin() + static_cast<std::ptrdiff_t>(first), all_periods.end());

    core::RowsRef rows(scoreboard.get("rows"));
    const core::Table& table = *rows;
    const size_t n = table.nrows();
    const std::vector<uint8_t> seg = segment_codes(table["segment"]);

    std::array<core::List, kSegments> lists;

    // Band codes per kept period, computed once (a period is the "to" of one pair and the
    // "from" of the next).
    std::vector<std::optional<std::vector<uint8_t>>> codes(periods.size());
    auto band_codes = [&](size_t p) -> const std::vector<uint8_t>* {
        if (!codes[p]) {
            const core::Column* col = table.find(period_column("ovik", periods[p]));
            if (col == nullptr) return nullptr;
            codes[p] = _score_to_band_codes(*col);
        }
        return &*codes[p];
    };

    std::vector<double> risk;  // buffer reused from pair to pair
    for (size_t i = 0; i + 1 < periods.size(); ++i) {
        const core::Document& d_from = periods[i];
        const core::Document& d_to = periods[i + 1];
        const std::vector<uint8_t>* b_from = band_codes(i);
        const std::vector<uint8_t>* b_to = b_from ? band_codes(i + 1) : nullptr;
        if (b_from == nullptr || b_to == nullptr) {
            for (auto& l : lists) l.push_back(pair_entry(d_from, d_to, {}));
            continue;
        }
        abs_risk_amounts(table.find(period_column("r", d_to)), n, risk);

        CellGroups groups;
        const uint8_t* bf = b_from->data();
        const uint8_t* bt = b_to->data();
        for (size_t r = 0; r < n; ++r) {
            // A firm without a band in either period goes to the dropped group kCells.
            const size_t cell = (bf[r] | bt[r]) == NO_BAND ? kCells : bf[r] * kBands + bt[r];
            groups.add(seg[r], cell, risk[r]);
        }
        for (size_t s = 0; s < kSegments; ++s)
            lists[s].push_back(pair_entry(d_from, d_to, flow_entries(groups, s)));
    }
    return segment_document(std::move(lists));
}

FlowCounts flow_counts(const core::Document& flow_matrix) {
    FlowCounts c{0, 0, 0};
    if (const core::Document* all = flow_matrix.get("ALL")) {
        c.pairs = static_cast<int64_t>(all->size());
        if (all->is_list())
            for (const core::Document& pair : all->as_list())
                if (const core::Document* flows = pair.get("flows"))
                    c.flows += static_cast<int64_t>(flows->size());
    }
    for (const auto& [key, value] : flow_matrix.as_dict())
        if (value.size() > 0) ++c.segments;
    return c;
}

}  // namespace tarvo::marts
