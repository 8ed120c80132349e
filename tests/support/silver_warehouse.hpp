// Builds small warehouses holding the silver tables, for tests of the marts.
#pragma once

#include <filesystem>
#include <string>

#include "tarvo/core/files.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::fixtures {

// A fresh, empty directory under the system temp directory, removed on destruction.
using TempDir = core::TempDir;

// The four silver tables the scoreboard reads, empty; `with_optional` adds the optional
// dim_entity and fact_periodic columns.
inline void create_silver_tables(vandel::Vandel& con, bool with_optional = false) {
    con.execute(std::string("CREATE TABLE fact_periodic(entity_id VARCHAR, donem VARCHAR, ovik_skor DOUBLE, "
                            "kombine_risk DOUBLE, risk_degisim DOUBLE") +
                (with_optional ? ", depo_risk DOUBLE, nakit_risk DOUBLE, gnakit_risk DOUBLE" : "") + ")");
    con.execute(std::string("CREATE TABLE dim_entity(entity_id VARCHAR, segment VARCHAR, sube_kodu BIGINT, "
                            "bolge_kodu BIGINT") +
                (with_optional ? ", son_izleme_kodu VARCHAR, risk_grup_kodu VARCHAR, pgy VARCHAR, "
                                 "finansman_konu VARCHAR, tahsis_onay_birimi VARCHAR"
                               : "") +
                ")");
    con.execute("CREATE TABLE map_identity(entity_id VARCHAR, unvan VARCHAR)");
    con.execute("CREATE TABLE ref_sube_bolge(sube_kodu BIGINT, sube_adi VARCHAR, bolge_kodu BIGINT, bolge_adi VARCHAR)");
}

}  // namespace tarvo::fixtures
