// Rating criteria and bureau data: Parquet extracts, one per period, reduced to a few figures
// per customer. The two sources share their steps and differ only in the data of a
// PeriodFigureSource.
//
// For each file matching `file_pattern`, in path order: the period is the four digits of
// `period_pattern` (no match, for example a six-digit period: the file is passed over); the
// customer number column is "MUTA" when the file has one, else `muta` (neither: KeyError, which
// ends the run); after the muta preparation a file without rows is passed over; otherwise the
// figures are derived and one insert of (muta, donem, figures...) follows. Then
// "  <table>: <total> rows".
//
// Rating figures. The criterion columns are all columns but the customer number column and
// `muta`. Day criteria end with one of UZAK_SUFFIXES, zero-check criteria with one of
// SIFIR_SUFFIXES (case-sensitive). `min_uzak_gun` is the smallest number among the row's day
// criteria, truncated toward zero to a whole number (12.5 gives 12), null when none holds a
// number; `sifir_flag` is 1 when a zero-check criterion holds a number other than 0.
//
// Bureau figures. `idari_kanuni_takip` is the first column whose lower-cased name contains
// "idari" and "takip", `ikt_6ay_ort` the first containing "6ay" and "ort", both as numbers
// with null as 0; 0 on every row when the file has no such column.
#pragma once

#include <array>
#include <string_view>

#include "tarvo/core/table.hpp"
#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::ingest {

inline constexpr std::array<std::string_view, 2> UZAK_SUFFIXES = {"_PIGD", "_PSCD"};
inline constexpr std::array<std::string_view, 3> SIFIR_SUFFIXES = {"_A", "_ASGD", "_AIGD"};

// Adds the source's figure columns to `out` (which holds muta and donem) from the prepared
// table `df`, whose customer numbers came from `customer_column`.
using DeriveFigures = void (*)(const core::Table& df, std::string_view customer_column, core::Table& out);

struct PeriodFigureSource {
    std::string_view dir_key;         // directory key, named by the skip line
    std::string_view file_pattern;    // glob of the extracts
    std::string_view period_pattern;  // regular expression; its group is the period
    std::string_view table;           // brz_ table, named by the count line
    std::string_view insert_sql;      // "INSERT INTO <table> SELECT * FROM out"
    DeriveFigures derive;
};

void derive_rkd_figures(const core::Table& df, std::string_view customer_column, core::Table& out);
void derive_memzuc_figures(const core::Table& df, std::string_view customer_column, core::Table& out);

inline constexpr PeriodFigureSource RKD_CRITERIA{"rkd_donem_data", "rkd_data_*.parquet",
                                                 R"(rkd_data_([0-9]{4})\.parquet$)", "brz_rkd_kriter",
                                                 "INSERT INTO brz_rkd_kriter SELECT * FROM out",
                                                 &derive_rkd_figures};
inline constexpr PeriodFigureSource MEMZUC_BUREAU{"memzuc_data_donem", "memzuc_*.parquet",
                                                  R"(memzuc_([0-9]{4})\.parquet$)", "brz_memzuc",
                                                  "INSERT INTO brz_memzuc SELECT * FROM out",
                                                  &derive_memzuc_figures};

// Loads the extracts of `dir` as `source` describes.
void ingest_period_figures(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter,
                           const PeriodFigureSource& source);

}  // namespace tarvo::ingest
