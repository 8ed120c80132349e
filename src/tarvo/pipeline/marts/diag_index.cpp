#include "tarvo/pipeline/marts/diag_index.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/pipeline/ronnel/page_json.hpp"
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

// A period entry with both lists empty.
Document new_period_entry() {
    core::Dict e;
    e.set("bulgular", Document::empty_list());
    e.set("yeni_gruplar", Document::empty_list());
    return Document(std::move(e));
}

void append_text_form(std::string& out, const Document& cell) {
    if (cell.is_text()) out += cell.as_text();
    else out += cell.to_value().text_form();
}

// The slim index's period entries, one shared entry per distinct group list: an index of
// 800,000 firm periods holds a few hundred distinct lists, so each period costs its key and a
// reference instead of its own mapping and lists (measured: about 300 bytes less per period).
class PeriodEntries {
public:
    Document entry_for(const core::List& groups) {
        // A label's kind is part of its identity: the number 1 and the text "1" differ. Each
        // label goes in as its kind, its length and its text, so no two lists share a key.
        key_.clear();
        for (const Document& g : groups) {
            const std::string* label = &label_;
            if (g.is_text()) {
                label = &g.as_text();
            } else {
                label_.clear();
                append_text_form(label_, g);
            }
            char length[24];
            const auto written = std::to_chars(length, length + sizeof length, label->size());
            key_ += static_cast<char>('0' + static_cast<int>(g.kind()));
            key_.append(length, written.ptr);
            key_ += ':';
            key_ += *label;
        }
        auto [it, added] = by_groups_.try_emplace(key_);
        if (added) {
            Document entry = new_period_entry();
            entry["yeni_gruplar"].as_list() = groups;
            it->second = Document::shared(std::move(entry));
        }
        return it->second;
    }

private:
    std::unordered_map<std::string, Document> by_groups_;
    std::string key_, label_;
};

// One slim query made into the index, with the number of rows the query returned (kept or
// not). The index is shared: the copies a caller gets cost nothing.
struct SlimIndex {
    Document index;
    int64_t result_rows = 0;
};

// The mapping of `items` in their order, made in one step. A key that came twice (the query's
// grouping rules it out) would keep its first place and take its later value, as setting the
// items one by one does.
core::Dict mapping_of(std::vector<core::Dict::Item>& items) {
    if (std::optional<core::Dict> d = core::Dict::of_distinct(items)) return std::move(*d);
    core::Dict d;
    for (auto& [key, value] : items) d.set(key, std::move(value));
    return d;
}

// The index of the firms' period mappings in their order. A firm that came twice (the query's
// grouping and order rule it out) would have its later periods added to its first mapping.
core::Dict index_of(std::vector<core::Dict::Item>& firms) {
    if (std::optional<core::Dict> d = core::Dict::of_distinct(firms)) return std::move(*d);
    core::Dict index;
    for (auto& [key, periods] : firms) {
        Document* seen = index.find(key);
        if (!seen) {
            index.set(key, std::move(periods));
            continue;
        }
        for (auto& [donem, entry] : periods.as_dict()) seen->as_dict().set(donem, std::move(entry));
    }
    return index;
}

