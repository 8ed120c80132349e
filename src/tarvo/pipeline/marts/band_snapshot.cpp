#include "tarvo/pipeline/marts/band_snapshot.hpp"

#include <array>
#include <vector>

#include "tarvo/pipeline/marts/bands.hpp"
#include "tarvo/pipeline/marts/scoreboard_reading.hpp"
#include "tarvo/pipeline/marts/segment_bands.hpp"

namespace tarvo::marts {

namespace {

using namespace segment_bands;

constexpr size_t kBands = FLOW_BANDS.size();
constexpr size_t kSegments = BAND_SEGMENTS.size();
using BandGroups = SegmentGroups<kBands>;

core::Document period_entry(const core::Document& donem, core::Dict bands) {
    return entry_of({{"donem", donem}, {"bands", core::Document(std::move(bands))}});
}

// The "bands" mapping of report segment `s`.
core::Dict band_entries(const BandGroups& groups, size_t s) {
    // Band positions follow the labels' text order, so position order is the output order.
    core::Dict bands;
    for (size_t b = 0; b < kBands; ++b) {
        const GroupSum g = groups.get(s, b);
        if (g.count == 0) continue;
        bands.set(FLOW_BANDS[b], g.entry());
    }
    return bands;
}

}  // namespace

core::Document _build_band_snapshot(const core::Document& scoreboard) {
    core::require_dict(scoreboard, "scoreboard");

    const core::List& periods = scoreboard_periods(scoreboard);
    if (periods.empty() || scoreboard_row_count(scoreboard) == 0) return degenerate_segment_document();

    core::RowsRef rows(scoreboard.get("rows"));
    const core::Table& table = *rows;
    const size_t n = table.nrows();
    const std::vector<uint8_t> seg = segment_codes(table["segment"]);

    std::array<core::List, kSegments> lists;
    std::vector<uint8_t> band;  // buffers reused from period to period
    std::vector<double> risk;
    for (const core::Document& d : periods) {
        const core::Column* score = table.find(period_column("ovik", d));
        if (score == nullptr) {
            for (auto& l : lists) l.push_back(period_entry(d, {}));
            continue;
        }
        core::score_band_codes(*score, band);
        abs_risk_amounts(table.find(period_column("r", d)), n, risk);

        // A row without a band (NO_BAND) falls in the dropped group.
        BandGroups groups;
        for (size_t r = 0; r < n; ++r) groups.add(seg[r], band[r], risk[r]);
        for (size_t s = 0; s < kSegments; ++s)
            lists[s].push_back(period_entry(d, band_entries(groups, s)));
    }
    return segment_document(std::move(lists));
}

}  // namespace tarvo::marts
