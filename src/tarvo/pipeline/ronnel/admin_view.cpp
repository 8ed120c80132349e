#include "tarvo/pipeline/ronnel/admin_view.hpp"

#include <cmath>
#include <unordered_map>

#include "tarvo/pipeline/ronnel/page_json.hpp"

namespace tarvo::ronnel {

namespace {

// Firm key (text form of "muta") -> name, over every scoreboard row.
std::unordered_map<std::string, core::Value> firm_names(const core::Document& scoreboard) {
    std::unordered_map<std::string, core::Value> names;
    core::RowsRef rows(scoreboard.get("rows"));
    const core::Column* muta = rows->find("muta");
    const core::Column* unvan = rows->find("unvan");
    if (!muta) return names;
    for (size_t r = 0; r < rows->nrows(); ++r) {
        if (muta->is_null(r)) continue;
        names.emplace(muta->text_form(r), unvan ? unvan->get(r) : core::Value());
    }
    return names;
}

core::Document named_firm_lists(const core::Document* lists, const core::Document& scoreboard) {
    if (!lists || !lists->is_dict()) return core::Document();
    const auto names = firm_names(scoreboard);
    core::Dict out;
    for (const auto& [model, categories] : lists->as_dict()) {
        if (!categories.is_dict()) {
            out.set(model, core::Document());
            continue;
        }
        core::Dict per_category;
        for (const auto& [category, ids] : categories.as_dict()) {
            core::List pairs;
            if (ids.is_list()) {
                for (const auto& id : ids.as_list()) {
                    const std::string key = id.is_text() ? id.as_text() : id.to_value().text_form();
                    core::List pair;
                    pair.emplace_back(key);
                    auto it = names.find(key);
                    pair.push_back(it == names.end() ? core::Document() : core::Document::of(it->second));
                    pairs.emplace_back(std::move(pair));
                }
            }
            per_category.set(category, core::Document(std::move(pairs)));
        }
        out.set(model, core::Document(std::move(per_category)));
    }
    return core::Document(std::move(out));
}

// The value under `key`, or null when absent.
core::Document part(const core::Document& doc, std::string_view key) {
    const core::Document* d = doc.get(key);
    return d ? *d : core::Document();
}

}  // namespace

std::string megabytes_text(double bytes) {
    const long tenths = std::lround(bytes / (1024.0 * 1024.0) * 10.0);
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " MB";
}

AdminView build_admin_view(const core::Document& extra, const core::Document& scoreboard, size_t budget) {
    core::Dict view;
    view.set("backtest_summary", part(extra, "backtest_summary"));
    view.set("backtest_firma", named_firm_lists(extra.get("backtest_firma"), scoreboard));
    view.set("ml_predictions", part(extra, "ml_predictions"));
    view.set("diag_index_full", part(extra, "diag_index_full"));
    view.set("ml_model", part(scoreboard, "ml_model"));

    AdminView out;
    core::Document doc(std::move(view));
    out.json = script_safe_json(doc);
    const std::pair<const char*, const char*> trimmed[] = {
        {"diag_index_full", "Tanı bulguları"},
        {"backtest_firma", "Geri test firma listeleri"},
        {"ml_predictions", "ML tahmin listesi"},
    };
    for (const auto& [key, label] : trimmed) {
        if (out.json.size() <= budget) break;
        const size_t part_size = script_safe_json(doc[key]).size();
        doc.set(key, core::Document());
        out.json = script_safe_json(doc);
        out.notes.push_back(std::string(label) + " (" + megabytes_text(static_cast<double>(part_size)) +
                            ") sayfa boyut sınırına sığmadığı için bu sayfada gösterilmiyor.");
    }
    return out;
}

}  // namespace tarvo::ronnel
