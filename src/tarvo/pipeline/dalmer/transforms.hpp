// The silver step: turns the brz_ tables of a warehouse into the tables the marts and the
// verifier read (fact_periodic, dim_entity, map_identity, ref_sube_bolge,
// diag_eus_kapsam_diskalma). docs/silver.md describes every rule.
#pragma once

#include <string>

namespace tarvo::dalmer {

// Opens the warehouse at `db_path`, (re)builds the silver tables on the twelve most recent
// periods of the bronze data and closes it. A brz_ table that does not exist is read as empty,
// with the columns the bronze definition files give it (and a warning line). Prints, in order:
//   "  Building son_12 window..."             "    son_12: <n> periods (<first>-<last>)"
//                                              or "    son_12: 0 periods"
//   "  Parsing early-monitoring codes..."      "    erkn_izlm_kod: <n> texts, <c> codes, <m> kept whole"
//   "  Building fact_periodic..."              "    fact_periodic: <rows> rows, <firms> entities"
//   "  Building dim_entity..."                 "    dim_entity: <n> entities"
//   "  Building map_identity..."               "    map_identity: <n> entities"
//   "  Building ref_sube_bolge..."             "    ref_sube_bolge: <n> branches, <r> regions"
//   "  Building diag_eus_kapsam_diskalma..."   "    diag_eus_kapsam_diskalma: <n> findings, <k> new"
// Counts are grouped by thousands ("1,200,000"). Warehouse errors propagate.
void run_transforms(const std::string& db_path);

}  // namespace tarvo::dalmer
