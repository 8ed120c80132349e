#include "tarvo/pipeline/marts/scoreboard.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "tarvo/core/console.hpp"
#include "tarvo/core/text_index.hpp"
#include "tarvo/pipeline/marts/bands.hpp"
#include "tarvo/pipeline/marts/diag_index.hpp"
#include "tarvo/vandel/engine_settings.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::marts {

using core::Column;
using core::Dict;
using core::Document;
using core::List;
using core::Table;
using core::Value;
using core::str;

namespace {

// Monitored firms: any period with a score or a positive combined risk.
const char* const kMonitoredRows = R"(
        FROM fact_periodic
        WHERE ovik_skor IS NOT NULL OR COALESCE(kombine_risk, 0) > 0
    )";

const char* const kBaseSelect = R"(
        SELECT
            de.rowid AS _sira,
            de.entity_id,
            mi.unvan,
            de.segment,
            de.sube_kodu,
            sb.sube_adi,
            de.bolge_kodu,
            sb2.bolge_adi
            )";

const char* const kBaseOptional = R"(,
            de.son_izleme_kodu,
            de.risk_grup_kodu,
            de.pgy,
            de.finansman_konu,
            de.tahsis_onay_birimi)";

const char* const kBaseFrom = R"(
        FROM dim_entity de
        LEFT JOIN map_identity mi ON de.entity_id = mi.entity_id
        LEFT JOIN ref_sube_bolge sb ON de.sube_kodu = sb.sube_kodu
        LEFT JOIN (
            SELECT DISTINCT ON (bolge_kodu) bolge_kodu, bolge_adi
            FROM ref_sube_bolge ORDER BY bolge_kodu
        ) sb2 ON de.bolge_kodu = sb2.bolge_kodu
        WHERE de.entity_id IN ({monitored_keys})
    )";

const char* const kPeriodSelect = R"(
        SELECT entity_id, donem, ovik_skor, kombine_risk, risk_degisim)";
const char* const kPeriodOptional = ", depo_risk, nakit_risk, gnakit_risk";
const char* const kPeriodFrom = R"(
        FROM fact_periodic
        WHERE entity_id IS NOT NULL
    )";

const char* const kDepoColumns[] = {"depo_risk", "nakit_risk", "gnakit_risk"};
const char* const kOptionalDimColumns[] = {"son_izleme_kodu", "risk_grup_kodu", "pgy",
                                           "finansman_konu", "tahsis_onay_birimi"};

bool contains_name(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

List column_values(const Column& c) {
    List out;
    out.reserve(c.size());
    for (size_t i = 0; i < c.size(); ++i) out.push_back(Document::of(c.get(i)));
    return out;
}

// Firm key -> base rows holding it (a firm appears once in dim_entity, but nothing breaks
// when it appears twice: both rows get the firm's period values). Every period row looks its
// firm up, so the keys are indexed where they stand (core::TextIndex).
class FirmRows {
public:
    explicit FirmRows(const Column& keys)
        : keys_(keys), next_(keys.size(), kNone), first_(keys.size(), KeyText{&keys}) {
        for (size_t i = keys.size(); i-- > 0;) {
            size_t& first = first_[keys.text_at(i)];
            next_[i] = first;
            repeats_ = repeats_ || first != kNone;
            first = i;
        }
    }
    static constexpr size_t kNone = static_cast<size_t>(-1);
    // The key's first base row (kNone when it has none) and the row after `r` holding the same key.
    // Period rows tend to come in the base rows' order (a firm's periods together, or every firm
    // once per period), so when no key repeats, the rows at and after `near` are tried first: a
    // match there costs no lookup, whose cache misses were most of the pivot's time.
    size_t first(std::string_view key, size_t near) const {
        if (!repeats_)
            for (size_t r = near; r < keys_.size() && r <= near + 1; ++r)
                if (keys_.text_at(r) == key) return r;
        return first_.at(key);
    }
    size_t next(size_t r) const { return next_[r]; }

private:
    struct KeyText {
        const Column* keys;
        const std::string& operator()(size_t i) const { return keys->text_at(i); }
    };
    const Column& keys_;
    std::vector<size_t> next_;
    core::TextIndex<KeyText> first_;
    bool repeats_ = false;  // some key has more than one base row
};

// The base rows in dim_entity's own order (by its row numbers in `_sira`, which is then dropped):
// the warehouse returns matched rows in an order of its own, and the base order is the order of
// firms with equal risk in the scoreboard.
void into_dim_entity_order(Table& base) {
    const Column& sira = base["_sira"];
    std::vector<size_t> order(base.nrows());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return sira.int_at(a) < sira.int_at(b); });
    base.drop("_sira");
    base.reorder(order, vandel::run_threads());
}

