// Rating criteria and bureau data: Parquet extracts, one per period, reduced to a few figures
// per customer. The two sources (declared in sources.hpp) share their steps:
//   _ingest_rkd_kriter  "rkd_data_<period>.parquet" of rkd_donem_data  -> brz_rkd_kriter
//   _ingest_memzuc      "memzuc_<period>.parquet" of memzuc_data_donem -> brz_memzuc
//
// For each such file, in path order: the period is the four digits at the end of the name (no
// match, for example a six-digit period: the file is passed over); the customer number column
// is "MUTA" when the file has one, else `muta` (neither: KeyError, which ends the run); after the muta preparation a file without rows is passed over; otherwise the
// figures are derived and one insert of (muta, donem, figures...) follows. Then
// "  <table>: <total> rows".
//
// Rating figures. The criterion columns are all columns but the customer number column and
// `muta`. Day criteria end with "_PIGD" or "_PSCD", zero-check criteria with "_A", "_ASGD" or
// "_AIGD" (case-sensitive). `min_uzak_gun` is the smallest number among the row's day
// criteria, truncated toward zero to a whole number (12.5 gives 12), null when none holds a
// number; `sifir_flag` is 1 when a zero-check criterion holds a number other than 0.
//
// Bureau figures. `idari_kanuni_takip` is the first column whose lower-cased name contains
// "idari" and "takip", `ikt_6ay_ort` the first containing "6ay" and "ort", both as numbers
// with null as 0; 0 on every row when the file has no such column.
#pragma once

#include "tarvo/pipeline/ingest/sources.hpp"
