#include "tarvo/pipeline/marts/diag_index.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::marts {

namespace {

using core::Document;

constexpr std::string_view kTableProbe =
    "SELECT table_name FROM information_schema.tables WHERE table_name='diag_eus_kapsam_diskalma'";

constexpr std::string_view kColumnProbe =
    "SELECT column_name FROM information_schema.columns WHERE table_name='diag_eus_kapsam_diskalma'";


constexpr std::string_view kSlimByLayer =
    "SELECT CAST(muta AS VARCHAR) AS muta, CAST(donem AS VARCHAR) AS donem,\n"
    "       LIST(DISTINCT katman ORDER BY katman) AS gruplar\n"
    "FROM diag_eus_kapsam_diskalma\n"
    "GROUP BY muta, donem\n"
    "ORDER BY muta, donem";

constexpr std::string_view kSlimFallback =
    "SELECT CAST(muta AS VARCHAR) AS muta, CAST(donem AS VARCHAR) AS donem,\n"
    "       LIST(DISTINCT COALESCE(grup, katman) ORDER BY COALESCE(grup, katman)) AS gruplar\n"
    "FROM diag_eus_kapsam_diskalma\n"
    "WHERE COALESCE(grup, katman) IS NOT NULL\n"
    "GROUP BY muta, donem\n"
    "ORDER BY muta, donem";

constexpr std::string_view kFilterCreate = "CREATE TEMP TABLE IF NOT EXISTS _diag_filter (muta VARCHAR)";
constexpr std::string_view kFilterEmpty = "DELETE FROM _diag_filter";
// The firm keys arrive as the in-memory table `out` and go in with one INSERT ... SELECT. A
// prepared "INSERT INTO _diag_filter VALUES (?)" run once per key costs the warehouse about a
// quarter of a millisecond per execution (100,000 keys: 25-30 s, measured, with or without an
// enclosing transaction), against 0.1 s for the same keys through `out`.
constexpr std::string_view kFilterInsert = "INSERT INTO _diag_filter SELECT muta FROM out";
constexpr std::string_view kFilterDrop = "DROP TABLE IF EXISTS _diag_filter";

constexpr std::string_view kDetail =
    "SELECT d.muta, d.donem, d.katman, d.kriter,\n"
    "       d.deger, d.onceki_deger, d.aciklama, d.grup, d.yeni\n"
    "FROM diag_eus_kapsam_diskalma d\n"
    "INNER JOIN _diag_filter f ON CAST(d.muta AS VARCHAR) = f.muta\n"
    "WHERE d.yeni = 1\n"
    "ORDER BY d.muta, d.donem, d.katman, d.rowid";

// The aggregated rows of one slim query, kept compact so that the connection's memo costs a few
// dozen bytes per firm and period, and grouped by firm so that the index is built one firm at a
// time (several times faster than visiting firms in the warehouse's scattered order).
//
// Only rows with at least one group are kept (the others add nothing to the index). Firms stand
// in the order of their first kept row, and each firm's rows in arrival order, so the index
// built from here is the one the rows would give in arrival order.
struct SlimRows {
    int64_t result_rows = 0;             // rows the query returned, kept or not
    std::string firm_keys;               // muta text of every firm, back to back
    std::vector<uint32_t> firm_key_ends;
    std::vector<uint32_t> firm_row_ends;  // per firm: end of its rows below
    std::string period_keys;             // donem text of every kept row, back to back
    std::vector<uint32_t> period_key_ends;
    std::vector<uint32_t> group_ends;    // per kept row: end of its labels in `group_ids`
    std::vector<uint32_t> group_ids;     // indexes into `labels`
    std::vector<Document> labels;        // distinct group labels, as fetched

