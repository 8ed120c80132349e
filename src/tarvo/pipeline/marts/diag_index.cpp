#include "tarvo/pipeline/marts/diag_index.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/pipeline/ronnel/page_json.hpp"
#include "tarvo/vandel/engine_settings.hpp"
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

// The detail query's columns, in its order.
enum FindingColumn : size_t { kMuta, kDonem, kKatman, kKriter, kDeger, kOnceki, kAciklama, kGrup, kYeni };

// The explanation or group of a finding when it carries one: present, and its text none of
// "", "None", "nan". The text is viewed in the chunk or in `scratch`.
std::optional<std::string_view> meaningful_text(const vandel::CellChunk& chunk, size_t c, size_t i,
                                                std::string& scratch) {
    if (chunk.is_null(c, i)) return std::nullopt;
    const std::string_view t = chunk.text_form(c, i, scratch);
    if (t.empty() || t == "None" || t == "nan") return std::nullopt;
    return t;
}

// A value converted to floating point. A NaN counts as missing, as a null does.
std::optional<double> float_of(const vandel::CellChunk& chunk, size_t c, size_t i) {
    if (chunk.is_null(c, i)) return std::nullopt;
    std::optional<double> x;
    if (const double* stored = chunk.doubles(c)) {
        x = stored[i];
    } else if (const core::Value v = chunk.value(c, i); v.is_number()) {
        x = v.to_double();
    } else if (v.is_text()) {  // a text, or a date's text
        x = core::parse_number(v.as_text());
        if (!x) throw core::ValueError("could not convert string to float: '" + v.as_text() + "'");
    } else {
        return std::nullopt;
    }
    if (std::isnan(*x)) return std::nullopt;
    return x;
}

int64_t yeni_of(const vandel::CellChunk& chunk, size_t i) {
    std::optional<double> x = float_of(chunk, kYeni, i);
    if (!x) return 0;
    if (auto n = core::truncate_to_int(*x)) return *n;
    throw core::ValueError("cannot convert " + core::format_double(*x) + " to integer");
}

// A stored cell of the finding as it is.
void append_cell(std::string& out, const vandel::CellChunk& chunk, size_t c, size_t i, std::string& scratch) {
    if (chunk.is_null(c, i))
        out += "null";
    else if (chunk.holds_text(c))
        ronnel::append_json_text(out, chunk.text_form(c, i, scratch));
    else
        ronnel::append_json_value(out, chunk.value(c, i));
}

// The full index's text, written as the detail rows stream in: holding a quarter of a million
// findings as a table, to group them before writing, added 75 MB to the run's peak. The rows come
// ordered by muta, then donem, so a firm's rows, and a period's rows within the firm, arrive
// together: each firm and each period opens at its first row and closes when the next begins.
// Cells are read where the warehouse holds them: a table made of each chunk, and a text copy of
// every key and explanation, took much of the index's time.
class FullIndexText {
public:
    void add(const vandel::CellChunk& chunk) {
        for (size_t i = 0; i < chunk.rows(); ++i) {
            const std::string_view firm = chunk.text_form(kMuta, i, firm_scratch_);
            if (firms_ == 0 || firm != firm_) open_firm(firm);
            const std::string_view period = chunk.text_form(kDonem, i, period_scratch_);
            if (!in_period_ || period != period_) open_period(period);
            if (findings_in_period_++ > 0) out_ += ',';
            if (append_finding(chunk, i) == 1 && !grup_.empty() &&
                std::find(groups_.begin(), groups_.end(), grup_) == groups_.end())
                groups_.push_back(grup_);
            ++findings_;
        }
    }
    size_t firms() const { return firms_; }
    size_t findings() const { return findings_; }
    // The whole text; nothing is added after.
    std::string finish() {
        if (firms_ > 0) close_firm();
        out_ += '}';
        return std::move(out_);
    }

private:
    // One finding's mapping. Its group goes to grup_ ("" when it has none) and the returned value
    // is its "yeni".
    int64_t append_finding(const vandel::CellChunk& chunk, size_t i) {
        out_ += "{\"katman\":";
        append_cell(out_, chunk, kKatman, i, scratch_);
        out_ += ",\"kriter\":";
        append_cell(out_, chunk, kKriter, i, scratch_);
        if (auto a = meaningful_text(chunk, kAciklama, i, scratch_)) {
            out_ += ",\"aciklama\":";
            ronnel::append_json_text(out_, *a);
        }
        if (auto d = float_of(chunk, kDeger, i)) {
            out_ += ",\"deger\":";
            ronnel::append_json_number(out_, *d);
        }
        if (auto d = float_of(chunk, kOnceki, i)) {
            out_ += ",\"onceki\":";
            ronnel::append_json_number(out_, *d);
        }
        grup_.clear();
        if (auto g = meaningful_text(chunk, kGrup, i, scratch_)) {
            grup_ = *g;
            out_ += ",\"grup\":";
            ronnel::append_json_text(out_, grup_);
        }
        const int64_t yeni = yeni_of(chunk, i);
        out_ += ",\"yeni\":";
        out_ += std::to_string(yeni);
        out_ += '}';
        return yeni;
    }
    void open_firm(std::string_view firm) {
        if (firms_++ > 0) {
            close_firm();
            out_ += ',';
        }
        firm_ = firm;
        ronnel::append_json_text(out_, firm_);
        out_ += ":{";
    }
    void close_firm() {
        close_period();
        out_ += '}';
    }
    void open_period(std::string_view period) {
        if (in_period_) {
            close_period();
            out_ += ',';
        }
        period_ = period;
        ronnel::append_json_text(out_, period_);
        out_ += ":{\"bulgular\":[";
        in_period_ = true;
        findings_in_period_ = 0;
        groups_.clear();
    }
    void close_period() {
        if (!in_period_) return;
        out_ += "],\"yeni_gruplar\":[";
        for (size_t k = 0; k < groups_.size(); ++k) {
            if (k) out_ += ',';
            ronnel::append_json_text(out_, groups_[k]);
        }
        out_ += "]}";
        in_period_ = false;
    }

