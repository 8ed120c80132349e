// Credit risk: one Parquet extract per period, "kurumsal_risk_<period>.parquet", in the
// directory of the key `kredi_db`.
//
// `_ingest_kredi_risk` (declared in sources.hpp) loads every such file, in path order: the period
// is the file name without its extension, with every "kurumsal_risk_" removed; `muta` is the
// normal form of "MUTA"; `kredi_risk` is "Risk_Bky_Tl" rounded to a whole number (halves to
// the even neighbour), null where it is not a number. One insert per file into
// brz_kredi_risk (muta, donem, kredi_risk), then "  brz_kredi_risk: <total> rows".
// A file without "MUTA" or "Risk_Bky_Tl" ends the run (KeyError).
#pragma once

#include "tarvo/pipeline/ingest/sources.hpp"
