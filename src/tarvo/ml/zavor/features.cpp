#include "tarvo/ml/zavor/features.hpp"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

#include "tarvo/core/errors.hpp"
#include "tarvo/ml/zavor/firm_period_features.hpp"
#include "tarvo/quisar/fi.hpp"
#include "tarvo/vandel/engine_settings.hpp"

namespace tarvo::zavor {

namespace {

// Firms and periods get small whole numbers first (n in the order of the firm keys, t in period
// order), so the statements below join, group and return integers, and the reader places each
// value by (n, t) without a text key per row. The numbering is made once, into two temporary
// tables of the connection, and every statement reads it under the names donemler and firmalar:
// working it out again in each of the eight statements cost about a second each at a million firms.
// A firm's segment (a fixed attribute, from dim_entity) is kept beside its number, as its
// SegmentCode, so the firm-period statement has it from the join it makes anyway: a join of its
// own to ten million firm-periods cost the warehouse about half a second at a million firms.
constexpr std::string_view kNumberingSql = R"sql(
CREATE OR REPLACE TEMP TABLE _zavor_donemler AS
    SELECT donem, CAST(ROW_NUMBER() OVER (ORDER BY donem) - 1 AS INTEGER) AS t
    FROM (SELECT DISTINCT CAST(donem AS VARCHAR) AS donem FROM fact_periodic WHERE donem IS NOT NULL);
CREATE OR REPLACE TEMP TABLE _zavor_firmalar AS
    SELECT k.entity_id, CAST(ROW_NUMBER() OVER (ORDER BY k.entity_id) AS INTEGER) AS n,
           CAST(CASE s.segment WHEN 'KUR-TIC' THEN 1 WHEN 'KOBI' THEN 2 WHEN 'MIKRO' THEN 3 WHEN 'ESKK' THEN 4
                ELSE 0 END AS INTEGER) AS segment_kodu
    FROM (SELECT DISTINCT CAST(entity_id AS VARCHAR) AS entity_id FROM fact_periodic WHERE entity_id IS NOT NULL) k
    LEFT JOIN (SELECT CAST(entity_id AS VARCHAR) AS entity_id, MAX(segment) AS segment FROM dim_entity GROUP BY 1) s
        ON s.entity_id = k.entity_id;
)sql";
constexpr std::string_view kNumberingDrop = "DROP TABLE IF EXISTS _zavor_donemler; DROP TABLE IF EXISTS _zavor_firmalar";

constexpr std::string_view kKeysSql = R"sql(
WITH donemler AS (SELECT donem, t FROM _zavor_donemler),
     firmalar AS (SELECT entity_id, n, segment_kodu FROM _zavor_firmalar)
)sql";

// One row per firm and period with the features of fact_periodic and dim_entity that need no
// other period: the YI state (1, 0, or null when the period's score cells are all null), the
// score outside YI (as a double for the differences and the band, and as the feature), the risks
// and the segment code, from which the reader works out the other features of the row
// (firm_period_features.hpp).
// `durum` holds the firm-period's values: a firm has one fact row per period, so the statement
// is first run with each row as its own firm-period (kDurumPerRow), which needs no grouping of
// ten million firm-periods; the few firms with several rows in a period are read again with the
// grouping (kDurumGrouped), and those rows replace what the first reading gave. Over a single
// row the aggregates below equal the per-row expressions. `{yi_text}` is the test of the score
// cell's text for "YI" (yi_text_test).
// The features that read other periods (the score one and three periods back, the label) are
// taken from a grid of every firm's periods in C++: a window over ten million rows costs the
// warehouse gigabytes.
constexpr std::string_view kDurumPerRow = R"sql(
, durum AS (
    SELECT fi.n, d.t, fi.segment_kodu,
           (TRY_CAST(f.ovik_skor AS DOUBLE) = -1 OR {yi_text}) AS yi,
           CASE WHEN TRY_CAST(f.ovik_skor AS DOUBLE) >= 0 THEN TRY_CAST(f.ovik_skor AS DOUBLE) END AS skor,
           TRY_CAST(f.kombine_risk AS DOUBLE) AS risk,
           TRY_CAST(f.risk_degisim AS DOUBLE) AS risk_degisim
    FROM fact_periodic f
    JOIN donemler d ON d.donem = CAST(f.donem AS VARCHAR)
    JOIN firmalar fi ON fi.entity_id = CAST(f.entity_id AS VARCHAR)
)
)sql";

