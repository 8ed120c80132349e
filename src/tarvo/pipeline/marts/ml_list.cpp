#include "tarvo/pipeline/marts/ml_list.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/marts/scoreboard_reading.hpp"

namespace tarvo::marts {

using core::Dict;
using core::Document;
using core::List;

Document _build_ml_predictions_list(const Document& scoreboard, double prob_threshold) {
    core::require_dict(scoreboard, "scoreboard");
    core::RowsRef rows_ref(scoreboard.get("rows"));
    const core::Table& t = *rows_ref;

    struct Found {
        size_t row;
        double risk_key;
    };
    std::vector<Found> found;
    const core::Column* prob = t.find("_ml_yi_prob");
    const core::Column* son_risk = t.find("son_risk");
    if (prob != nullptr) {
        for (size_t i = 0; i < t.nrows(); ++i) {
            if (prob->is_null(i)) continue;
            std::optional<double> p = number_in_cell(*prob, i);
            if (!p || *p < prob_threshold) continue;
            std::optional<double> risk = son_risk ? number_in_cell(*son_risk, i) : std::nullopt;
            found.push_back({i, risk && !std::isnan(*risk) ? *risk : 0.0});
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.risk_key > b.risk_key; });

    const core::Column* muta = t.find("muta");
    const core::Column* unvan = t.find("unvan");
    const core::Column* segment = t.find("segment");
    const core::Column* neden = t.find("_ovik_neden");
    List entries;
    entries.reserve(found.size());
    for (const Found& f : found) {
        const size_t i = f.row;
        Dict e;
        e.set("muta", cell_document(muta, i));
        e.set("unvan", cell_document(unvan, i));
        e.set("segment", cell_document(segment, i));
        e.set("son_risk", cell_document(son_risk, i));
        if (prob->is_int_cell(i) || prob->is_bool_cell(i))
            e.set("yi_prob", Document(static_cast<int64_t>(*prob->number_at(i))));
        else
            e.set("yi_prob", Document(core::round_half_even(*number_in_cell(*prob, i), 4)));
        e.set("neden", neden && !neden->is_null(i) ? Document::of(neden->get(i)) : Document(""));
        entries.emplace_back(std::move(e));
    }

    core::console().line("  [ML] yi_prob >= " + core::format_double(prob_threshold) + ": " +
                         std::to_string(entries.size()) + " firma");
    return Document(std::move(entries));
}

Document filter_predictions(const Document& predictions,
                            const std::unordered_set<std::string>& admin_mutas) {
    List kept;
    for (const Document& entry : predictions.as_list()) {
        const Document* id = entry.get("entity_id");
        if (id == nullptr) id = entry.get("muta");
        if (admin_mutas.count(id ? id->to_value().text_form() : std::string()) > 0) kept.push_back(entry);
    }
    return Document(std::move(kept));
}

}  // namespace tarvo::marts
