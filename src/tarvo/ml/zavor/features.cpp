#include "tarvo/ml/zavor/features.hpp"

#include <algorithm>
#include <limits>
#include <numeric>
#include <string_view>

#include "tarvo/core/errors.hpp"
#include "tarvo/quisar/fi.hpp"

namespace tarvo::zavor {

namespace {

// Firms and periods get small whole numbers first (n in the order of the firm keys, t in period
// order), so the statements below join, group and return integers, and the reader places each
// value by (n, t) without a text key per row.
constexpr std::string_view kKeysSql = R"sql(
WITH donemler AS (
    SELECT donem, CAST(ROW_NUMBER() OVER (ORDER BY donem) - 1 AS INTEGER) AS t
    FROM (SELECT DISTINCT CAST(donem AS VARCHAR) AS donem FROM fact_periodic WHERE donem IS NOT NULL)
), firmalar AS (
    SELECT entity_id, CAST(ROW_NUMBER() OVER (ORDER BY entity_id) AS INTEGER) AS n
    FROM (SELECT DISTINCT CAST(entity_id AS VARCHAR) AS entity_id FROM fact_periodic WHERE entity_id IS NOT NULL)
)
)sql";

// One row per firm and period outside YI, with the label and the features of fact_periodic and
// dim_entity: the YI state, the score outside it, the risks; the score one and three periods
// back and whether the firm is in YI within the horizon. One window over each firm's rows in
// period order; a neighbouring row counts only when its period number is the one wanted, so
// "t-1" is the previous period of the window even when the firm has no row there.
// {in_horizon} is "LEAD(yi, k) OVER w AND LEAD(t, k) OVER w <= t + horizon" for k = 1..horizon,
// joined with OR.
constexpr std::string_view kFirmPeriodSql = R"sql(
, durum AS (
    SELECT fi.n, d.t,
           bool_or(TRY_CAST(f.ovik_skor AS DOUBLE) = -1 OR CAST(f.ovik_skor AS VARCHAR) = 'YI') AS yi,
           MAX(TRY_CAST(f.ovik_skor AS DOUBLE)) FILTER (WHERE TRY_CAST(f.ovik_skor AS DOUBLE) >= 0) AS skor,
           MAX(TRY_CAST(f.kombine_risk AS DOUBLE)) AS risk,
           MAX(TRY_CAST(f.risk_degisim AS DOUBLE)) AS risk_degisim
    FROM fact_periodic f
    JOIN donemler d ON d.donem = CAST(f.donem AS VARCHAR)
    JOIN firmalar fi ON fi.entity_id = CAST(f.entity_id AS VARCHAR)
    GROUP BY fi.n, d.t
), gecmis AS (
    SELECT n, t, yi, skor, risk, risk_degisim,
           CASE WHEN LAG(t, 1) OVER w = t - 1 THEN LAG(skor, 1) OVER w END AS skor_1,
           CASE WHEN LAG(t, 1) OVER w = t - 3 THEN LAG(skor, 1) OVER w
                WHEN LAG(t, 2) OVER w = t - 3 THEN LAG(skor, 2) OVER w
                WHEN LAG(t, 3) OVER w = t - 3 THEN LAG(skor, 3) OVER w END AS skor_3,
           COALESCE({in_horizon}, false) AS yi_ufukta
    FROM durum
    WINDOW w AS (PARTITION BY n ORDER BY t)
), segment AS (
    SELECT fi.n, MAX(e.segment) AS segment
    FROM dim_entity e JOIN firmalar fi ON fi.entity_id = CAST(e.entity_id AS VARCHAR)
    GROUP BY fi.n
)
SELECT g.n, g.t,
       CASE WHEN g.t + {horizon} > (SELECT MAX(t) FROM donemler) THEN -1
            WHEN g.yi_ufukta THEN 1 ELSE 0 END AS etiket,
       CAST(g.skor AS FLOAT) AS skor,
       CAST(g.skor - g.skor_1 AS FLOAT) AS skor_d1,
       CAST(g.skor - g.skor_3 AS FLOAT) AS skor_d3,
       CAST(CASE WHEN g.skor < 325 THEN 0 WHEN g.skor < 500 THEN 1 WHEN g.skor < 825 THEN 2
                 WHEN g.skor >= 825 THEN 3 END AS FLOAT) AS bant,
       CAST(g.skor IS NULL AS FLOAT) AS skor_yok,
       CAST(ln(1 + greatest(g.risk, 0)) AS FLOAT) AS risk_log,
       CAST(CASE WHEN g.risk - g.risk_degisim > 0
                 THEN least(greatest(g.risk_degisim / (g.risk - g.risk_degisim), -1), 5) END AS FLOAT) AS risk_oran,
       CAST((s.segment = 'KUR-TIC') IS TRUE AS FLOAT) AS seg_kur_tic,
       CAST((s.segment = 'KOBI') IS TRUE AS FLOAT) AS seg_kobi,
       CAST((s.segment = 'MIKRO') IS TRUE AS FLOAT) AS seg_mikro,
       CAST((s.segment = 'ESKK') IS TRUE AS FLOAT) AS seg_eskk
FROM gecmis g
LEFT JOIN segment s ON s.n = g.n
WHERE NOT g.yi
)sql";