constexpr std::string_view kDurumGrouped = R"sql(
, durum AS (
    SELECT fi.n, d.t, MAX(fi.segment_kodu) AS segment_kodu,
           bool_or(TRY_CAST(f.ovik_skor AS DOUBLE) = -1 OR {yi_text}) AS yi,
           MAX(TRY_CAST(f.ovik_skor AS DOUBLE)) FILTER (WHERE TRY_CAST(f.ovik_skor AS DOUBLE) >= 0) AS skor,
           MAX(TRY_CAST(f.kombine_risk AS DOUBLE)) AS risk,
           MAX(TRY_CAST(f.risk_degisim AS DOUBLE)) AS risk_degisim
    FROM fact_periodic f
    JOIN donemler d ON d.donem = CAST(f.donem AS VARCHAR)
    JOIN firmalar fi ON fi.entity_id = CAST(f.entity_id AS VARCHAR)
    WHERE list_contains($1, fi.n)
    GROUP BY fi.n, d.t
)
)sql";

constexpr std::string_view kFirmPeriodSql = R"sql(
SELECT g.n, g.t, CAST(g.yi AS INTEGER) AS yi, g.skor AS skor_tam, CAST(g.skor AS FLOAT) AS skor,
       g.risk, g.risk_degisim, g.segment_kodu
FROM durum g
)sql";

// The firm-period statement's columns after n and t.
enum FirmPeriodColumn : size_t {
    kYiColumn = 2, kSkorTamColumn, kSkorColumn, kRiskColumn, kRiskDegisimColumn, kSegmentColumn
};

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

float cell_value(const vandel::NumberChunk& chunk, size_t c, size_t i) {
    return chunk.is_null(c, i) ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(chunk.at(c, i));
}

std::optional<double> cell(const vandel::NumberChunk& chunk, size_t c, size_t i) {
    if (chunk.is_null(c, i)) return std::nullopt;
    return chunk.at(c, i);
}

// The test of a score cell's text for "YI". A number's text is never "YI", so when the score
// column holds numbers the test is false for every non-null cell and formats nothing (the text
// of ten million doubles was a twentieth of the feature reading).
std::string yi_text_test(vandel::Vandel& con) {
    static constexpr std::string_view kNumericTypes[] = {
        "TINYINT", "SMALLINT", "INTEGER", "BIGINT", "HUGEINT", "UTINYINT", "USMALLINT", "UINTEGER",
        "UBIGINT", "UHUGEINT", "FLOAT", "DOUBLE", "DECIMAL", "BOOLEAN"};
    const core::Table columns = con.query("DESCRIBE fact_periodic");
    for (size_t i = 0; i < columns.nrows(); ++i) {
        if (columns.column(0).text_form(i) != "ovik_skor") continue;
        const std::string type = columns.column(1).text_form(i);
        for (std::string_view numeric : kNumericTypes)
            if (type == numeric || (numeric == "DECIMAL" && type.starts_with("DECIMAL(")))
                return "(CASE WHEN f.ovik_skor IS NOT NULL THEN false END)";
    }
    return "CAST(f.ovik_skor AS VARCHAR) = 'YI'";
}