// Appends the score cell as the scoreboard carries it: "YI" stays, a number is rounded half to
// even to a whole number, everything else (null, "None", "<NA>", "nan", other text, booleans,
// NaN and infinities) is null. Appended as what it is, without a Value per cell: a million
// firms' scores are ten million cells.
void push_score_cell(Column& out, const Column& c, size_t i) {
    std::optional<double> d;
    if (c.is_text_cell(i)) {
        const std::string& text = c.text_at(i);
        if (text == "YI") {
            out.push_text("YI");
            return;
        }
        d = core::parse_number(text);
    } else if (c.is_int_cell(i) || c.is_double_cell(i)) {
        d = c.number_at(i);
    }
    if (d && std::isfinite(*d))
        out.push_int(static_cast<int64_t>(core::round_half_even(*d, 0)));
    else
        out.push_null();
}

// Whole part of a finite number (truncated toward zero).
std::optional<int64_t> whole_part(const Column& c, size_t i) {
    std::optional<double> d = c.number_at(i);
    return d ? core::truncate_to_int(*d) : std::nullopt;
}

// Texts with missing markers nulled, every other cell as its text. A text column is cleaned in
// place: a copy of a million firm names beside the original was the scoreboard's peak.
Column clean_str_column(Column c) {
    if (c.kind() == core::str) {
        for (size_t i = 0; i < c.size(); ++i)
            if (c.is_text_cell(i) && core::is_missing_marker(c.text_at(i))) c.set_null(i);
        return c;
    }
    Column out(core::str);
    out.reserve(c.size());
    for (size_t i = 0; i < c.size(); ++i) out.push_back(_clean_str(c.get(i)));
    return out;
}

// A column of few distinct texts (segments, branch names) with one stored copy of each.
Column with_shared_texts(Column c) {
    c.share_equal_texts();
    return c;
}

// Not-a-number and infinite floating-point cells become null.
void null_non_finite(Column& c) {
    for (size_t i = 0; i < c.size(); ++i)
        if (c.is_double_cell(i) && !std::isfinite(c.double_at(i))) c.set_null(i);
}

// The distinct non-empty texts of a column, in byte order. Found by hash, then only the few
// distinct ones sorted: an ordered set of a million cells cost a tenth of a second per column.
List distinct_names(const Column* c) {
    std::unordered_set<std::string_view> seen;
    if (c)
        for (size_t i = 0; i < c->size(); ++i)
            if (c->is_text_cell(i) && !c->text_at(i).empty()) seen.insert(c->text_at(i));
    std::vector<std::string_view> names(seen.begin(), seen.end());
    std::sort(names.begin(), names.end());
    List out;
    for (const std::string_view n : names) out.emplace_back(std::string(n));
    return out;
}

// A document with the given meta and no rows.
Document without_rows(Dict meta) {
    Dict doc;
    doc.set("meta", Document(std::move(meta)));
    doc.set("rows", Document::empty_list());
    return Document(std::move(doc));
}

// The period values of the monitored firms pivoted onto the base rows: for each period the
// first non-null score, combined risk and risk change of the firm's rows, and the latest
// period's risk split when the warehouse has one. The period table streams through in chunks,
// so its size does not matter. It is read whole: a row of a firm that is not monitored finds
// no base row and is passed over here (having the warehouse match every row against a million
// keys first cost more than the reading).
struct PeriodPivot {
    std::vector<std::vector<Column>> values;  // [score, risk, risk change][period]
    std::vector<Column> depo;                 // kDepoColumns, latest period
};

