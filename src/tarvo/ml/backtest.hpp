// The back-test run: a walk-forward test of the predictor against the two existing models, on
// the same firms, periods and outcome (entering YI within `horizon` periods).
//
// The evaluated periods are the newest `folds` periods whose outcome is known (t + horizon <= the
// newest period). For each evaluated period e the model is trained on the periods up to
// e - horizon only, whose outcomes were known at e, so nothing from e's future reaches it; it
// then scores e's firms (those not in YI at e). The eus and yis scores of the same firms are
// measured on the same outcome. Positive calls:
//   ml   probability >= 0.3 (the ML list's threshold)
//   eus  early-warning score >= 825 (the highest band)
//   yis  yis score >= 825
// A firm without a score is never called and ranks lowest.
//
// Writes, in one transaction, replacing earlier ones:
//   backtest_ml, backtest_eus, backtest_yis   donem, tp, fp, fn, tn, precision_val, recall_val,
//                                             f1, auc  (one row per evaluated period)
//   backtest_ml_firma, backtest_eus_firma, backtest_yis_firma
//                                             entity_id, kategori ("TP", "FP", "FN", "TN") for
//                                             the newest evaluated period
// With no period to evaluate the six tables are dropped (stale results would mislead).
//
// Lines:
//   "  Running back-test..."
//   "  [BACKTEST] <period>: AUC ml <a>, eus <b>, yis <c>; <n> firma, <p> pozitif"   per period
//   "  [BACKTEST] <period>: eğitim dönemlerinde tek sınıf, atlandı"                  when untrainable
//   "  [BACKTEST] -> backtest_eus, backtest_yis, backtest_ml: <k> dönem, firma listeleri <period>"
//   "  [BACKTEST] Yetersiz geçmiş: ufuk <H> için değerlendirilecek dönem yok, tablolar kaldırıldı"
// AUCs with three decimals, "-" when undefined.
#pragma once

#include <string>

namespace tarvo::ml {

inline constexpr int kDefaultFolds = 4;

void run_backtest(const std::string& db_path, int horizon, int folds = kDefaultFolds);

}  // namespace tarvo::ml
