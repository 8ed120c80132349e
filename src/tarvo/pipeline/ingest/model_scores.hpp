// Model score extracts: comma-separated UTF-8 files "*_pred_n_scor.csv", one per period, of two
// scoring models that differ only in where they read and write and in the score's form:
//   _ingest_yis_tahmin  yis_tahmin_data -> brz_yis_tahmin (muta, donem, yis_skor, yis_ihtimal, yis_label)
//   _ingest_eus_tahmin  eus_tahmin_data -> brz_eus_tahmin (muta, donem, eus_skor, eus_ihtimal)
// (declared in sources.hpp).
//
// For each file, in path order: the period is the first "_"-field of the name (without its
// extension) less its first two characters, followed by the second field ("2024_03_..." gives
// 2403); every column is read as text; `muta` is the normal form of "MUTA"; the score is the
// first column whose lower-cased name contains "skor" and the probability the first containing
// "ihtimal" (each null on every row when there is none). The probability is stored unrounded;
// the yis score rounded to a whole number, the eus score rounded to two places; the yis label
// is "label" truncated toward zero with null as 0 (0 on every row without "label"). One insert
// per file, then "  <table>: <total> rows". A file without "MUTA" ends the run (KeyError).
#pragma once

#include "tarvo/pipeline/ingest/sources.hpp"
