#include "tarvo/pipeline/marts/segment_bands.hpp"

#include <cmath>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/marts/scoreboard_reading.hpp"

namespace tarvo::marts::segment_bands {

core::Document segment_document(std::array<core::List, BAND_SEGMENTS.size()> lists) {
    core::Dict result;
    for (size_t s = 0; s < lists.size(); ++s)
        result.set(BAND_SEGMENTS[s], core::Document(std::move(lists[s])));
    return core::Document(std::move(result));
}

core::Document entry_of(std::initializer_list<std::pair<std::string_view, core::Document>> fields) {
    core::Dict e;
    for (const auto& [key, value] : fields) e.set(key, value);
    return core::Document(std::move(e));
}

core::Document degenerate_segment_document() {
    core::Dict degenerate;
    degenerate.set("ALL", core::Document::empty_list());
    return core::Document(std::move(degenerate));
}

std::vector<uint8_t> segment_codes(const core::Column& segment) {
    std::vector<uint8_t> codes(segment.size(), OTHER_SEGMENT);
    for (size_t i = 0; i < segment.size(); ++i) {
        if (!segment.is_text_cell(i)) continue;
        const std::string& s = segment.text_at(i);
        for (uint8_t k = 1; k < BAND_SEGMENTS.size(); ++k) {
            if (s == BAND_SEGMENTS[k]) {
                codes[i] = k;
                break;
            }
        }
    }
    return codes;
}

void abs_risk_amounts(const core::Column* risk, size_t nrows, std::vector<double>& out) {
    out.assign(nrows, 0.0);
    if (risk == nullptr) return;
    for (size_t i = 0; i < nrows; ++i)
        if (auto x = number_in_cell(*risk, i); x && std::isfinite(*x)) out[i] = std::fabs(*x);
}

core::Document GroupSum::entry(core::Dict keys) const {
    keys.set("risk_tl", whole_sum());
    keys.set("count", count);
    return core::Document(std::move(keys));
}

int64_t GroupSum::whole_sum() const {
    auto t = core::truncate_to_int(sum + comp);
    if (!t) throw core::ValueError("risk total " + core::format_double(sum + comp) +
                                   " cannot be converted to a whole number");
    return *t;
}

}  // namespace tarvo::marts::segment_bands
