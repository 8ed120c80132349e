#include "tarvo/ml/zavor/features.hpp"

#include <algorithm>
#include <limits>
#include <string_view>

#include "tarvo/core/errors.hpp"
#include "tarvo/quisar/fi.hpp"

namespace tarvo::zavor {

namespace {

// Per firm and period: the YI state, the score outside it, the risks; then the score one and
// three periods back and whether the firm is in YI within the horizon. Period numbers make
// "t-1" mean the previous period of the window even when the firm has no row there.
// The bronze sources enter already reduced to one row per firm and period.
constexpr std::string_view kFeatureSql = R"sql(
WITH donemler AS (
    SELECT donem, CAST(ROW_NUMBER() OVER (ORDER BY donem) - 1 AS INTEGER) AS t
    FROM (SELECT DISTINCT CAST(donem AS VARCHAR) AS donem FROM fact_periodic WHERE donem IS NOT NULL)
), durum AS (
    SELECT CAST(f.entity_id AS VARCHAR) AS entity_id, d.t, d.donem,
           bool_or(TRY_CAST(f.ovik_skor AS DOUBLE) = -1 OR CAST(f.ovik_skor AS VARCHAR) = 'YI') AS yi,
           MAX(TRY_CAST(f.ovik_skor AS DOUBLE)) FILTER (WHERE TRY_CAST(f.ovik_skor AS DOUBLE) >= 0) AS skor,
           MAX(TRY_CAST(f.kombine_risk AS DOUBLE)) AS risk,
           MAX(TRY_CAST(f.risk_degisim AS DOUBLE)) AS risk_degisim
    FROM fact_periodic f JOIN donemler d ON d.donem = CAST(f.donem AS VARCHAR)
    WHERE f.entity_id IS NOT NULL
    GROUP BY CAST(f.entity_id AS VARCHAR), d.t, d.donem
), gecmis AS (
    SELECT *,
           max(skor) OVER (PARTITION BY entity_id ORDER BY t RANGE BETWEEN 1 PRECEDING AND 1 PRECEDING) AS skor_1,
           max(skor) OVER (PARTITION BY entity_id ORDER BY t RANGE BETWEEN 3 PRECEDING AND 3 PRECEDING) AS skor_3,
           bool_or(yi) OVER (PARTITION BY entity_id ORDER BY t
                             RANGE BETWEEN 1 FOLLOWING AND {horizon} FOLLOWING) AS yi_ufukta
    FROM durum
), yis AS (
    SELECT muta, donem, MAX(yis_skor) AS yis_skor FROM {brz_yis_tahmin} GROUP BY muta, donem
), hedef AS (
    SELECT DISTINCT muta, donem FROM {brz_eus_hedef}
), kapsam AS (
    SELECT DISTINCT muta, donem FROM {brz_eus_kapsam}
), rkd AS (
    SELECT muta, donem, MIN(min_uzak_gun) AS min_uzak_gun, MAX(sifir_flag) AS sifir_flag
    FROM {brz_rkd_kriter} GROUP BY muta, donem
), memzuc AS (
    SELECT muta, donem, MAX(ikt_6ay_ort) AS ikt_6ay_ort FROM {brz_memzuc} GROUP BY muta, donem
), kik AS (
    SELECT muta, donem, MAX(gckm_gun_say) AS gckm_gun_say, MAX({ciss}) AS ciss
    FROM {brz_kik_izleme} GROUP BY muta, donem
), segment AS (
    SELECT CAST(entity_id AS VARCHAR) AS entity_id, MAX(segment) AS segment FROM dim_entity GROUP BY 1
), ozellik AS (
SELECT g.entity_id, g.t,
       CASE WHEN g.t + {horizon} > (SELECT MAX(t) FROM donemler) THEN -1
            WHEN g.yi_ufukta THEN 1 ELSE 0 END AS etiket,
       g.skor,
       g.skor - g.skor_1 AS skor_d1,
       g.skor - g.skor_3 AS skor_d3,
       CASE WHEN g.skor < 325 THEN 0 WHEN g.skor < 500 THEN 1 WHEN g.skor < 825 THEN 2
            WHEN g.skor >= 825 THEN 3 END AS bant,
       CASE WHEN g.skor IS NULL THEN 1 ELSE 0 END AS skor_yok,
       ln(1 + greatest(g.risk, 0)) AS risk_log,
       CASE WHEN g.risk - g.risk_degisim > 0
            THEN least(greatest(g.risk_degisim / (g.risk - g.risk_degisim), -1), 5) END AS risk_oran,
       y.yis_skor,
       CASE WHEN h.muta IS NULL THEN 0 ELSE 1 END AS eus_hedef,
       CASE WHEN k.muta IS NULL THEN 0 ELSE 1 END AS eus_kapsam,
       CASE WHEN r.min_uzak_gun <= 30 THEN 1 ELSE 0 END AS rating_yakin_vade,
       CASE WHEN r.sifir_flag > 0 THEN 1 ELSE 0 END AS rating_sifir,
       CASE WHEN i.ciss > 0 THEN 1 ELSE 0 END AS ciss,
       greatest(COALESCE(i.gckm_gun_say, 0), 0) AS gecikme_gun,
       CASE WHEN m.ikt_6ay_ort > 0 THEN 1 ELSE 0 END AS memzuc_takip_6ay,
       CASE WHEN s.segment = 'KUR-TIC' THEN 1 ELSE 0 END AS seg_kur_tic,
       CASE WHEN s.segment = 'KOBI' THEN 1 ELSE 0 END AS seg_kobi,
       CASE WHEN s.segment = 'MIKRO' THEN 1 ELSE 0 END AS seg_mikro,
       CASE WHEN s.segment = 'ESKK' THEN 1 ELSE 0 END AS seg_eskk
FROM gecmis g
LEFT JOIN yis y ON y.muta = g.entity_id AND y.donem = g.donem
LEFT JOIN hedef h ON h.muta = g.entity_id AND h.donem = g.donem
LEFT JOIN kapsam k ON k.muta = g.entity_id AND k.donem = g.donem
LEFT JOIN rkd r ON r.muta = g.entity_id AND r.donem = g.donem
LEFT JOIN memzuc m ON m.muta = g.entity_id AND m.donem = g.donem
LEFT JOIN kik i ON i.muta = g.entity_id AND i.donem = g.donem
LEFT JOIN segment s ON s.entity_id = g.entity_id
WHERE NOT g.yi
)
-- Features as 4-byte floats: the sort before fetching holds half as much.
SELECT entity_id, t, etiket, COLUMNS(* EXCLUDE (entity_id, t, etiket))::FLOAT
FROM ozellik
ORDER BY t, entity_id
)sql";

// The bronze columns the features read, for standing in an empty table where one is missing.
struct BronzeSource {
    std::string_view table;
    std::string_view columns;
};

constexpr BronzeSource kBronzeSources[] = {
    {"brz_yis_tahmin", "muta VARCHAR, donem VARCHAR, yis_skor DOUBLE"},
    {"brz_eus_hedef", "muta VARCHAR, donem VARCHAR"},
    {"brz_eus_kapsam", "muta VARCHAR, donem VARCHAR"},
    {"brz_rkd_kriter", "muta VARCHAR, donem VARCHAR, min_uzak_gun BIGINT, sifir_flag INTEGER"},
    {"brz_memzuc", "muta VARCHAR, donem VARCHAR, ikt_6ay_ort DOUBLE"},
    {"brz_kik_izleme", "muta VARCHAR, donem VARCHAR, gckm_gun_say BIGINT"},
};

// "(SELECT CAST(NULL AS VARCHAR) AS muta, ... WHERE false)" for "muta VARCHAR, ...".
std::string empty_relation(std::string_view columns) {
    std::string select;
    size_t start = 0;
    while (start < columns.size()) {
        size_t end = columns.find(',', start);
        if (end == std::string_view::npos) end = columns.size();
        std::string_view item = columns.substr(start, end - start);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        const size_t space = item.find(' ');
        if (!select.empty()) select += ", ";
        select += "CAST(NULL AS " + std::string(item.substr(space + 1)) + ") AS " + std::string(item.substr(0, space));
        start = end + 1;
    }
    return "(SELECT " + select + " WHERE false)";
}

void replace_all(std::string& s, std::string_view from, std::string_view to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

// The CISS flag of a monitoring-list row: the highest of FI's CISS columns the table has.
std::string ciss_expression(vandel::Vandel& con, bool has_table) {
    std::vector<std::string> present;
    if (has_table) {
        const std::vector<std::string> columns = con.column_names("brz_kik_izleme");
        for (const std::string& c : quisar::feature_information().kik_ciss_cols)
            if (std::find(columns.begin(), columns.end(), c) != columns.end()) present.push_back(c);
    }
    if (present.empty()) return "0";
    if (present.size() == 1) return present.front();
    std::string e = "greatest(";
    for (size_t i = 0; i < present.size(); ++i) e += (i ? ", " : "") + present[i];
    return e + ")";
}

float cell_value(const core::Column& c, size_t i) {
    const std::optional<double> v = c.is_null(i) ? std::nullopt : c.number_at(i);
    return v ? static_cast<float>(*v) : std::numeric_limits<float>::quiet_NaN();
}

}  // namespace

size_t FeatureMatrix::first_row_of(int32_t t) const {
    return static_cast<size_t>(std::lower_bound(period.begin(), period.end(), t) - period.begin());
}

std::string feature_sql(vandel::Vandel& con, int horizon) {
    std::string sql(kFeatureSql);
    bool has_kik = false;
    for (const BronzeSource& source : kBronzeSources) {
        const bool exists = con.table_exists(source.table);
        if (source.table == "brz_kik_izleme") has_kik = exists;
        replace_all(sql, "{" + std::string(source.table) + "}",
                    exists ? std::string(source.table) : empty_relation(source.columns));
    }
    replace_all(sql, "{ciss}", ciss_expression(con, has_kik));
    replace_all(sql, "{horizon}", std::to_string(horizon));
    return sql;
}

FeatureMatrix load_features(vandel::Vandel& con, int horizon) {
    if (horizon < 1) throw core::ValueError("horizon must be at least 1, not " + std::to_string(horizon));
    FeatureMatrix m;
    const core::Table periods = con.query(
        "SELECT DISTINCT CAST(donem AS VARCHAR) AS donem FROM fact_periodic WHERE donem IS NOT NULL ORDER BY 1");
    for (size_t i = 0; i < periods.nrows(); ++i) m.periods.push_back(periods.column(0).text_form(i));

    con.for_each_chunk(feature_sql(con, horizon), [&](const core::Table& chunk) {
        const core::Column& entity = chunk.column(0);
        const core::Column& t = chunk.column(1);
        const core::Column& label = chunk.column(2);
        const size_t n = chunk.nrows();
        for (size_t i = 0; i < n; ++i) {
            m.entity.push_back(entity.text_form(i));
            m.period.push_back(static_cast<int32_t>(t.int_at(i)));
            m.label.push_back(static_cast<int8_t>(label.int_at(i)));
        }
        const size_t base = m.values.size();
        m.values.resize(base + n * kFeatureCount);
        for (size_t f = 0; f < kFeatureCount; ++f) {
            const core::Column& c = chunk.column(3 + f);
            for (size_t i = 0; i < n; ++i) m.values[base + i * kFeatureCount + f] = cell_value(c, i);
        }
    });
    return m;
}

}  // namespace tarvo::zavor