constexpr Feature kFirmPeriodFeatures[] = {kSkor, kSkorD1, kSkorD3, kBant, kSkorYok,
                                           kRiskLog, kRiskOran, kSegKurTic, kSegKobi, kSegMikro, kSegEskk};

// A bronze source's features per firm and period, one statement each (so the warehouse never
// holds more than one source's grouping at a time). `{src}` is the table or its empty stand-in.
struct BronzeFeatures {
    std::string_view table;
    std::string_view columns;  // the columns read, for the stand-in of a missing table
    std::string_view select;  // grouped by firm and period unless it selects DISTINCT rows
    std::vector<Feature> features;
    float missing;  // the features' value where the source has no row
};

const std::vector<BronzeFeatures>& bronze_features() {
    static const std::vector<BronzeFeatures> sources = {
        {"brz_yis_tahmin", "muta VARCHAR, donem VARCHAR, yis_skor DOUBLE",
         "SELECT fi.n, d.t, CAST(MAX(b.yis_skor) AS FLOAT)", {kYisSkor},
         std::numeric_limits<float>::quiet_NaN()},
        {"brz_eus_hedef", "muta VARCHAR, donem VARCHAR", "SELECT DISTINCT fi.n, d.t, CAST(1 AS FLOAT)", {kEusHedef}, 0},
        {"brz_eus_kapsam", "muta VARCHAR, donem VARCHAR", "SELECT DISTINCT fi.n, d.t, CAST(1 AS FLOAT)", {kEusKapsam}, 0},
        {"brz_rkd_kriter", "muta VARCHAR, donem VARCHAR, min_uzak_gun BIGINT, sifir_flag INTEGER",
         "SELECT fi.n, d.t, CAST((MIN(b.min_uzak_gun) <= 30) IS TRUE AS FLOAT), CAST((MAX(b.sifir_flag) > 0) IS TRUE AS FLOAT)",
         {kRatingYakinVade, kRatingSifir}, 0},
        {"brz_memzuc", "muta VARCHAR, donem VARCHAR, ikt_6ay_ort DOUBLE",
         "SELECT fi.n, d.t, CAST((MAX(b.ikt_6ay_ort) > 0) IS TRUE AS FLOAT)", {kMemzucTakip}, 0},
        {"brz_kik_izleme", "muta VARCHAR, donem VARCHAR, gckm_gun_say BIGINT",
         "SELECT fi.n, d.t, CAST(greatest(COALESCE(MAX(b.gckm_gun_say), 0), 0) AS FLOAT), "
         "CAST((MAX({ciss}) > 0) IS TRUE AS FLOAT)",
         {kGecikmeGun, kCiss}, 0},
    };
    return sources;
}

constexpr std::string_view kBronzeFromSql = R"sql(
FROM {src} b JOIN donemler d ON d.donem = b.donem JOIN firmalar fi ON fi.entity_id = b.muta
)sql";

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
    std::string e = "greatest(";
    for (size_t i = 0; i < present.size(); ++i) e += (i ? ", b." : "b.") + present[i];
    return e + ")";
}

float cell_value(const core::Column& c, size_t i) {
    const std::optional<double> v = c.is_null(i) ? std::nullopt : c.number_at(i);
    return v ? static_cast<float>(*v) : std::numeric_limits<float>::quiet_NaN();
}

// The statement for one bronze source on this warehouse.
std::string bronze_sql(vandel::Vandel& con, const BronzeFeatures& source) {
    const bool exists = con.table_exists(source.table);
    std::string sql = std::string(kKeysSql) + std::string(source.select) + std::string(kBronzeFromSql);
    if (source.select.find("DISTINCT") == std::string_view::npos) sql += "GROUP BY fi.n, d.t";
    replace_all(sql, "{src}", exists ? std::string(source.table) : empty_relation(source.columns));
    if (sql.find("{ciss}") != std::string::npos) replace_all(sql, "{ciss}", ciss_expression(con, exists));
    return sql;
}

}  // namespace

size_t FeatureMatrix::first_row_of(int32_t t) const {
    return static_cast<size_t>(std::lower_bound(period.begin(), period.end(), t) - period.begin());
}

