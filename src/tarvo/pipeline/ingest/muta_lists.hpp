// Target and coverage lists of the eus model: comma-separated UTF-8 files whose first column
// holds customer numbers, one file per period. The two sources (declared in sources.hpp)
// differ only in where they read and write:
//   _ingest_eus_hedef   "eus_hedef_MUTA_*.csv" of eus_hedef_muta        -> brz_eus_hedef
//   _ingest_eus_kapsam  "eus_kapsam_MUTA_*.csv" of eus_sql_kapsam_muta  -> brz_eus_kapsam
//
// For each list file, in path order: the period is the four digits right before ".csv" at the
// end of the name (no such digits: the file is passed over); every column is read as text;
// `muta` is the normal form of the first column, whatever its header; a file left without rows
// is passed over, any other gives one insert of (muta, donem). Duplicates stay. Then
// "  <table>: <total> rows".
#pragma once

#include "tarvo/pipeline/ingest/sources.hpp"
