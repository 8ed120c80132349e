// Model score extracts: comma-separated UTF-8 files "*_pred_n_scor.csv", one per period, of two
// scoring models (yis, eus) that differ only in the data of a ScoreSource.
//
// For each file, in path order: the period is the first "_"-field of the name (without its
// extension) less its first two characters, followed by the second field ("2024_03_..." gives
// 2403); every column is read as text; `muta` is the normal form of "MUTA"; the score is the
// first column whose lower-cased name contains "skor" and the probability the first containing
// "ihtimal" (each null on every row when there is none). The probability is stored unrounded;
// the score as described by `score_decimals`; the yis label is "label" truncated toward zero
// with null as 0 (0 on every row without "label"). One insert per file, then
// "  <table>: <total> rows". A file without "MUTA" ends the run (KeyError).
#pragma once

#include <string_view>

#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::ingest {

struct ScoreSource {
    std::string_view dir_key;        // directory key, named by the skip line
    std::string_view table;          // brz_ table, named by the count line
    std::string_view insert_sql;     // "INSERT INTO <table> SELECT * FROM out"
    std::string_view score_column;   // bronze column names
    std::string_view prob_column;
    std::string_view label_column;   // empty: the table carries no label
    int score_decimals;              // 0: whole number (BIGINT); otherwise a number rounded to that many places
};

inline constexpr ScoreSource YIS_SCORES{"yis_tahmin_data", "brz_yis_tahmin",
                                        "INSERT INTO brz_yis_tahmin SELECT * FROM out",
                                        "yis_skor", "yis_ihtimal", "yis_label", 0};
inline constexpr ScoreSource EUS_SCORES{"eus_tahmin_data", "brz_eus_tahmin",
                                        "INSERT INTO brz_eus_tahmin SELECT * FROM out",
                                        "eus_skor", "eus_ihtimal", "", 2};

// Loads the score files of `dir` as `source` describes.
void ingest_score_files(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter,
                        const ScoreSource& source);

}  // namespace tarvo::ingest
