// The branch reference export and the period stripping of a finished scoreboard.
#pragma once

#include <filesystem>
#include <string>

#include "tarvo/core/document.hpp"

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::marts {

// Writes `output_dir`/sube_bolge_ref<file_suffix>.csv from ref_sube_bolge ordered by bolge_kodu,
// sube_kodu: UTF-8 without BOM, comma-separated, fields quoted only when they hold a comma, a
// double quote or a line break, CRLF after every record, header
// sube_kodu,sube_adi,bolge_kodu,bolge_adi, nulls as empty fields. Prints
// "    sube_bolge_ref.csv: N rows -> <path>". The directory must exist; errors propagate.
void _export_sube_bolge_ref(vandel::Vandel& con, const std::filesystem::path& output_dir,
                           const std::string& file_suffix = "");

// Cuts the scoreboard down to the periods whose text equals the text form of a reference value:
// removes ovik/r/rd/df<d> of every other period from every row, keeps "donemler" and
// "risk_donemler" to the reference periods and moves "son_donem" to the last kept one (left
// unchanged when none is kept). Prints "    dönem filtresi: A -> B dönem" unless nothing is
// removed. TypeError unless `scoreboard` is a mapping and `referans_tarih_list` a list.
void _strip_periods(core::Document& scoreboard, const core::Document& referans_tarih_list);

}  // namespace tarvo::marts