    size_t firms() const { return firm_key_ends.size(); }
};

uint32_t checked_offset(size_t n) {
    if (n > std::numeric_limits<uint32_t>::max())
        throw core::ValueError("diagnostic index result too large to hold");
    return static_cast<uint32_t>(n);
}

void append_text_form(std::string& out, const Document& cell) {
    if (cell.is_text()) out += cell.as_text();
    else out += cell.to_value().text_form();
}

// Runs one slim query (muta, donem, gruplar) and keeps its rows as above.
SlimRows fetch_slim(vandel::Vandel& con, std::string_view sql) {
    // Kept rows in arrival order first, with their firm's number.
    std::vector<uint32_t> row_firm;
    std::string periods;
    std::vector<uint32_t> period_ends;
    std::vector<uint32_t> group_ends;
    std::vector<uint32_t> group_ids;

    SlimRows out;
    std::unordered_map<std::string, uint32_t> firm_ids;
    std::unordered_map<std::string, uint32_t> label_ids;
    std::string key;
    out.result_rows = con.for_each_row(sql, [&](std::vector<Document>& row) {
        if (!row[2].is_list() || row[2].as_list().empty()) return;
        key.clear();
        append_text_form(key, row[0]);
        auto [firm, new_firm] = firm_ids.try_emplace(key, checked_offset(out.firm_key_ends.size()));
        if (new_firm) {
            out.firm_keys += key;
            out.firm_key_ends.push_back(checked_offset(out.firm_keys.size()));
        }
        row_firm.push_back(firm->second);
        append_text_form(periods, row[1]);
        period_ends.push_back(checked_offset(periods.size()));
        for (const Document& g : row[2].as_list()) {
            // A label's kind is part of its identity: the number 1 and the text "1" differ.
            key.assign(1, static_cast<char>('0' + static_cast<int>(g.kind())));
            append_text_form(key, g);
            auto [label, new_label] = label_ids.try_emplace(key, checked_offset(out.labels.size()));
            if (new_label) out.labels.push_back(g);
            group_ids.push_back(label->second);
        }
        group_ends.push_back(checked_offset(group_ids.size()));
    });
    firm_ids = {};

    // Stable counting sort of the kept rows by firm.
    const size_t nfirms = out.firms();
    std::vector<uint32_t> firm_start(nfirms + 1, 0);
    for (uint32_t f : row_firm) ++firm_start[f + 1];
    for (size_t f = 0; f < nfirms; ++f) firm_start[f + 1] += firm_start[f];
    out.firm_row_ends.assign(firm_start.begin() + 1, firm_start.end());
    std::vector<uint32_t> order(row_firm.size());
    {
        std::vector<uint32_t> next(firm_start.begin(), firm_start.end() - 1);
        for (size_t r = 0; r < row_firm.size(); ++r) order[next[row_firm[r]]++] = static_cast<uint32_t>(r);
    }
    out.period_keys.reserve(periods.size());
    out.period_key_ends.reserve(order.size());
    out.group_ends.reserve(order.size());
    out.group_ids.reserve(group_ids.size());
    for (uint32_t r : order) {
        const uint32_t p0 = r ? period_ends[r - 1] : 0;
        out.period_keys.append(periods, p0, period_ends[r] - p0);
        out.period_key_ends.push_back(checked_offset(out.period_keys.size()));
        const uint32_t g0 = r ? group_ends[r - 1] : 0;
        out.group_ids.insert(out.group_ids.end(), group_ids.begin() + g0, group_ids.begin() + group_ends[r]);
        out.group_ends.push_back(checked_offset(out.group_ids.size()));
    }
    return out;
}

// A period entry with both lists empty.
Document new_period_entry() {
    core::Dict e;
    e.set("bulgular", Document::empty_list());
    e.set("yeni_gruplar", Document::empty_list());
    return Document(std::move(e));
}

Document slim_index_of(const SlimRows& rows) {
    // Entries are copied from one template: a copy allocates its two keys' storage at once.
    const Document blank_entry = new_period_entry();
    const std::string_view firm_keys(rows.firm_keys), period_keys(rows.period_keys);
    core::Dict index;
    uint32_t firm_key_pos = 0, row = 0, period_pos = 0, group_pos = 0;
    for (size_t f = 0; f < rows.firms(); ++f) {
        core::Dict periods;
        periods.reserve(rows.firm_row_ends[f] - row);
        for (; row < rows.firm_row_ends[f]; ++row) {
            std::string_view donem = period_keys.substr(period_pos, rows.period_key_ends[row] - period_pos);
            period_pos = rows.period_key_ends[row];
            Document* entry = periods.find(donem);
            if (!entry) entry = &periods.set(donem, blank_entry);
            core::List& groups = (*entry)["yeni_gruplar"].as_list();
            groups.clear();
            groups.reserve(rows.group_ends[row] - group_pos);
            for (; group_pos < rows.group_ends[row]; ++group_pos)
                groups.push_back(rows.labels[rows.group_ids[group_pos]]);
        }
        std::string_view muta = firm_keys.substr(firm_key_pos, rows.firm_key_ends[f] - firm_key_pos);
        firm_key_pos = rows.firm_key_ends[f];
        index.set(muta, Document(std::move(periods)));
    }
    return Document(std::move(index));
}

bool table_exists(vandel::Vandel& con) { return con.query(kTableProbe).nrows() > 0; }

// The explanation or group of a finding when it carries one: present, and its text none of
// "", "None", "nan".
std::optional<std::string> meaningful_text(const core::Column* c, size_t i) {
    if (!c || c->is_null(i)) return std::nullopt;
    std::string t = c->text_form(i);
    if (t.empty() || t == "None" || t == "nan") return std::nullopt;
    return t;
}

// A value converted to floating point. A NaN counts as missing, as a null does.
std::optional<double> float_of(const core::Column* c, size_t i) {
    if (!c || c->is_null(i)) return std::nullopt;
    if (auto x = c->number_at(i)) {
        if (std::isnan(*x)) return std::nullopt;
        return *x;
    }
    const std::string t = c->text_form(i);
    if (auto x = core::parse_number(t)) return *x;
    throw core::ValueError("could not convert string to float: '" + t + "'");
}

int64_t yeni_of(const core::Column* c, size_t i) {
    std::optional<double> x = float_of(c, i);
    if (!x) return 0;
    if (auto n = core::truncate_to_int(*x)) return *n;
    throw core::ValueError("cannot convert " + core::format_double(*x) + " to integer");
}

Document finding_of(const core::Table& t, size_t i, std::string& grup_out) {
    auto cell = [&](std::string_view name) -> Document {
        const core::Column* c = t.find(name);
        return c ? Document::of(c->get(i)) : Document();
    };
    core::Dict f;
    f.set("katman", cell("katman"));
    f.set("kriter", cell("kriter"));
    if (auto a = meaningful_text(t.find("aciklama"), i)) f.set("aciklama", Document(std::move(*a)));
    if (auto d = float_of(t.find("deger"), i)) f.set("deger", Document(*d));
    if (auto d = float_of(t.find("onceki_deger"), i)) f.set("onceki", Document(*d));
    grup_out.clear();
    if (auto g = meaningful_text(t.find("grup"), i)) {
        grup_out = *g;
        f.set("grup", Document(std::move(*g)));
    }
    f.set("yeni", Document(yeni_of(t.find("yeni"), i)));
    return Document(std::move(f));
}

Document full_index_of(const core::Table& t) {
    core::Dict index;
    const core::Column& muta = t["muta"];
    const core::Column& donem = t["donem"];
    std::string grup;
    for (size_t i = 0; i < t.nrows(); ++i) {
        Document finding = finding_of(t, i, grup);
        const bool new_group = finding["yeni"].as_int() == 1 && !grup.empty();

        const std::string firm_key = muta.text_form(i);
        Document* firm = index.find(firm_key);
        if (!firm) firm = &index.set(firm_key, Document::empty_dict());
        core::Dict& periods = firm->as_dict();
        const std::string period_key = donem.text_form(i);
        Document* entry = periods.find(period_key);
        if (!entry) entry = &periods.set(period_key, new_period_entry());
        (*entry)["bulgular"].as_list().push_back(std::move(finding));
        if (new_group) {
            core::List& groups = (*entry)["yeni_gruplar"].as_list();
            bool seen = false;
            for (const Document& g : groups) seen = seen || (g.is_text() && g.as_text() == grup);
            if (!seen) groups.push_back(Document(grup));
        }
    }
    return Document(std::move(index));
}

}  // namespace

