#include "tarvo/pipeline/ronnel/admin_view.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/ronnel/page_json.hpp"

namespace tarvo::ronnel {

namespace {

// Firm key (text form of "muta") -> the scoreboard row that names it, for the keys the lists
// hold: the first row of a key, and none for a key without a row. Only the listed firms are
// looked for, and a run without lists reads no row.
using FirmRows = std::unordered_map<std::string, std::optional<size_t>>;

std::string firm_key(const core::Document& id) {
    return id.is_text() ? id.as_text() : id.to_value().text_form();
}

FirmRows firm_rows(const core::Document& lists, const core::Column* muta) {
    FirmRows rows;
    for (const auto& [model, categories] : lists.as_dict())
        if (categories.is_dict())
            for (const auto& [category, ids] : categories.as_dict())
                if (ids.is_list())
                    for (const auto& id : ids.as_list()) rows.emplace(firm_key(id), std::nullopt);
    for (size_t r = 0; muta && !rows.empty() && r < muta->size(); ++r) {
        if (muta->is_null(r)) continue;
        const auto it = rows.find(muta->text_form(r));
        if (it != rows.end() && !it->second) it->second = r;
    }
    return rows;
}

// The back-test firm lists with each firm's name, {model: {category: [[id, name], ...]}}, written
// as JSON straight away: the lists hold a pair per firm, too many to build as documents first.
std::string named_firm_lists_json(const core::Document* lists, const core::Document& scoreboard) {
    if (!lists || !lists->is_dict()) return "null";
    core::RowsRef table(scoreboard.get("rows"));
    const core::Column* unvan = table->find("unvan");
    const FirmRows rows = firm_rows(*lists, table->find("muta"));
    std::string out = "{";
    for (const auto& [model, categories] : lists->as_dict()) {
        if (out.size() > 1) out += ',';
        append_json_text(out, model);
        out += ':';
        if (!categories.is_dict()) {
            out += "null";
            continue;
        }
        out += '{';
        bool first_category = true;
        for (const auto& [category, ids] : categories.as_dict()) {
            if (!first_category) out += ',';
            first_category = false;
            append_json_text(out, category);
            out += ":[";
            static const core::List kNoIds;
            bool first_id = true;
            for (const auto& id : ids.is_list() ? ids.as_list() : kNoIds) {
                if (!first_id) out += ',';
                first_id = false;
                const std::string key = firm_key(id);
                out += '[';
                append_json_text(out, key);
                out += ',';
                const auto it = rows.find(key);
                if (unvan && it != rows.end() && it->second)
                    append_json_cell(out, *unvan, *it->second);
                else
                    out += "null";
                out += ']';
            }
            out += ']';
        }
        out += '}';
    }
    out += '}';
    return out;
}

// One part of the view: its key and its script-safe JSON.
struct Part {
    const char* key;
    std::string json;
};

std::string part_json(const core::Document* d) { return d ? script_safe_json(*d) : "null"; }

// A part that arrives already written as JSON text, made script-safe whatever its writer did
// (a safe text passes unchanged).
std::string json_text_part(const core::Document* d) {
    if (!d || !d->is_text()) return "null";
    std::string out;
    out.reserve(d->as_text().size());
    append_script_safe(out, d->as_text());
    return out;
}

// {"key":json,...} of the parts, as the whole view written at once would read.
std::string view_json(const std::vector<Part>& parts) {
    std::string out = "{";
    for (const Part& p : parts) {
        if (out.size() > 1) out += ',';
        append_json_text(out, p.key);
        out += ':';
        out += p.json;
    }
    out += '}';
    return out;
}

}  // namespace

std::string megabytes_text(double bytes) {
    const long tenths = std::lround(bytes / (1024.0 * 1024.0) * 10.0);
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " MB";
}

AdminView build_admin_view(const core::Document& extra, const core::Document& scoreboard, size_t budget) {
    // Each part is written once, from the documents as they are (no copy of the view first).
    std::vector<Part> parts;
    parts.push_back({"backtest_summary", part_json(extra.get("backtest_summary"))});
    parts.push_back({"backtest_firma", named_firm_lists_json(extra.get("backtest_firma"), scoreboard)});
    parts.push_back({"ml_predictions", part_json(extra.get("ml_predictions"))});
    parts.push_back({"diag_index_full", json_text_part(extra.get("diag_index_full_json"))});
    parts.push_back({"ml_model", part_json(scoreboard.get("ml_model"))});

    AdminView out;
    out.json = view_json(parts);
    const std::pair<const char*, const char*> trimmed[] = {
        {"diag_index_full", "Tanı bulguları"},
        {"backtest_firma", "Geri test firma listeleri"},
        {"ml_predictions", "ML tahmin listesi"},
    };
    for (const auto& [key, label] : trimmed) {
        if (out.json.size() <= budget) break;
        Part& left_out = *std::find_if(parts.begin(), parts.end(),
                                       [key = key](const Part& p) { return std::string_view(p.key) == key; });
        const size_t part_size = left_out.json.size();
        left_out.json = "null";
        out.json = view_json(parts);
        out.notes.push_back(std::string(label) + " (" + megabytes_text(static_cast<double>(part_size)) +
                            ") sayfa boyut sınırına sığmadığı için bu sayfada gösterilmiyor.");
    }
    return out;
}

}  // namespace tarvo::ronnel