// Runs one slim query (muta, donem, gruplar) and builds its index. The query groups by muta and
// donem and orders by muta, so a firm's periods arrive together: they are gathered and each
// firm's mapping, then the index, is made in one step.
SlimIndex build_slim(vandel::Vandel& con, std::string_view sql) {
    PeriodEntries entries;
    std::vector<core::Dict::Item> firms, periods;
    std::string firm_key, key;
    auto close_firm = [&] {
        if (periods.empty()) return;
        firms.emplace_back(firm_key, Document(mapping_of(periods)));
        periods.clear();
    };
    SlimIndex out;
    out.result_rows = con.for_each_row(sql, [&](std::vector<Document>& row) {
        if (!row[2].is_list() || row[2].as_list().empty()) return;
        key.clear();
        append_text_form(key, row[0]);
        if (key != firm_key) {
            close_firm();
            firm_key.swap(key);
        }
        key.clear();
        append_text_form(key, row[1]);
        periods.emplace_back(key, entries.entry_for(row[2].as_list()));
    });
    close_firm();
    out.index = Document::shared(Document(index_of(firms)));
    return out;
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

// A stored cell of the finding as it is (null when the column is missing).
void append_cell(std::string& out, const core::Column* c, size_t i) {
    if (c)
        ronnel::append_json_cell(out, *c, i);
    else
        out += "null";
}

// One finding's mapping. Its group goes to `grup_out` ("" when it has none) and the returned
// value is its "yeni".
int64_t append_finding(std::string& out, const core::Table& t, size_t i, std::string& grup_out) {
    out += "{\"katman\":";
    append_cell(out, t.find("katman"), i);
    out += ",\"kriter\":";
    append_cell(out, t.find("kriter"), i);
    if (auto a = meaningful_text(t.find("aciklama"), i)) {
        out += ",\"aciklama\":";
        ronnel::append_json_text(out, *a);
    }
    if (auto d = float_of(t.find("deger"), i)) {
        out += ",\"deger\":";
        ronnel::append_json_number(out, *d);
    }
    if (auto d = float_of(t.find("onceki_deger"), i)) {
        out += ",\"onceki\":";
        ronnel::append_json_number(out, *d);
    }
    grup_out.clear();
    if (auto g = meaningful_text(t.find("grup"), i)) {
        grup_out = std::move(*g);
        out += ",\"grup\":";
        ronnel::append_json_text(out, grup_out);
    }
    const int64_t yeni = yeni_of(t.find("yeni"), i);
    out += ",\"yeni\":";
    out += std::to_string(yeni);
    out += '}';
    return yeni;
}

// The detail rows grouped by firm, then by period within the firm, each in the order its first
// row arrives; a period's rows keep their order.
struct FirmFindings {
    std::string key;
    std::vector<std::pair<std::string, std::vector<size_t>>> periods;  // period key, its rows
};

std::vector<FirmFindings> group_findings(const core::Table& t) {
    const core::Column& muta = t["muta"];
    const core::Column& donem = t["donem"];
    std::vector<FirmFindings> firms;
    std::unordered_map<std::string, size_t> firm_at;
    for (size_t i = 0; i < t.nrows(); ++i) {
        auto [it, added] = firm_at.try_emplace(muta.text_form(i), firms.size());
        if (added) firms.push_back({it->first, {}});
        auto& periods = firms[it->second].periods;
        const std::string period_key = donem.text_form(i);
        auto period = std::find_if(periods.begin(), periods.end(), [&](const auto& p) { return p.first == period_key; });
        if (period == periods.end()) period = periods.insert(periods.end(), {period_key, {}});
        period->second.push_back(i);
    }
    return firms;
}

// Somewhat more than the index's text takes: its texts, and at most about 200 bytes per finding
// of keys, numbers and punctuation (its period's and firm's included). The text is reserved at
// that size so that it is not copied while it grows; the room it leaves unused is never touched.
uint64_t size_bound(const core::Table& t) {
    uint64_t size = 2 + uint64_t{200} * t.nrows();
    for (const char* name : {"muta", "donem", "katman", "kriter", "aciklama", "grup"})
        if (const core::Column* c = t.find(name))
            for (size_t i = 0; i < t.nrows(); ++i) size += c->is_text_cell(i) ? c->text_at(i).size() : 0;
    return size;
}

// The full index of the detail rows, written as JSON straight away: a quarter of a million
// findings built as documents first took over 300 MB for a 37 MB text.
std::string full_index_json(const core::Table& t, const std::vector<FirmFindings>& firms) {
    std::string out = "{";
    // Only to spare copies: where the address space (a 32-bit process's) has no room for the
    // bound, the text grows as it goes.
    if (const uint64_t bound = size_bound(t); bound < out.max_size()) {
        try {
            out.reserve(static_cast<size_t>(bound));
        } catch (const std::bad_alloc&) {
        }
    }
    std::string grup;
    std::vector<std::string> groups;
    for (const FirmFindings& firm : firms) {
        if (out.size() > 1) out += ',';
        ronnel::append_json_text(out, firm.key);
        out += ":{";
        bool first_period = true;
        for (const auto& [period_key, rows] : firm.periods) {
            if (!first_period) out += ',';
            first_period = false;
            ronnel::append_json_text(out, period_key);
            out += ":{\"bulgular\":[";
            groups.clear();
            for (size_t k = 0; k < rows.size(); ++k) {
                if (k) out += ',';
                const bool new_group = append_finding(out, t, rows[k], grup) == 1 && !grup.empty();
                if (new_group && std::find(groups.begin(), groups.end(), grup) == groups.end()) groups.push_back(grup);
            }
            out += "],\"yeni_gruplar\":[";
            for (size_t k = 0; k < groups.size(); ++k) {
                if (k) out += ',';
                ronnel::append_json_text(out, groups[k]);
            }
            out += "]}";
        }
        out += '}';
    }
    out += '}';
    return out;
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

        // The aggregate (with its fallback) runs once per connection and its index is kept in the
        // connection's memo, keyed by the query chosen, so a table whose columns changed is
        // aggregated afresh. A later call returns the same shared index.
        const std::string memo_key =
            std::string("tarvo.marts.diag_index_slim/") + (sql == kSlimByGroup ? "grup" : "katman");
        std::shared_ptr<const SlimIndex> slim;
        if (std::any* kept = con.memo(memo_key))
            if (auto* p = std::any_cast<std::shared_ptr<const SlimIndex>>(kept)) slim = *p;
        if (!slim) {
            SlimIndex built = build_slim(con, sql);
            if (built.result_rows == 0) built = build_slim(con, kSlimFallback);
            slim = std::make_shared<const SlimIndex>(std::move(built));
            con.set_memo(memo_key, slim);
        }

        if (slim->result_rows == 0) {
            core::console().line("  [DIAG] Bulgu yok");
            return Document::empty_dict();
        }
        core::console().line("  [DIAG] slim: " + std::to_string(slim->index.size()) + " firma, " +
                             std::to_string(slim->result_rows) + " firma×dönem");
        return slim->index;
    } catch (const std::exception& e) {
        core::console().line(std::string("  [DIAG] slim hata: ") + e.what());
        core::console().traceback(e, "_build_diag_index_slim");
        return Document::empty_dict();
    }
}

std::string _build_diag_index_full(vandel::Vandel& con, const std::vector<std::string>& entity_ids) {
    if (entity_ids.empty()) return "{}";
    try {
        if (!table_exists(con)) return "{}";
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

        if (found.nrows() == 0) return "{}";
        const std::vector<FirmFindings> firms = group_findings(found);
        std::string index = full_index_json(found, firms);
        core::console().line("  [DIAG] full: " + std::to_string(firms.size()) + " firma, " +
                             std::to_string(found.nrows()) + " bulgu");
        return index;
    } catch (const std::exception& e) {
        core::console().line(std::string("  [DIAG] full hata: ") + e.what());
        core::console().traceback(e, "_build_diag_index_full");
        return "{}";
    }
}

Document _build_diag_index(vandel::Vandel& con) { return _build_diag_index_slim(con); }

}  // namespace tarvo::marts