Document _build_diag_index_slim(vandel::Vandel& con) {
    try {
        if (!table_exists(con)) {
            core::console().line("  [DIAG] Tablo yok, atlanıyor");
            return Document::empty_dict();
        }
        core::Table cols = con.query(kColumnProbe);
        std::unordered_set<std::string> names;
        for (size_t i = 0; i < cols.nrows(); ++i) names.insert(cols.column(0).text_form(i));

        std::string_view sql;
        if (names.count("grup") && names.count("yeni")) sql = kSlimByGroup;
        else if (names.count("katman")) sql = kSlimByLayer;
        else {
            core::console().line("  [DIAG] Ne grup ne katman kolonu var");
            return Document::empty_dict();
        }

        // The aggregate (with its fallback) runs once per connection; the memo is keyed by the
        // query chosen, so a table whose columns changed is aggregated afresh.
        const std::string memo_key =
            std::string("tarvo.marts.diag_index_slim/") + (sql == kSlimByGroup ? "grup" : "katman");
        std::shared_ptr<const SlimRows> rows;
        if (std::any* kept = con.memo(memo_key))
            if (auto* p = std::any_cast<std::shared_ptr<const SlimRows>>(kept)) rows = *p;
        if (!rows) {
            SlimRows fetched = fetch_slim(con, sql);
            if (fetched.result_rows == 0) fetched = fetch_slim(con, kSlimFallback);
            rows = std::make_shared<const SlimRows>(std::move(fetched));
            con.set_memo(memo_key, rows);
        }

        if (rows->result_rows == 0) {
            core::console().line("  [DIAG] Bulgu yok");
            return Document::empty_dict();
        }
        Document index = slim_index_of(*rows);
        core::console().line("  [DIAG] slim: " + std::to_string(index.size()) + " firma, " +
                             std::to_string(rows->result_rows) + " firma×dönem");
        return index;
    } catch (const std::exception& e) {
        core::console().line(std::string("  [DIAG] slim hata: ") + e.what());
        core::console().traceback(e, "_build_diag_index_slim");
        return Document::empty_dict();
    }
}

Document _build_diag_index_full(vandel::Vandel& con, const std::vector<std::string>& entity_ids) {
    if (entity_ids.empty()) return Document::empty_dict();
    try {
        if (!table_exists(con)) return Document::empty_dict();
        con.execute(kFilterCreate);
        con.execute(kFilterEmpty);
        {
            core::Column keys(core::Kind::str);
            keys.reserve(entity_ids.size());
            for (const std::string& id : entity_ids) keys.push_text(id);
            core::Table out;
            out.set("muta", std::move(keys));
            con.run_with_out(out, kFilterInsert);
        }
        core::Table found = con.query(kDetail);
        con.execute(kFilterDrop);

        if (found.nrows() == 0) return Document::empty_dict();
        Document index = full_index_of(found);
        core::console().line("  [DIAG] full: " + std::to_string(index.size()) + " firma, " +
                             std::to_string(found.nrows()) + " bulgu");
        return index;
    } catch (const std::exception& e) {
        core::console().line(std::string("  [DIAG] full hata: ") + e.what());
        core::console().traceback(e, "_build_diag_index_full");
        return Document::empty_dict();
    }
}

Document _build_diag_index(vandel::Vandel& con) { return _build_diag_index_slim(con); }

}  // namespace tarvo::marts
