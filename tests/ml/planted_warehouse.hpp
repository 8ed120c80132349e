// A warehouse with a planted signal, for tests of the predictor and the back-test: firms with
// overdue days on the monitoring list enter YI (legal follow-up) far more often in the next
// periods. With `shuffled` the entries are drawn from an independent copy of the overdue
// process, so the data carries no signal at all.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "support/silver_warehouse.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::fixtures {

struct PlantedOptions {
    int firms = 3000;
    int periods = 10;  // 2401, 2402, ...
    bool shuffled = false;
};

inline uint64_t planted_bits(uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

inline double planted_unit(int firm, int t, int channel) {
    const uint64_t key = (static_cast<uint64_t>(firm) << 24) ^ (static_cast<uint64_t>(t) << 8) ^
                         static_cast<uint64_t>(channel);
    return static_cast<double>(planted_bits(key) >> 11) * 0x1.0p-53;
}

// Overdue days of a firm in a period: a fifth of the firms are troubled and often overdue.
inline int64_t planted_overdue(int firm, int t, int channel) {
    const bool troubled = planted_unit(firm, 0, channel) < 0.2;
    const double u = planted_unit(firm, t, channel + 1);
    if (troubled) return u < 0.9 ? 30 + static_cast<int64_t>(u * 100) : 0;
    return u < 0.05 ? 1 + static_cast<int64_t>(u * 500) : 0;
}

inline std::string planted_period(int t) {
    char buf[16];  // room for any int, though periods stay two-digit
    std::snprintf(buf, sizeof buf, "24%02d", t + 1);
    return buf;
}

inline void build_planted_warehouse(vandel::Vandel& con, const PlantedOptions& o = {}) {
    create_silver_tables(con);
    con.execute("CREATE TABLE brz_kik_izleme(muta VARCHAR, donem VARCHAR, gckm_gun_say BIGINT, ciss_flag INTEGER)");
    std::vector<std::optional<std::string>> id, donem, kik_id, kik_donem;
    std::vector<std::optional<double>> skor, risk;
    std::vector<std::optional<int64_t>> overdue, ciss;
    for (int f = 0; f < o.firms; ++f) {
        bool yi = false;
        for (int t = 0; t < o.periods; ++t) {
            if (!yi && t > 0) {
                // The hazard reads the previous period's overdue days (or, shuffled, another
                // firm's unrelated ones).
                const int64_t sign = planted_overdue(f, t - 1, o.shuffled ? 50 : 10);
                const double hazard = 1 / (1 + std::exp(6.0 - 0.05 * static_cast<double>(sign)));
                yi = planted_unit(f, t, 30) < hazard;
            }
            id.emplace_back(std::to_string(1000 + f));
            donem.emplace_back(planted_period(t));
            skor.emplace_back(yi ? -1.0 : std::floor(planted_unit(f, t, 40) * 1000));
            risk.emplace_back(1e6 * (1 + f % 17));
            if (!yi) {
                kik_id.emplace_back(std::to_string(1000 + f));
                kik_donem.emplace_back(planted_period(t));
                overdue.emplace_back(planted_overdue(f, t, 10));
                ciss.emplace_back(int64_t{0});
            }
        }
    }
    core::Table fact;
    fact.set("entity_id", core::Column::of_str(std::move(id)));
    fact.set("donem", core::Column::of_str(std::move(donem)));
    fact.set("ovik_skor", core::Column::of_f64(std::move(skor)));
    fact.set("kombine_risk", core::Column::of_f64(std::move(risk)));
    con.run_with_out(fact, "INSERT INTO fact_periodic SELECT entity_id, donem, ovik_skor, kombine_risk, NULL FROM out");
    core::Table kik;
    kik.set("muta", core::Column::of_str(std::move(kik_id)));
    kik.set("donem", core::Column::of_str(std::move(kik_donem)));
    kik.set("gckm_gun_say", core::Column::of_i64(std::move(overdue)));
    kik.set("ciss_flag", core::Column::of_i64(std::move(ciss)));
    con.run_with_out(kik, "INSERT INTO brz_kik_izleme SELECT * FROM out");
    con.execute("INSERT INTO dim_entity SELECT DISTINCT entity_id, 'KOBI', 1, 1 FROM fact_periodic;"
                "INSERT INTO map_identity SELECT DISTINCT entity_id, 'Firma ' || entity_id FROM fact_periodic;"
                "INSERT INTO ref_sube_bolge VALUES (1, 'Merkez', 1, 'Marmara')");
}

}  // namespace tarvo::fixtures
