// Small scoreboards for the trending, enrichment and ML list tests, laid out as row tables.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/document.hpp"
#include "tarvo/core/table.hpp"

namespace tarvo::trending_testing {

// One firm: its key, its latest risk and its score cells, oldest period first.
struct Firm {
    core::Value muta;
    core::Value son_risk;
    std::vector<core::Value> scores;
};

// A row table from named columns of cells (kinds inferred from the cells, as the warehouse
// would type them: whole numbers alone stay whole, whole and fractional numbers become
// floating point, anything with texts is mixed).
inline core::Table row_table(std::vector<std::pair<std::string, std::vector<core::Value>>> cols) {
    core::Table t;
    for (auto& [name, cells] : cols) t.set(name, core::Column::from_values(cells));
    return t;
}

// {"meta": {"donemler": periods}, "rows": row table}; the rows carry "muta", "unvan" ("F" +
// the muta's text form), "son_risk" and one "ovik<period>" column per period.
inline core::Document make_scoreboard(const std::vector<std::string>& periods,
                                      const std::vector<Firm>& firms) {
    std::vector<core::Value> muta, unvan, risk;
    std::vector<std::vector<core::Value>> scores(periods.size());
    for (const Firm& f : firms) {
        muta.push_back(f.muta);
        unvan.push_back(core::Value("F" + f.muta.text_form()));
        risk.push_back(f.son_risk);
        for (size_t p = 0; p < periods.size(); ++p)
            scores[p].push_back(p < f.scores.size() ? f.scores[p] : core::Value());
    }
    core::Table t = row_table({{"muta", muta}, {"unvan", unvan}, {"son_risk", risk}});
    for (size_t p = 0; p < periods.size(); ++p)
        t.set("ovik" + periods[p], core::Column::from_values(scores[p], core::f64));

    core::List donemler;
    for (const std::string& p : periods) donemler.emplace_back(p);
    core::Dict meta;
    meta.set("donemler", core::Document(std::move(donemler)));
    core::Dict board;
    board.set("meta", core::Document(std::move(meta)));
    board.set("rows", core::Document::rows(std::move(t)));
    return core::Document(std::move(board));
}

}  // namespace tarvo::trending_testing