    std::string out_ = "{";
    std::string firm_, period_, grup_;
    std::string firm_scratch_, period_scratch_, scratch_;  // text forms of cells that are not texts
    std::vector<std::string> groups_;  // the open period's new groups, in order of arrival
    size_t firms_ = 0, findings_ = 0, findings_in_period_ = 0;
    bool in_period_ = false;  // a period of the open firm is open
};

}  // namespace

// What the probes and the aggregate gave, ready to be reported.
struct SlimReading {
    enum class State { no_table, no_columns, read } state = State::read;
    std::string memo_key;
    std::shared_ptr<const SlimIndex> slim;
};

namespace {

// The connection's memo key of the index an aggregate query gives.
std::string slim_memo_key(std::string_view sql) {
    return std::string("tarvo.marts.diag_index_slim/") + (sql == kSlimByGroup ? "grup" : "katman");
}

// Probes the table and its columns and aggregates, unless the connection keeps the index in its
// memo (keyed by the query chosen, so a table whose columns changed is aggregated afresh).
// Prints nothing: the reading may run beside other work.
SlimReading read_slim(vandel::Vandel& con) {
    if (!table_exists(con)) return {SlimReading::State::no_table, {}, {}};
    core::Table cols = con.query(kColumnProbe);
    std::unordered_set<std::string> names;
    for (size_t i = 0; i < cols.nrows(); ++i) names.insert(cols.column(0).text_form(i));

    std::string_view sql;
    if (names.count("grup") && names.count("yeni")) sql = kSlimByGroup;
    else if (names.count("katman")) sql = kSlimByLayer;
    else return {SlimReading::State::no_columns, {}, {}};

    SlimReading reading;
    reading.memo_key = slim_memo_key(sql);
    if (std::any* kept = con.memo(reading.memo_key))
        if (auto* p = std::any_cast<std::shared_ptr<const SlimIndex>>(kept)) reading.slim = *p;
    if (!reading.slim) {
        SlimIndex built = build_slim(con, sql);
        if (built.result_rows == 0) built = build_slim(con, kSlimFallback);
        reading.slim = std::make_shared<const SlimIndex>(std::move(built));
    }
    return reading;
}

// The slim index as `read` gives it, reported; kept in the connection's memo, so a later call
// returns the same shared index.
template <class Read>
Document report_slim(vandel::Vandel& con, Read&& read) {
    try {
        const SlimReading reading = read();
        if (reading.state == SlimReading::State::no_table) {
            core::console().line("  [DIAG] Tablo yok, atlanıyor");
            return Document::empty_dict();
        }
        if (reading.state == SlimReading::State::no_columns) {
            core::console().line("  [DIAG] Ne grup ne katman kolonu var");
            return Document::empty_dict();
        }
        con.set_memo(reading.memo_key, reading.slim);
        const SlimIndex& slim = *reading.slim;
        if (slim.result_rows == 0) {
            core::console().line("  [DIAG] Bulgu yok");
            return Document::empty_dict();
        }
        core::console().line("  [DIAG] slim: " + std::to_string(slim.index.size()) + " firma, " +
                             std::to_string(slim.result_rows) + " firma×dönem");
        return slim.index;
    } catch (const std::exception& e) {
        core::console().line(std::string("  [DIAG] slim hata: ") + e.what());
        core::console().traceback(e, "_build_diag_index_slim");
        return Document::empty_dict();
    }
}

}  // namespace

SlimIndexAhead::SlimIndexAhead(vandel::Vandel& con) {
    if (vandel::run_threads() < 2) return;
    for (const std::string_view sql : {kSlimByGroup, kSlimByLayer})
        if (con.memo(slim_memo_key(sql))) return;  // read once per connection
    reading_ = std::async(std::launch::async, [other = con.another_connection()]() mutable {
        auto reading = std::make_shared<const SlimReading>(read_slim(other));
        other.close();
        return reading;
    });
}

SlimIndexAhead::~SlimIndexAhead() {
    if (reading_.valid()) reading_.wait();
}

Document _build_diag_index_slim(vandel::Vandel& con) {
    return report_slim(con, [&] { return read_slim(con); });
}

Document _build_diag_index_slim(vandel::Vandel& con, SlimIndexAhead& ahead) {
    return report_slim(con, [&] { return ahead.reading_.valid() ? *ahead.reading_.get() : read_slim(con); });
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
        FullIndexText index;
        con.for_each_cell_chunk(kDetail, [&index](const vandel::CellChunk& chunk) { index.add(chunk); });
        con.execute(kFilterDrop);

        if (index.findings() == 0) return "{}";
        core::console().line("  [DIAG] full: " + std::to_string(index.firms()) + " firma, " +
                             std::to_string(index.findings()) + " bulgu");
        return index.finish();
    } catch (const std::exception& e) {
        core::console().line(std::string("  [DIAG] full hata: ") + e.what());
        core::console().traceback(e, "_build_diag_index_full");
        return "{}";
    }
}

Document _build_diag_index(vandel::Vandel& con) { return _build_diag_index_slim(con); }

}  // namespace tarvo::marts