// The firm-period statement with one of the two `durum` readings.
std::string firm_period_sql(std::string_view durum, const std::string& yi_text) {
    std::string sql = std::string(kKeysSql) + std::string(durum) + std::string(kFirmPeriodSql);
    replace_all(sql, "{yi_text}", yi_text);
    return sql;
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

float FeatureMatrix::value(size_t r, Feature f) const {
    if (kFeatures[f].kind == FeatureKind::continuous) return continuous[r * kContinuousCount + kSlot[f]];
    return (flags[r] >> kSlot[f]) & 1u ? 1.0f : 0.0f;
}

RawFeatures FeatureMatrix::row(size_t r) const {
    RawFeatures raw;
    for (size_t f = 0; f < kFeatureCount; ++f) raw[f] = value(r, static_cast<Feature>(f));
    return raw;
}

void FeatureMatrix::resize(size_t n) {
    firm.resize(n);
    label.resize(n);
    continuous.resize(n * kContinuousCount);
    flags.resize(n);
}

void FeatureMatrix::set(size_t r, Feature f, float x) {
    if (kFeatures[f].kind == FeatureKind::continuous) {
        continuous[r * kContinuousCount + kSlot[f]] = x;
        return;
    }
    const auto bit = static_cast<uint16_t>(1u << kSlot[f]);
    flags[r] = static_cast<uint16_t>(x != 0 && !std::isnan(x) ? flags[r] | bit : flags[r] & ~bit);
}

void FeatureMatrix::fill(Feature f, float x) {
    if (kFeatures[f].kind == FeatureKind::continuous) {
        for (size_t at = kSlot[f]; at < continuous.size(); at += kContinuousCount) continuous[at] = x;
        return;
    }
    const auto bit = static_cast<uint16_t>(1u << kSlot[f]);
    if (x != 0 && !std::isnan(x))
        for (uint16_t& word : flags) word = static_cast<uint16_t>(word | bit);
    else
        for (uint16_t& word : flags) word = static_cast<uint16_t>(word & ~bit);
}

int32_t FeatureMatrix::period_of(size_t r) const {
    return static_cast<int32_t>(std::upper_bound(period_start.begin(), period_start.end(), r) - period_start.begin()) - 1;
}

size_t FeatureMatrix::first_row_of(int32_t t) const {
    if (t <= 0) return 0;
    if (static_cast<size_t>(t) + 1 >= period_start.size()) return rows();
    return period_start[static_cast<size_t>(t)];
}

namespace {

// What a firm's row in a period says: no row, outside YI (a row of the matrix), in YI, or neither
// (every score cell null).
enum class PeriodState : uint8_t { none, outside, yi, unknown };

// One stored row, to move rows of the matrix about.
struct StoredRow {
    int32_t firm;
    int8_t label;
    uint16_t flags;
    std::array<float, kContinuousCount> continuous;
};

StoredRow take(const FeatureMatrix& m, size_t r) {
    StoredRow row{m.firm[r], m.label[r], m.flags[r], {}};
    std::copy_n(m.continuous.begin() + static_cast<std::ptrdiff_t>(r * kContinuousCount), kContinuousCount,
                row.continuous.begin());
    return row;
}

void put(FeatureMatrix& m, size_t r, const StoredRow& row) {
    m.firm[r] = row.firm;
    m.label[r] = row.label;
    m.flags[r] = row.flags;
    std::copy(row.continuous.begin(), row.continuous.end(),
              m.continuous.begin() + static_cast<std::ptrdiff_t>(r * kContinuousCount));
}

// Moves row order[s] to row s for every s, in place (following each cycle of the permutation), so
// that reordering ten million rows needs no second copy of them.
void permute_rows(FeatureMatrix& m, const std::vector<uint32_t>& order) {
    std::vector<bool> placed(order.size());
    for (size_t start = 0; start < order.size(); ++start) {
        if (placed[start] || order[start] == start) continue;
        const StoredRow held = take(m, start);
        for (size_t at = start;;) {
            placed[at] = true;
            const size_t from = order[at];
            if (from == start) {
                put(m, at, held);
                break;
            }
            put(m, at, take(m, from));
            at = from;
        }
    }
}

// While the features are read, the matrix grows in the same process as the warehouse's working
// memory, so the warehouse gets half of its usual limit for that time. (At a million firms the
// reading runs in a 200 MB share.)
class HalfMemoryLimit {
public:
    explicit HalfMemoryLimit(vandel::Vandel& con) : con_(con) {
        set(vandel::engine_settings().memory_limit_bytes / 2);
    }
    ~HalfMemoryLimit() {
        try {
            set(vandel::engine_settings().memory_limit_bytes);
        } catch (...) {  // the connection is closed next anyway
        }
    }
    HalfMemoryLimit(const HalfMemoryLimit&) = delete;
    HalfMemoryLimit& operator=(const HalfMemoryLimit&) = delete;

private:
    void set(int64_t bytes) { con_.execute("SET memory_limit = '" + std::to_string(bytes) + " bytes'"); }
    vandel::Vandel& con_;
};

}  // namespace

FeatureMatrix load_features(vandel::Vandel& con, int horizon) {
    if (horizon < 1) throw core::ValueError("horizon must be at least 1, not " + std::to_string(horizon));
    const HalfMemoryLimit budget(con);
    con.execute(kNumberingSql);
    FeatureMatrix m;
    const core::Table periods = con.query(
        "SELECT DISTINCT CAST(donem AS VARCHAR) AS donem FROM fact_periodic WHERE donem IS NOT NULL ORDER BY 1");
    for (size_t i = 0; i < periods.nrows(); ++i) m.periods.push_back(periods.column(0).text_form(i));
    con.for_each_chunk(std::string(kKeysSql) + "SELECT entity_id FROM firmalar ORDER BY n",
                       [&](const core::Table& chunk) {
                           for (size_t i = 0; i < chunk.nrows(); ++i) m.firms.push_back(chunk.column(0).text_at(i));
                       });
    const size_t n_periods = m.periods.size(), n_firms = m.firms.size();
    // Every firm-period's state and score, by firm number * n_periods + period number, and the
    // matrix row of those outside YI (-1: none).
    std::vector<PeriodState> state(n_firms * n_periods, PeriodState::none);
    std::vector<double> score(n_firms * n_periods, std::numeric_limits<double>::quiet_NaN());
    std::vector<int32_t> row_of(n_firms * n_periods, -1);

    // The rows outside YI arrive in the warehouse's order. There are at most as many as
    // fact_periodic has rows, so the columns are reserved once and never copied while they grow.
    const core::Table fact_rows = con.query("SELECT COUNT(*) FROM fact_periodic");
    const auto capacity = static_cast<size_t>(fact_rows.column(0).int_at(0));
    m.firm.reserve(capacity);
    m.label.reserve(capacity);
    m.continuous.reserve(capacity * kContinuousCount);
    m.flags.reserve(capacity);
    // A row whose outcome is not yet known is of use only in the newest period, where it is scored:
    // no fit or evaluation reads the others, so they get no row (their states and scores are kept).
    const auto last_period = static_cast<int64_t>(n_periods) - 1;
    const auto has_rows = [&](size_t t) {
        return static_cast<int64_t>(t) + horizon <= last_period || static_cast<int64_t>(t) == last_period;
    };
    // The rows end in (period, firm) order. When every firm of every period with rows fits in the
    // reserved rows (most firms have a row in most periods), each firm-period's row is placed
    // where that order puts it, and the places left unused are closed up in one forward pass;
    // otherwise rows are added as they arrive and put in order afterwards (moving ten million rows
    // to scattered places took longer than the closing up).
    std::vector<size_t> first_grid_row(n_periods, 0);
    size_t grid_rows = 0;
    for (size_t t = 0; t < n_periods; ++t) {
        first_grid_row[t] = grid_rows;
        if (has_rows(t)) grid_rows += n_firms;
    }
    const bool in_order = grid_rows <= capacity;
    if (in_order) m.resize(grid_rows);
    // A firm-period's values, from either reading; a row of the matrix whose firm-period turns
    // out not to be outside YI is left behind (row_of no longer points at it) and dropped below.
    const auto place = [&](const vandel::NumberChunk& chunk, size_t i, size_t slot) {
        state[slot] = chunk.is_null(kYiColumn, i)    ? PeriodState::unknown
                      : chunk.at(kYiColumn, i) != 0 ? PeriodState::yi
                                                    : PeriodState::outside;
        const std::optional<double> skor = cell(chunk, kSkorTamColumn, i);
        score[slot] = skor.value_or(std::numeric_limits<double>::quiet_NaN());
        if (state[slot] != PeriodState::outside || !has_rows(slot % n_periods)) {
            row_of[slot] = -1;
            return;
        }
        if (row_of[slot] < 0 && in_order) {
            row_of[slot] = static_cast<int32_t>(first_grid_row[slot % n_periods] + slot / n_periods);
        } else if (row_of[slot] < 0) {
            row_of[slot] = static_cast<int32_t>(m.rows());
            m.resize(m.rows() + 1);
        }
        const auto r = static_cast<size_t>(row_of[slot]);
        m.firm[r] = static_cast<int32_t>(slot / n_periods);
        m.set(r, kSkor, cell_value(chunk, kSkorColumn, i));
        const FirmPeriodCells cells{skor, cell(chunk, kRiskColumn, i), cell(chunk, kRiskDegisimColumn, i),
                                    static_cast<int>(chunk.at(kSegmentColumn, i))};
        const auto derived = firm_period_features(cells);
        for (size_t k = 0; k < derived.size(); ++k) m.set(r, kFirmPeriodDerived[k], derived[k]);
    };
    const auto slot_of = [n_periods](const vandel::NumberChunk& chunk, size_t i) {
        return (static_cast<size_t>(chunk.at(0, i)) - 1) * n_periods + static_cast<size_t>(chunk.at(1, i));
    };
    std::vector<int64_t> firms_read_again;
    const std::string yi_text = yi_text_test(con);
    con.for_each_number_chunk(firm_period_sql(kDurumPerRow, yi_text), [&](const vandel::NumberChunk& chunk) {
        for (size_t i = 0; i < chunk.rows(); ++i) {
            const size_t slot = slot_of(chunk, i);
            if (state[slot] == PeriodState::none)
                place(chunk, i, slot);
            else
                firms_read_again.emplace_back(static_cast<int64_t>(chunk.at(0, i)));
        }
    });
    if (!firms_read_again.empty()) {
        std::sort(firms_read_again.begin(), firms_read_again.end());
        firms_read_again.erase(std::unique(firms_read_again.begin(), firms_read_again.end()), firms_read_again.end());
        const std::vector<core::Value> firm_numbers(firms_read_again.begin(), firms_read_again.end());
        con.for_each_number_chunk(firm_period_sql(kDurumGrouped, yi_text), firm_numbers,
                                  [&](const vandel::NumberChunk& chunk) {
                                      for (size_t i = 0; i < chunk.rows(); ++i) place(chunk, i, slot_of(chunk, i));
                                  });
    }

    // The score one and three periods back (when the firm has a row there) and the label: 1 when
    // the firm is in YI in a period of the horizon, unknown when the horizon passes the newest period.
    const auto score_change = [&](size_t slot, int64_t t, int64_t back) {
        if (t - back < 0 || state[slot - static_cast<size_t>(back)] == PeriodState::none)
            return std::numeric_limits<float>::quiet_NaN();
        return static_cast<float>(score[slot] - score[slot - static_cast<size_t>(back)]);  // NaN when either is null
    };
    for (size_t slot = 0; slot < row_of.size(); ++slot) {
        const int32_t r = row_of[slot];
        if (r < 0) continue;
        const auto t = static_cast<int64_t>(slot % n_periods);
        m.set(static_cast<size_t>(r), kSkorD1, score_change(slot, t, 1));
        m.set(static_cast<size_t>(r), kSkorD3, score_change(slot, t, 3));
        bool enters = false;
        for (int64_t k = 1; k <= horizon && t + k <= last_period; ++k)
            enters = enters || state[slot + static_cast<size_t>(k)] == PeriodState::yi;
        m.label[static_cast<size_t>(r)] = t + horizon > last_period ? -1 : enters ? 1 : 0;
    }
    std::vector<PeriodState>().swap(state);
    std::vector<double>().swap(score);

    // Into (period, firm) order; row_of follows the rows to their new places. Rows left behind
    // go last (or are closed over) and are dropped.
    std::vector<uint32_t> order;
    if (!in_order) order.reserve(m.rows());
    std::vector<bool> kept(in_order ? 0 : m.rows());
    m.period_start.assign(1, 0);
    size_t live_rows = 0;
    for (size_t t = 0; t < n_periods; ++t) {
        for (size_t n = 0; n < n_firms; ++n) {
            int32_t& r = row_of[n * n_periods + t];
            if (r < 0) continue;
            const auto from = static_cast<size_t>(r);
            if (in_order) {
                if (from != live_rows) put(m, live_rows, take(m, from));  // from > live_rows: not yet moved
            } else {
                kept[from] = true;
                order.push_back(static_cast<uint32_t>(from));
            }
            r = static_cast<int32_t>(live_rows++);
        }
        m.period_start.push_back(live_rows);
    }
    if (!in_order) {
        for (size_t r = 0; r < kept.size(); ++r)
            if (!kept[r]) order.push_back(static_cast<uint32_t>(r));
        std::vector<bool>().swap(kept);
        permute_rows(m, order);
        std::vector<uint32_t>().swap(order);
    }
    m.resize(live_rows);

    // Each bronze source's values go to the row of their firm and period, found by number.
    for (const BronzeFeatures& source : bronze_features()) {
        for (Feature f : source.features) m.fill(f, source.missing);
        con.for_each_number_chunk(bronze_sql(con, source), [&](const vandel::NumberChunk& chunk) {
            for (size_t i = 0; i < chunk.rows(); ++i) {
                const int32_t r = row_of[slot_of(chunk, i)];
                if (r < 0) continue;  // a period in YI
                for (size_t k = 0; k < source.features.size(); ++k)
                    m.set(static_cast<size_t>(r), source.features[k], cell_value(chunk, 2 + k, i));
            }
        });
    }
    con.execute(kNumberingDrop);
    return m;
}

}  // namespace tarvo::zavor
