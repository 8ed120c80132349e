// Target and coverage lists of the eus model: comma-separated UTF-8 files whose first column
// holds customer numbers, one file per period. The two sources differ only in the data of a
// MutaListSource.
//
// For each file matching `file_pattern`, in path order: the period is the four digits right
// before ".csv" at the end of the name (no such digits: the file is passed over); every column
// is read as text; a file without rows is passed over; `muta` is the normal form of the first
// column, whatever its header; a file left without rows is passed over, any other gives one
// insert of (muta, donem). Duplicates stay. Then "  <table>: <total> rows".
#pragma once

#include <string_view>

#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::ingest {

struct MutaListSource {
    std::string_view dir_key;       // directory key, named by the skip line
    std::string_view file_pattern;  // glob of the list files
    std::string_view table;         // brz_ table, named by the count line
    std::string_view insert_sql;    // "INSERT INTO <table> SELECT * FROM out"
};

inline constexpr MutaListSource EUS_HEDEF_LISTS{"eus_hedef_muta", "eus_hedef_MUTA_*.csv", "brz_eus_hedef",
                                                "INSERT INTO brz_eus_hedef SELECT * FROM out"};
inline constexpr MutaListSource EUS_KAPSAM_LISTS{"eus_sql_kapsam_muta", "eus_kapsam_MUTA_*.csv", "brz_eus_kapsam",
                                                 "INSERT INTO brz_eus_kapsam SELECT * FROM out"};

// Loads the list files of `dir` as `source` describes.
void ingest_muta_lists(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter,
                       const MutaListSource& source);

}  // namespace tarvo::ingest
