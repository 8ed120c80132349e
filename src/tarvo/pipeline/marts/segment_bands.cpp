#include "tarvo/pipeline/marts/segment_bands.hpp"

#include <cmath>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/value.hpp"

namespace tarvo::marts::segment_bands {

size_t scoreboard_row_count(const core::Document& scoreboard) {
    const core::Document* rows = scoreboard.get("rows");
    if (rows == nullptr || rows->is_null()) return 0;
    return rows->size();
}

const core::List& scoreboard_periods(const core::Document& scoreboard) {
    static const core::List kNone;
    const core::Document* meta = scoreboard.get("meta");
    if (meta == nullptr) return kNone;
    const core::Document* periods = meta->get("donemler");
    if (periods == nullptr || periods->is_null()) return kNone;
    return periods->as_list();
}

std::string period_text(const core::Document& period) { return period.to_value().text_form(); }

std::string period_column(std::string_view prefix, const core::Document& period) {
    std::string name(prefix);
    name += period_text(period);
    return name;
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
    for (size_t i = 0; i < nrows; ++i) {
        double x;
        if (risk->is_double_cell(i)) {
            x = risk->double_at(i);
        } else if (risk->is_int_cell(i)) {
            x = static_cast<double>(risk->int_at(i));
        } else if (risk->is_text_cell(i)) {
            auto n = core::parse_number(risk->text_at(i));
            if (!n) continue;
            x = *n;
        } else if (risk->is_bool_cell(i)) {
            x = risk->bool_at(i) ? 1.0 : 0.0;
        } else {
            continue;
        }
        if (std::isfinite(x)) out[i] = std::fabs(x);
    }
}

int64_t GroupSum::whole_sum() const {
    auto t = core::truncate_to_int(sum + comp);
    if (!t) throw core::ValueError("risk total " + core::format_double(sum + comp) +
                                   " cannot be converted to a whole number");
    return *t;
}

}  // namespace tarvo::marts::segment_bands
