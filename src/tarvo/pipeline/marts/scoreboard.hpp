// The scoreboard mart: one row per monitored firm, sorted by its latest combined risk.
//
// Reads fact_periodic, dim_entity, map_identity and ref_sube_bolge over `con` and returns
//   {"meta": {...}, "rows": <row table>, "diag_index": <slim diagnostic index>}
// Row keys, in order: muta, unvan, segment, sube_kodu, sube_adi, bolge_kodu, bolge_adi,
// [son_izleme_kodu, risk_grup_kodu, pgy, finansman_konu, tahsis_onay_birimi when dim_entity has
// them], ovik<d>..., r<d>..., rd<d>..., son_risk, [depo_risk, nakit_risk, gnakit_risk when
// fact_periodic has them], df<d>... . Prints only "    [WARN] No periods in fact_periodic"
// when fact_periodic is empty. Warehouse errors propagate.
#pragma once

#include "tarvo/core/document.hpp"

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::marts {

core::Document _build_scoreboard(vandel::Vandel& con);

}  // namespace tarvo::marts
