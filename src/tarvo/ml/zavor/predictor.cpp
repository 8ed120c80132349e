#include "tarvo/ml/zavor/predictor.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "tarvo/core/console.hpp"
#include "tarvo/core/parallel.hpp"
#include "tarvo/core/text_index.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/ml/zavor/model.hpp"
#include "tarvo/vandel/engine_settings.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::zavor {

namespace {

using core::Dict;
using core::Document;
using core::List;

// The back-test AUC of the ML model in its newest evaluated period, when a back-test run has
// written one (a table of another shape gives none).
Document latest_backtest_auc(vandel::Vandel& con) {
    if (!con.table_exists("backtest_ml")) return Document();
    const std::vector<std::string> columns = con.column_names("backtest_ml");
    const auto has = [&](const char* c) { return std::find(columns.begin(), columns.end(), c) != columns.end(); };
    if (!has("donem") || !has("auc")) return Document();
    const core::Table t = con.query(
        "SELECT CAST(auc AS DOUBLE) FROM backtest_ml WHERE auc IS NOT NULL ORDER BY donem DESC LIMIT 1");
    if (t.nrows() == 0) return Document();
    return Document(core::round_half_even(*t.column(0).number_at(0), 4));
}

Document model_description(const LogisticModel& lm, const FeatureMatrix& m, int32_t last_train,
                           Document auc) {
    List periods;
    for (int32_t t = 0; t <= last_train; ++t) periods.emplace_back(m.periods[static_cast<size_t>(t)]);
    List features;
    for (size_t f = 0; f < kFeatureCount; ++f) {
        Dict d;
        d.set("name", std::string(kFeatures[f].name));
        d.set("label", std::string(kFeatures[f].label));
        d.set("weight", core::round_half_even(lm.weights()[f], 4));
        features.emplace_back(std::move(d));
    }
    Dict d;
    d.set("horizon", kHorizon);
    d.set("training_periods", std::move(periods));
    d.set("features", std::move(features));
    d.set("auc", std::move(auc));
    d.set("threshold", kThreshold);
    return Document(std::move(d));
}

}  // namespace

std::string reasons_of(const std::array<double, kFeatureCount>& contributions,
                       const std::array<double, kFeatureCount>& weights, const float* raw) {
    // Largest first, equal ones in feature order: an insertion sort of at most kFeatureCount, which
    // allocates nothing (this runs for every scored firm).
    std::array<size_t, kFeatureCount> raising;
    size_t n = 0;
    for (size_t f = 0; f < kFeatureCount; ++f) {
        const bool present = kFeatures[f].kind == FeatureKind::continuous ? !std::isnan(raw[f]) : raw[f] > 0;
        if (!present || weights[f] <= 0 || contributions[f] <= 0) continue;
        size_t at = n++;
        for (; at > 0 && contributions[f] > contributions[raising[at - 1]]; --at) raising[at] = raising[at - 1];
        raising[at] = f;
    }
    std::string text;
    for (size_t k = 0; k < n && k < 3; ++k) {
        if (k == 2 && contributions[raising[2]] < contributions[raising[0]] / 4) break;
        if (k) text += "; ";
        text += reason_text(static_cast<Feature>(raising[k]), raw);
    }
    return text;
}

