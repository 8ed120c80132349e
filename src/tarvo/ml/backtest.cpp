#include "tarvo/ml/backtest.hpp"

#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/ml/metrics.hpp"
#include "tarvo/ml/zavor/model.hpp"
#include "tarvo/ml/zavor/predictor.hpp"
#include "tarvo/vandel/engine_settings.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::ml {

namespace {

using zavor::FeatureMatrix;

constexpr double kScoreThreshold = 825;  // the highest band of the 0-1000 scale

struct ModelRun {
    const char* name;
    double threshold;
};
constexpr ModelRun kModels[] = {{"eus", kScoreThreshold}, {"yis", kScoreThreshold}, {"ml", zavor::kThreshold}};
constexpr size_t kEus = 0, kYis = 1, kMl = 2;

// One model's rows of its summary table.
struct SummaryColumns {
    std::vector<std::optional<std::string>> donem;
    std::vector<std::optional<int64_t>> tp, fp, fn, tn;
    std::vector<std::optional<double>> precision, recall, f1, auc;

    void add(const std::string& period, const Measures& m) {
        donem.emplace_back(period);
        tp.emplace_back(m.counts.tp);
        fp.emplace_back(m.counts.fp);
        fn.emplace_back(m.counts.fn);
        tn.emplace_back(m.counts.tn);
        precision.push_back(m.precision);
        recall.push_back(m.recall);
        f1.push_back(m.f1);
        auc.push_back(m.auc);
    }
    core::Table table() && {
        core::Table t;
        t.set("donem", core::Column::of_str(std::move(donem)));
        t.set("tp", core::Column::of_i64(std::move(tp)));
        t.set("fp", core::Column::of_i64(std::move(fp)));
        t.set("fn", core::Column::of_i64(std::move(fn)));
        t.set("tn", core::Column::of_i64(std::move(tn)));
        t.set("precision_val", core::Column::of_f64(std::move(precision)));
        t.set("recall_val", core::Column::of_f64(std::move(recall)));
        t.set("f1", core::Column::of_f64(std::move(f1)));
        t.set("auc", core::Column::of_f64(std::move(auc)));
        return t;
    }
};

core::Table firm_table(const FeatureMatrix& m, size_t first, const std::vector<double>& scores, double threshold) {
    std::vector<std::optional<std::string>> entity, kategori;
    for (size_t i = 0; i < scores.size(); ++i) {
        const bool called = !std::isnan(scores[i]) && scores[i] >= threshold;
        const bool happened = m.label[first + i] == 1;
        entity.emplace_back(m.entity(first + i));
        kategori.emplace_back(called ? (happened ? "TP" : "FP") : (happened ? "FN" : "TN"));
    }
    core::Table t;
    t.set("entity_id", core::Column::of_str(std::move(entity)));
    t.set("kategori", core::Column::of_str(std::move(kategori)));
    return t;
}

std::string auc_text(const std::optional<double>& auc) {
    if (!auc) return "-";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.3f", *auc);
    return buf;
}

void drop_tables(vandel::Vandel& con) {
    con.execute("BEGIN TRANSACTION");
    for (const ModelRun& model : kModels) {
        con.execute(std::string("DROP TABLE IF EXISTS backtest_") + model.name);
        con.execute(std::string("DROP TABLE IF EXISTS backtest_") + model.name + "_firma");
    }
    con.execute("COMMIT");
}

}  // namespace

void run_backtest(const std::string& db_path, int horizon, int folds) {
    if (horizon < 1) throw core::ValueError("horizon must be at least 1, not " + std::to_string(horizon));
    if (folds < 1) throw core::ValueError("folds must be at least 1, not " + std::to_string(folds));
    core::Console& out = core::console();
    out.line("  Running back-test...");
    FeatureMatrix m;
    {
        // Closed again before the fits, so the warehouse's working memory is not held alongside.
        vandel::Vandel con(db_path, vandel::Access::read_only);
        m = zavor::load_features(con, horizon);
    }

    const int32_t last_eval = static_cast<int32_t>(m.periods.size()) - 1 - horizon;
    const int32_t first_eval = std::max(horizon, last_eval - folds + 1);
    SummaryColumns summary[3];
    core::Table firms[3];
    std::string firms_period;
    for (int32_t e = first_eval; e <= last_eval; ++e) {
        const std::string& period = m.periods[static_cast<size_t>(e)];
        const std::optional<zavor::LogisticModel> lm = zavor::LogisticModel::fit(
            m, m.first_row_of(e - horizon + 1), vandel::run_threads());
        if (!lm) {
            out.line("  [BACKTEST] " + period + ": eğitim dönemlerinde tek sınıf, atlandı");
            continue;
        }
        const size_t first = m.first_row_of(e), end = m.first_row_of(e + 1);
        std::vector<double> scores[3];
        std::vector<int8_t> labels(m.label.begin() + static_cast<long>(first), m.label.begin() + static_cast<long>(end));
        for (size_t r = first; r < end; ++r) {
            const zavor::RawFeatures raw = m.row(r);
            scores[kEus].push_back(raw[zavor::kSkor]);
            scores[kYis].push_back(raw[zavor::kYisSkor]);
            scores[kMl].push_back(core::round_half_even(lm->probability(raw.data()), 4));
        }
        Measures measures[3];
        for (size_t k = 0; k < 3; ++k) {
            measures[k] = evaluate(scores[k], labels, kModels[k].threshold);
            summary[k].add(period, measures[k]);
            firms[k] = firm_table(m, first, scores[k], kModels[k].threshold);
        }
        firms_period = period;
        const int64_t positives = measures[kMl].counts.tp + measures[kMl].counts.fn;
        out.line("  [BACKTEST] " + period + ": AUC ml " + auc_text(measures[kMl].auc) + ", eus " +
                 auc_text(measures[kEus].auc) + ", yis " + auc_text(measures[kYis].auc) + "; " +
                 core::group_thousands(static_cast<int64_t>(labels.size())) + " firma, " +
                 core::group_thousands(positives) + " pozitif");
    }

    vandel::Vandel con(db_path);
    if (firms_period.empty()) {
        drop_tables(con);
        out.line("  [BACKTEST] Yetersiz geçmiş: ufuk " + std::to_string(horizon) +
                 " için değerlendirilecek dönem yok, tablolar kaldırıldı");
        return;
    }
    const size_t evaluated = summary[kMl].donem.size();
    con.execute("BEGIN TRANSACTION");
    for (size_t k = 0; k < 3; ++k) {
        const std::string table = std::string("backtest_") + kModels[k].name;
        con.run_with_out(std::move(summary[k]).table(), "CREATE OR REPLACE TABLE " + table + " AS SELECT * FROM out");
        con.run_with_out(firms[k], "CREATE OR REPLACE TABLE " + table + "_firma AS SELECT * FROM out");
    }
    con.execute("COMMIT");
    out.line("  [BACKTEST] -> backtest_eus, backtest_yis, backtest_ml: " + std::to_string(evaluated) +
             " dönem, firma listeleri " + firms_period);
}

}  // namespace tarvo::ml
