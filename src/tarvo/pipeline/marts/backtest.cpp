#include "tarvo/pipeline/marts/backtest.hpp"

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::marts {

namespace {

using core::Document;

constexpr std::array<const char*, 3> kModels = {"eus", "yis", "ml"};

bool table_exists(vandel::Vandel& con, const std::string& table) {
    return con.query("SELECT table_name FROM information_schema.tables WHERE table_name='" + table +
                     "'")
               .nrows() > 0;
}

// The table's rows as mappings, values as fetched.
Document rows_of(const core::Table& t) {
    core::List rows;
    rows.reserve(t.nrows());
    for (size_t r = 0; r < t.nrows(); ++r) {
        core::Dict row;
        for (size_t c = 0; c < t.ncols(); ++c) row.set(t.names()[c], Document::of(t.column(c).get(r)));
        rows.emplace_back(std::move(row));
    }
    return Document(std::move(rows));
}

// The numbers of a column, nulls and NaNs left out. A text cell is an error.
std::vector<double> numbers_of(const core::Table& t, std::string_view name) {
    const core::Column& c = t[name];
    std::vector<double> out;
    for (size_t i = 0; i < c.size(); ++i) {
        if (c.is_null(i)) continue;
        std::optional<double> x = c.number_at(i);
        if (!x)
            throw core::TypeError("column " + std::string(name) + " holds a value that is not a number: '" +
                                  c.text_form(i) + "'");
        if (!std::isnan(*x)) out.push_back(*x);
    }
    return out;
}

// Sum of a count column as a whole number; 0 when the column is absent.
int64_t count_total(const core::Table& t, std::string_view name) {
    const core::Column* c = t.find(name);
    if (!c) return 0;
    if (c->kind() == core::Kind::i64) {
        int64_t sum = 0;
        for (size_t i = 0; i < c->size(); ++i)
            if (!c->is_null(i)) sum += c->int_at(i);
        return sum;
    }
    double sum = 0;
    for (double x : numbers_of(t, name)) sum += x;
    if (auto n = core::truncate_to_int(sum)) return *n;
    throw core::ValueError("cannot convert " + core::format_double(sum) + " to integer");
}

// Mean of a metric column rounded to 4 places; NaN over no value, null when the column is absent.
Document metric_mean(const core::Table& t, std::string_view name) {
    if (!t.has(name)) return Document();
    std::vector<double> xs = numbers_of(t, name);
    if (xs.empty()) return Document(std::nan(""));
    double sum = 0;
    for (double x : xs) sum += x;
    return Document(core::round_half_even(sum / static_cast<double>(xs.size()), 4));
}

Document summary_entry(const std::string& model, const core::Table& t) {
    core::Dict e;
    const auto n = static_cast<int64_t>(t.nrows());
    if (model == "ml") {
        e.set("fold_detay", rows_of(t));
        e.set("toplam_fold", Document(n));
        e.set("ort_auc", metric_mean(t, "auc"));
    } else {
        e.set("donem_metrikleri", rows_of(t));
        e.set("toplam_donem", Document(n));
        e.set("toplam_tp", Document(count_total(t, "tp")));
        e.set("toplam_fp", Document(count_total(t, "fp")));
        e.set("toplam_fn", Document(count_total(t, "fn")));
        e.set("toplam_tn", Document(count_total(t, "tn")));
    }
    e.set("ort_precision", metric_mean(t, "precision_val"));
    e.set("ort_recall", metric_mean(t, "recall_val"));
    e.set("ort_f1", metric_mean(t, "f1"));
    return Document(std::move(e));
}

Document firm_lists(const core::Table& t) {
    core::List tp, fp, fn;
    const core::Column& ids = t["entity_id"];
    const core::Column& kat = t["kategori"];
    for (size_t i = 0; i < t.nrows(); ++i) {
        if (!kat.is_text_cell(i)) continue;
        const std::string& k = kat.text_at(i);
        core::List* target = k == "TP" ? &tp : k == "FP" ? &fp : k == "FN" ? &fn : nullptr;
        if (target) target->push_back(Document::of(ids.get(i)));
    }
    core::Dict lists;
    lists.set("tp", Document(std::move(tp)));
    lists.set("fp", Document(std::move(fp)));
    lists.set("fn", Document(std::move(fn)));
    return Document(std::move(lists));
}

}  // namespace

Document _build_backtest_summary(vandel::Vandel& con) {
    core::Dict summary;
    std::vector<std::string> with_data;
    for (const std::string model : kModels) {
        const std::string table = "backtest_" + model;
        Document value;
        try {
            if (table_exists(con, table)) {
                core::Table t = con.query("SELECT * FROM " + table + " ORDER BY 1");
                if (t.nrows() > 0) value = summary_entry(model, t);
            }
        } catch (const std::exception& e) {
            core::console().line("  [BACKTEST] " + model + ": " + e.what());
            core::console().traceback(e, "_build_backtest_summary");
            value = Document();
        }
        if (!value.is_null()) with_data.push_back(model);
        summary.set(model, std::move(value));
    }
    if (!with_data.empty())
        core::console().line("  [BACKTEST] Özet: " + core::join(with_data, ", "));
    else
        core::console().line("  [BACKTEST] Tablo yok, atlanıyor");
    return Document(std::move(summary));
}

Document _build_backtest_firma_lists(vandel::Vandel& con) {
    core::Dict result;
    for (const std::string model : kModels) {
        const std::string table = "backtest_" + model + "_firma";
        Document value;
        try {
            if (table_exists(con, table)) {
                core::Table t = con.query(
                    "\n                SELECT DISTINCT CAST(entity_id AS VARCHAR) AS entity_id, kategori\n"
                    "                FROM " +
                    table +
                    "\n                WHERE kategori IN ('TP','FP','FN')\n                ORDER BY entity_id\n            ");
                if (t.nrows() > 0) value = firm_lists(t);
            }
        } catch (const std::exception& e) {
            core::console().line("  [BACKTEST] " + model + " firma: " + e.what());
            core::console().traceback(e, "_build_backtest_firma_lists");
            value = Document();
        }
        result.set(model, std::move(value));
    }
    for (const auto& [model, lists] : result) {
        if (lists.is_null()) continue;
        core::console().line("  [BACKTEST] " + model + " firma: TP=" + std::to_string(lists["tp"].size()) +
                             ", FN=" + std::to_string(lists["fn"].size()) +
                             ", FP=" + std::to_string(lists["fp"].size()));
    }
    return Document(std::move(result));
}

}  // namespace tarvo::marts
