// Model back-test results for the administrator data: per model ("eus", "yis", "ml", always in
// this order) a summary of its metrics table backtest_<model> and the firms its firm table
// backtest_<model>_firma classifies as TP, FP and FN.
//
// Each model is handled on its own: a missing or empty table gives null for the model without a
// message; any other failure gives null, a "  [BACKTEST] ..." line with the error's message and
// the error's kind and message on standard error, and the next model is still read. Neither
// operation ends the run.
#pragma once

#include "tarvo/core/document.hpp"

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::marts {

// {"eus": entry|null, "yis": entry|null, "ml": entry|null}, from "SELECT * FROM <table> ORDER BY 1".
//
// "eus" and "yis" entries, keys in order:
//   "donem_metrikleri"  the table's rows as mappings (column order, values as stored, nulls kept)
//   "toplam_donem"      number of rows
//   "toplam_tp", "toplam_fp", "toplam_fn", "toplam_tn"
//                       sum of the column over its non-null values, fractional part dropped after
//                       summing; 0 when the column is absent
//   "ort_precision", "ort_recall", "ort_f1"
//                       mean of precision_val, recall_val, f1 over non-null values, rounded to 4
//                       places (halves to even); NaN when every value is null; null when the
//                       column is absent
// "ml" entry, keys in order: "fold_detay" (rows, as above), "toplam_fold", "ort_auc",
// "ort_precision", "ort_recall", "ort_f1" (count columns are ignored).
//
// Prints "  [BACKTEST] <model>: <message>" for a failed model, then either
// "  [BACKTEST] Özet: <models with an entry, joined by ", ">" or "  [BACKTEST] Tablo yok, atlanıyor".
core::Document _build_backtest_summary(vandel::Vandel& con);

// {"eus": lists|null, "yis": lists|null, "ml": lists|null} where lists is
// {"tp": [...], "fp": [...], "fn": [...]}: the distinct text forms of entity_id per category, in
// text order (a DISTINCT alone hands rows back in an order that changes from run to run, and the
// admin page with it). Rows of other categories ("TN") are not read; a table
// holding none of TP, FP, FN gives null.
//
// Prints "  [BACKTEST] <model> firma: <message>" for a failed model, then for every model with
// lists "  [BACKTEST] <model> firma: TP=<n>, FN=<n>, FP=<n>" (nothing when none has lists).
core::Document _build_backtest_firma_lists(vandel::Vandel& con);

}  // namespace tarvo::marts