PeriodPivot pivot_periods(vandel::Vandel& con, const Column& base_ids,
                          const std::vector<std::string>& period_text, const std::string& son_text,
                          bool has_depo) {
    const size_t n = base_ids.size();
    const size_t np = period_text.size();
    PeriodPivot pivot{std::vector<std::vector<Column>>(3, std::vector<Column>(np, Column(core::mixed, n))),
                      std::vector<Column>(has_depo ? 3 : 0, Column(core::mixed, n))};
    const FirmRows firm_rows(base_ids);
    size_t near = 0;  // the base row last found
    size_t p = np;    // the period of the row before: period rows tend to come a period at a time
    // Columns: entity_id, donem, the three values, then the risk split.
    std::string id_text, donem_text;
    con.for_each_cell_chunk(
        std::string(kPeriodSelect) + (has_depo ? kPeriodOptional : "") + kPeriodFrom,
        [&](const vandel::CellChunk& chunk) {
            // The three values straight from their vectors when they are doubles, as they are in a
            // warehouse the silver step built: a million firms' periods are read here.
            const std::array<const double*, 3> doubles = {chunk.doubles(2), chunk.doubles(3), chunk.doubles(4)};
            for (size_t i = 0; i < chunk.rows(); ++i) {
                const std::string_view period = chunk.text_form(1, i, donem_text);
                if (p == np || period_text[p] != period)
                    p = static_cast<size_t>(std::find(period_text.begin(), period_text.end(), period) -
                                            period_text.begin());
                if (p == np) continue;
                const size_t first = firm_rows.first(chunk.text_form(0, i, id_text), near);
                if (first != FirmRows::kNone) near = first;
                for (size_t row = first; row != FirmRows::kNone; row = firm_rows.next(row)) {
                    for (size_t s = 0; s < 3; ++s) {
                        Column& dst = pivot.values[s][p];
                        if (chunk.is_null(2 + s, i) || !dst.is_null(row)) continue;
                        if (doubles[s])
                            dst.set_double(row, doubles[s][i]);
                        else
                            dst.set(row, chunk.value(2 + s, i));
                    }
                    if (has_depo && period_text[p] == son_text)
                        for (size_t k = 0; k < 3; ++k) pivot.depo[k].set(row, chunk.value(5 + k, i));
                }
            }
        });
    return pivot;
}

// The firm's own columns, in key order: the firm key first, named "muta". Each base column is
// let go once it is converted, so the base rows and the scoreboard rows are never held whole
// side by side.
Table firm_columns(Table base, bool has_dim_extra) {
    auto take = [&base](const char* name) {
        Column c = std::move(base[name]);
        base.drop(name);
        return c;
    };
    Table rows;
    rows.set("muta", take("entity_id"));
    rows.set("unvan", clean_str_column(take("unvan")));
    rows.set("segment", with_shared_texts(clean_str_column(take("segment"))));
    rows.set("sube_kodu", _safe_int_series(take("sube_kodu")));
    rows.set("sube_adi", with_shared_texts(clean_str_column(take("sube_adi"))));
    rows.set("bolge_kodu", _safe_int_series(take("bolge_kodu")));
    rows.set("bolge_adi", with_shared_texts(clean_str_column(take("bolge_adi"))));
    if (has_dim_extra)
        for (const char* name : kOptionalDimColumns) rows.set(name, take(name));
    return rows;
}

// ovik<d>, r<d> and rd<d> per period: scores rebuilt, risks and risk changes as numbers. Each
// pivoted column is let go once converted.
void add_period_columns(Table& rows, PeriodPivot& pivot, const std::vector<std::string>& period_text) {
    const size_t n = rows.nrows();
    for (size_t p = 0; p < period_text.size(); ++p) {
        const Column raw = std::move(pivot.values[0][p]);
        Column score(core::mixed);
        score.reserve(n);
        for (size_t i = 0; i < n; ++i) push_score_cell(score, raw, i);
        rows.set("ovik" + period_text[p], std::move(score));
    }
    for (size_t p = 0; p < period_text.size(); ++p)
        rows.set("r" + period_text[p], _safe_int_series(std::move(pivot.values[1][p])));
    for (size_t p = 0; p < period_text.size(); ++p)
        rows.set("rd" + period_text[p], _safe_int_series(std::move(pivot.values[2][p])));
}

// son_risk: the latest period's combined risk as a whole number, 0 when missing.
std::vector<int64_t> latest_risk(const Table& rows, const std::string& son_text) {
    std::vector<int64_t> son_risk(rows.nrows(), 0);
    if (const Column* last = rows.find("r" + son_text))
        for (size_t i = 0; i < son_risk.size(); ++i)
            if (auto w = whole_part(*last, i)) son_risk[i] = *w;
    return son_risk;
}

// df<d> per period: son_risk minus the whole part of r<d>.
void add_risk_distance_columns(Table& rows, const std::vector<int64_t>& son_risk,
                               const std::vector<std::string>& period_text) {
    for (const std::string& p : period_text) {
        const Column& r = rows["r" + p];
        Column df(core::i64);
        df.reserve(son_risk.size());
        for (size_t i = 0; i < son_risk.size(); ++i) {
            auto w = r.is_null(i) ? std::nullopt : whole_part(r, i);
            w ? df.push_int(son_risk[i] - *w) : df.push_null();
        }
        rows.set("df" + p, std::move(df));
    }
}