FeatureMatrix load_features(vandel::Vandel& con, int horizon) {
    if (horizon < 1) throw core::ValueError("horizon must be at least 1, not " + std::to_string(horizon));
    FeatureMatrix m;
    const core::Table periods = con.query(
        "SELECT DISTINCT CAST(donem AS VARCHAR) AS donem FROM fact_periodic WHERE donem IS NOT NULL ORDER BY 1");
    for (size_t i = 0; i < periods.nrows(); ++i) m.periods.push_back(periods.column(0).text_form(i));
    con.for_each_chunk(std::string(kKeysSql) + "SELECT entity_id FROM firmalar ORDER BY n",
                       [&](const core::Table& chunk) {
                           for (size_t i = 0; i < chunk.nrows(); ++i) m.firms.push_back(chunk.column(0).text_at(i));
                       });

    // The firm-period rows arrive in the warehouse's order and are put in (period, firm) order.
    std::vector<int32_t> firm, period;
    std::vector<int8_t> label;
    std::vector<float> values;
    std::string sql = std::string(kKeysSql) + std::string(kFirmPeriodSql);
    std::string in_horizon;
    for (int k = 1; k <= horizon; ++k)
        in_horizon += (k > 1 ? " OR " : "") + std::string("(LEAD(yi, ") + std::to_string(k) + ") OVER w AND LEAD(t, " +
                      std::to_string(k) + ") OVER w <= t + " + std::to_string(horizon) + ")";
    replace_all(sql, "{in_horizon}", in_horizon);
    replace_all(sql, "{horizon}", std::to_string(horizon));
    con.for_each_chunk(sql, [&](const core::Table& chunk) {
        const size_t n = chunk.nrows();
        for (size_t i = 0; i < n; ++i) {
            firm.push_back(static_cast<int32_t>(chunk.column(0).int_at(i) - 1));
            period.push_back(static_cast<int32_t>(chunk.column(1).int_at(i)));
            label.push_back(static_cast<int8_t>(chunk.column(2).int_at(i)));
        }
        const size_t base = values.size();
        values.resize(base + n * kFeatureCount);
        for (size_t k = 0; k < std::size(kFirmPeriodFeatures); ++k) {
            const core::Column& c = chunk.column(3 + k);
            for (size_t i = 0; i < n; ++i) values[base + i * kFeatureCount + kFirmPeriodFeatures[k]] = cell_value(c, i);
        }
    });
    std::vector<uint32_t> order(firm.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return period[a] != period[b] ? period[a] < period[b] : firm[a] < firm[b];
    });
    m.firm.reserve(order.size());
    m.period.reserve(order.size());
    m.label.reserve(order.size());
    for (uint32_t r : order) {
        m.firm.push_back(firm[r]);
        m.period.push_back(period[r]);
        m.label.push_back(label[r]);
    }
    std::vector<int32_t>().swap(firm);
    std::vector<int32_t>().swap(period);
    std::vector<int8_t>().swap(label);
    m.values.resize(values.size());
    for (size_t i = 0; i < order.size(); ++i)
        std::copy_n(values.begin() + static_cast<long>(order[i]) * kFeatureCount, kFeatureCount,
                    m.values.begin() + static_cast<long>(i * kFeatureCount));
    std::vector<float>().swap(values);

    // Each bronze source's values go to the row of their firm and period, found by number.
    const size_t n_periods = m.periods.size();
    std::vector<int32_t> row_of(m.firms.size() * n_periods, -1);
    for (size_t r = 0; r < m.rows(); ++r)
        row_of[static_cast<size_t>(m.firm[r]) * n_periods + static_cast<size_t>(m.period[r])] = static_cast<int32_t>(r);
    for (const BronzeFeatures& source : bronze_features()) {
        for (size_t r = 0; r < m.rows(); ++r)
            for (Feature f : source.features) m.values[r * kFeatureCount + f] = source.missing;
        con.for_each_chunk(bronze_sql(con, source), [&](const core::Table& chunk) {
            for (size_t i = 0; i < chunk.nrows(); ++i) {
                const size_t slot = static_cast<size_t>(chunk.column(0).int_at(i) - 1) * n_periods +
                                    static_cast<size_t>(chunk.column(1).int_at(i));
                const int32_t r = row_of[slot];
                if (r < 0) continue;  // a period in YI
                for (size_t k = 0; k < source.features.size(); ++k)
                    m.values[static_cast<size_t>(r) * kFeatureCount + source.features[k]] =
                        cell_value(chunk.column(2 + k), i);
            }
        });
    }
    return m;
}

}  // namespace tarvo::zavor