namespace {

// The newest period's rows of the matrix, on their own: what the scoring needs once the fit is
// done. The rows keep their order; each names its firm by its own key.
FeatureMatrix newest_period_rows(FeatureMatrix& m) {
    const size_t first = m.first_row_of(static_cast<int32_t>(m.periods.size()) - 1), n = m.rows() - first;
    FeatureMatrix newest;
    newest.periods.push_back(m.periods.back());
    newest.period_start = {0, n};
    newest.firms.reserve(n);
    for (size_t r = first; r < m.rows(); ++r) {
        newest.firms.push_back(std::move(m.firms[static_cast<size_t>(m.firm[r])]));
        newest.firm.push_back(static_cast<int32_t>(r - first));
    }
    newest.label.assign(m.label.begin() + static_cast<std::ptrdiff_t>(first), m.label.end());
    newest.flags.assign(m.flags.begin() + static_cast<std::ptrdiff_t>(first), m.flags.end());
    newest.continuous.assign(m.continuous.begin() + static_cast<std::ptrdiff_t>(first * kContinuousCount),
                             m.continuous.end());
    return newest;
}

// What the second half needs: the lines it prints and, with a model, the model and the rows it scores.
struct Prepared {
    std::string line;  // the model line, or why there are no probabilities
    std::optional<LogisticModel> lm;
    Document model;
    FeatureMatrix newest;
};

void attach_predictions(Prepared& p, Document& scoreboard) {
    core::Console& out = core::console();
    out.line(p.line);
    if (!p.lm) return;

    // The newest period's firms, by key (a key that repeats keeps its first row).
    const FeatureMatrix& m = p.newest;
    core::TextIndex newest(m.rows(), [&m](size_t r) -> const std::string& { return m.entity(r); });
    int64_t scored = 0;
    for (size_t r = 0; r < m.rows(); ++r) {
        size_t& row = newest[m.entity(r)];
        if (row == newest.kNone) {
            row = r;
            ++scored;
        }
    }

    // Rows kept as mappings are made a table first, apart, so the scoreboard is not touched yet.
    Document* rows_doc = scoreboard.get("rows");
    std::optional<core::Table> converted;
    if (rows_doc && !rows_doc->is_rows()) converted = core::rows_to_table(*rows_doc);
    const core::Table* rows = converted ? &*converted : rows_doc ? &rows_doc->as_rows() : nullptr;
    core::Column prob_column, neden_column;
    if (rows) {
        const core::Column* muta = rows->find("muta");
        std::vector<std::optional<double>> prob(rows->nrows());
        std::vector<std::optional<std::string>> neden(rows->nrows());
        // Each thread scores a run of the rows; every row's results have their own place.
        const size_t n = muta ? rows->nrows() : 0, threads = vandel::run_threads();
        core::run_in_parallel_over(n, threads, [&](size_t begin, size_t end) {
            std::string other;  // the text form of a key that is not a text
            for (size_t i = begin; i < end; ++i) {
                const std::string& key = muta->is_text_cell(i) ? muta->text_at(i) : (other = muta->text_form(i));
                const size_t row = newest.at(key);
                if (row == newest.kNone) continue;
                const RawFeatures raw = m.row(row);
                prob[i] = core::round_half_even(p.lm->probability(raw.data()), 4);
                neden[i] = reasons_of(p.lm->contributions(raw.data()), p.lm->weights(), raw.data());
            }
        });
        prob_column = core::Column::of_f64(std::move(prob));
        neden_column = core::Column::of_str(std::move(neden));
    }

    // Everything that can fail is done: the scoreboard gets the results.
    if (rows) {
        if (converted) *rows_doc = Document::rows(std::move(*converted));
        core::Table& table = rows_doc->as_rows();
        table.set("_ml_yi_prob", std::move(prob_column));
        table.set("_ml_neden", std::move(neden_column));
    }
    scoreboard.set("ml_model", std::move(p.model));
    out.line("  [ML] " + m.periods.back() + ": " + core::group_thousands(scored) +
             " firma skorlandı");
}

}  // namespace

ApplyPredictions prepare_predictions(const std::string& db_path) {
    auto p = std::make_shared<Prepared>();
    const auto second_half = [p](Document& scoreboard) { attach_predictions(*p, scoreboard); };
    vandel::Vandel con(db_path, vandel::Access::read_only);
    FeatureMatrix m = load_features(con, kHorizon);
    Document backtest_auc = latest_backtest_auc(con);
    con.close();  // the warehouse's working memory goes back before the fit needs its own
    const int32_t periods = static_cast<int32_t>(m.periods.size());
    const int32_t last_train = periods - 1 - kHorizon;
    if (last_train < 0) {
        p->line = "  [ML] Yetersiz geçmiş: " + std::to_string(kHorizon) +
                  " dönem sonrası bilinen dönem yok, olasılık verilmedi";
        return second_half;
    }
    const size_t end_row = m.first_row_of(last_train + 1);
    p->lm = LogisticModel::fit(m, end_row, vandel::run_threads());
    if (!p->lm) {
        p->line = "  [ML] Yetersiz geçmiş: eğitim dönemlerinde tek sınıf var, olasılık verilmedi";
        return second_half;
    }
    int64_t positives = std::count(m.label.begin(), m.label.begin() + static_cast<long>(end_row), int8_t{1});
    p->line = "  [ML] Model: " + std::to_string(last_train + 1) + " dönem (" + m.periods.front() + "-" +
              m.periods[static_cast<size_t>(last_train)] + "), " +
              core::group_thousands(static_cast<int64_t>(end_row)) + " örnek, " + core::group_thousands(positives) +
              " pozitif, ufuk " + std::to_string(kHorizon) + " dönem";
    p->model = model_description(*p->lm, m, last_train, std::move(backtest_auc));
    p->newest = newest_period_rows(m);
    return second_half;
}

void run_predictions(const std::string& db_path, Document& scoreboard) { prepare_predictions(db_path)(scoreboard); }

}  // namespace tarvo::zavor