// Highest latest risk first (stable); no NaN or infinity anywhere.
void order_rows(Table& rows, const std::vector<int64_t>& son_risk) {
    std::vector<std::optional<double>> sort_keys(son_risk.size());
    for (size_t i = 0; i < son_risk.size(); ++i) sort_keys[i] = static_cast<double>(son_risk[i]);
    rows.reorder(core::stable_order(sort_keys, /*descending=*/true), vandel::run_threads());
    for (size_t c = 0; c < rows.ncols(); ++c) null_non_finite(rows.column(c));
}

Dict scoreboard_meta(const Column& periods, const Column& risk_periods, const Value& son_donem,
                     const Table& rows) {
    Dict meta;
    meta.set("donemler", column_values(periods));
    meta.set("risk_donemler", column_values(risk_periods));
    meta.set("son_donem", Document::of(son_donem));
    meta.set("n_muta", Document(static_cast<int64_t>(rows.nrows())));
    meta.set("bolge_listesi", distinct_names(rows.find("bolge_adi")));
    meta.set("sube_listesi", distinct_names(rows.find("sube_adi")));
    meta.set("pipeline_ts", "dummy_run");
    meta.set("notebook", "brenk");
    return meta;
}

}  // namespace

Document _build_scoreboard(vandel::Vandel& con) {
    Column periods = con.query("SELECT DISTINCT donem FROM fact_periodic ORDER BY donem").column(0);
    if (periods.empty()) {
        core::console().line("    [WARN] No periods in fact_periodic");
        return without_rows(Dict());
    }
    const Value son_donem = periods.get(periods.size() - 1);
    Column risk_periods =
        con.query("SELECT DISTINCT donem FROM fact_periodic WHERE kombine_risk IS NOT NULL ORDER BY donem")
            .column(0);

    // Monitored firms: any period with a score or a positive combined risk. Only whether there is
    // one is needed here (the base rows are matched to them inside the warehouse), so one is read.
    // `tarvo verify` looks for the text conversion written exactly as on this line (and for no
    // chained fetch of a query's column): keep its spelling.
    const Column keys =
        con.query(std::string("SELECT DISTINCT entity_id ") + kMonitoredRows + " LIMIT 1")["entity_id"].astype(str);
    if (keys.empty()) {
        Dict meta;
        meta.set("donemler", column_values(periods));
        meta.set("son_donem", Document::of(son_donem));
        meta.set("n_muta", Document(int64_t{0}));
        return without_rows(std::move(meta));
    }

    // The slim diagnostic index is aggregated beside the steps below, most of which keep one core.
    SlimIndexAhead diag_index(con);
    const bool has_dim_extra = contains_name(con.column_names("dim_entity"), "son_izleme_kodu");
    const bool has_depo = contains_name(con.column_names("fact_periodic"), "depo_risk");
    std::string base_sql = std::string(kBaseSelect) + (has_dim_extra ? kBaseOptional : "") + kBaseFrom;
    // The base rows are matched to the monitored firms' keys inside the warehouse: a list parameter
    // of a million keys took it two seconds and half a gigabyte to bind.
    const std::string monitored_keys = std::string("SELECT DISTINCT CAST(entity_id AS VARCHAR) ") + kMonitoredRows;
    base_sql.replace(base_sql.find("{monitored_keys}"), std::string_view("{monitored_keys}").size(), monitored_keys);
    Table base = con.query(base_sql);
    into_dim_entity_order(base);
    base.set("entity_id", base["entity_id"].astype(str));

    std::vector<std::string> period_text(periods.size());
    for (size_t p = 0; p < periods.size(); ++p) period_text[p] = periods.text_form(p);
    const std::string son_text = son_donem.text_form();
    // The firm's own columns first, their few distinct texts shared, so that the pivot does not
    // grow beside a string per row of them.
    Table rows = firm_columns(std::move(base), has_dim_extra);
    PeriodPivot pivot = pivot_periods(con, rows["muta"], period_text, son_text, has_depo);

    add_period_columns(rows, pivot, period_text);
    const std::vector<int64_t> son_risk = latest_risk(rows, son_text);
    rows.set("son_risk", Column::of_i64({son_risk.begin(), son_risk.end()}));
    if (has_depo)
        for (size_t k = 0; k < 3; ++k) rows.set(kDepoColumns[k], _safe_int_series(std::move(pivot.depo[k])));
    add_risk_distance_columns(rows, son_risk, period_text);
    order_rows(rows, son_risk);

    Dict doc;
    doc.set("meta", Document(scoreboard_meta(periods, risk_periods, son_donem, rows)));
    doc.set("rows", Document::rows(std::move(rows)));
    doc.set("diag_index", _build_diag_index_slim(con, diag_index));
    return Document(std::move(doc));
}

}  // namespace tarvo::marts
