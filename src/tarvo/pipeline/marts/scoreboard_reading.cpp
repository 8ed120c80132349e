#include "tarvo/pipeline/marts/scoreboard_reading.hpp"

#include "tarvo/core/value.hpp"

namespace tarvo::marts {

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

std::optional<double> number_in_cell(const core::Column& c, size_t i) {
    if (c.is_text_cell(i)) return core::parse_number(c.text_at(i));
    return c.number_at(i);
}

core::Document cell_document(const core::Column* c, size_t i) {
    return c ? core::Document::of(c->get(i)) : core::Document();
}

}  // namespace tarvo::marts
