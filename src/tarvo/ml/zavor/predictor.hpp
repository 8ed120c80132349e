// The prediction step of the mart run: which firms that are not in the YI state now enter it
// within the next kHorizon periods.
//
// The step opens the warehouse read-only, trains the model (model.hpp) on every labelled
// firm-period of fact_periodic's window, scores the newest period and adds to the scoreboard, in
// place, in every row it could score (a firm with a row in the newest period, not in YI there):
//   "_ml_yi_prob"  the probability, rounded to 4 decimals
//   "_ml_neden"    the two or three features that raised it most, in words, joined with "; "
// Other rows get null in both. A top-level "ml_model" mapping describes the model: "horizon",
// "training_periods", "features" (each "name", "label", "weight"), "auc" (the newest
// backtest_ml AUC, or null) and "threshold".
//
// Lines:
//   "  [ML] Model: <n> dönem (<first>-<last>), <rows> örnek, <pos> pozitif, ufuk <H> dönem"
//   "  [ML] <period>: <n> firma skorlandı"
// With too little history the scoreboard stays unchanged after one of:
//   "  [ML] Yetersiz geçmiş: <H> dönem sonrası bilinen dönem yok, olasılık verilmedi"
//   "  [ML] Yetersiz geçmiş: eğitim dönemlerinde tek sınıf var, olasılık verilmedi"
#pragma once

#include <array>
#include <functional>
#include <string>

#include "tarvo/core/document.hpp"
#include "tarvo/ml/zavor/feature_set.hpp"

namespace tarvo::zavor {

inline constexpr int kHorizon = 3;
inline constexpr double kThreshold = 0.3;  // the ML list's threshold, also the back-test's

// The step comes in two halves, so that its large work need not run beside the scoreboard (at a
// million firms the feature matrix and the scoreboard together were half again the run's memory):
//   prepare_predictions(db_path) reads the warehouse, fits the model and keeps only the newest
//     period's features. It prints nothing and throws when the reading or the fit fails.
//   The function it returns prints the step's lines and adds the columns to the scoreboard, in
//     place. It changes the scoreboard only once all its work that can fail is done, so a failure
//     (thrown) leaves it as it was.
// run_predictions(db_path, scoreboard) runs the two one after the other.
using ApplyPredictions = std::function<void(core::Document& scoreboard)>;
ApplyPredictions prepare_predictions(const std::string& db_path);
void run_predictions(const std::string& db_path, core::Document& scoreboard);

// The reasons text for one row: the (at most three) features with the largest positive
// contributions, largest first; a third only when it is at least a quarter of the first. Only a
// sign that is present and higher than usual speaks: a flag that is set, a value with a
// positive weight (a low score with a negative weight raises the probability too, but "skor
// 200" would read as a warning it is not).
std::string reasons_of(const std::array<double, kFeatureCount>& contributions,
                       const std::array<double, kFeatureCount>& weights, const float* raw);

}  // namespace tarvo::zavor
