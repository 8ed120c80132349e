// Static firm data: a semicolon-separated Windows-1254 text file "statik_bilgiler_*.txt" in the
// directory of the key `statik_db`.
//
// `_ingest_statik` (declared in sources.hpp) loads only the first such file in path order
// (none: nothing is printed). Columns are taken by position: the first eleven receive the
// names of STATIK_COLUMNS whatever their headers say. After the muta preparation only the first
// row of each muta is kept. `bolge_kodu` is the part of the field before its first ","
// converted to a whole number; `sube_kodu` the field converted to a whole number (so "1234,0"
// is null); a code with a fraction (12.5) is null. The other columns are stored as read. One
// insert into brz_statik, then "  brz_statik: <rows> rows". A file with fewer than eleven
// columns ends the run (KeyError).
#pragma once

#include <array>
#include <string_view>

#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::ingest {

inline constexpr std::array<std::string_view, 11> STATIK_COLUMNS = {
    "muta",      "bolge_kodu", "bolge_adi",  "sube_kodu",          "sube_adi",       "must_tip_kodu",
    "grup_kodu", "grup_tanimi", "firma_otorize_kodu", "aksiyon_sahibi", "kri_bolum"};

}  // namespace tarvo::ingest
