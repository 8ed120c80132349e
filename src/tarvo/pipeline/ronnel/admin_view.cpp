#include "tarvo/pipeline/ronnel/admin_view.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "tarvo/core/text_index.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/ronnel/page_json.hpp"

namespace tarvo::ronnel {

namespace {

// Firm key (text form of "muta") -> the first scoreboard row that names it. The keys are indexed
// where they stand in the column (a key that is not a text by its text form, kept here): a map of
// every listed key, looked up with a text made of each row's key, was most of the page's lists.
class FirmRows {
public:
    explicit FirmRows(const core::Column* muta) : muta_(muta), index_(muta ? muta->size() : 0, KeyText{this}) {
        if (!muta_) return;
        for (size_t r = 0; r < muta_->size(); ++r)
            if (!muta_->is_null(r) && !muta_->is_text_cell(r)) {
                forms_.resize(muta_->size());
                break;
            }
        for (size_t r = 0; r < muta_->size(); ++r) {
            if (muta_->is_null(r)) continue;
            if (!forms_.empty() && !muta_->is_text_cell(r)) forms_[r] = muta_->text_form(r);
            size_t& first = index_[key_text(r)];
            if (first == index_.kNone) first = r;
        }
    }
    FirmRows(const FirmRows&) = delete;
    FirmRows& operator=(const FirmRows&) = delete;

    std::optional<size_t> row_of(std::string_view key) const {
        const size_t r = index_.at(key);
        return r == index_.kNone ? std::nullopt : std::optional<size_t>(r);
    }

private:
    std::string_view key_text(size_t r) const {
        return muta_->is_text_cell(r) ? std::string_view(muta_->text_at(r)) : std::string_view(forms_[r]);
    }
    struct KeyText {
        const FirmRows* rows;
        std::string_view operator()(size_t r) const { return rows->key_text(r); }
    };

    const core::Column* muta_;
    std::vector<std::string> forms_;  // the text forms of keys that are not texts, when there are such keys
    core::TextIndex<KeyText> index_;
};

// The back-test firm lists with each firm's name, {model: {category: [[id, name], ...]}}, written
// as JSON straight away: the lists hold a pair per firm, too many to build as documents first.
std::string named_firm_lists_json(const core::Document* lists, const core::Document& scoreboard) {
    if (!lists || !lists->is_dict()) return "null";
    core::RowsRef table(scoreboard.get("rows"));
    const core::Column* unvan = table->find("unvan");
    std::optional<FirmRows> rows;  // made at the first id: a run without lists reads no row
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
                std::string other;  // the text form of an id that is not a text
                const std::string_view key = id.is_text() ? std::string_view(id.as_text())
                                                          : std::string_view(other = id.to_value().text_form());
                out += '[';
                append_json_text(out, key);
                out += ',';
                if (!rows) rows.emplace(table->find("muta"));
                const std::optional<size_t> row = rows->row_of(key);
                if (unvan && row)
                    append_json_cell(out, *unvan, *row);
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

// One part of the view: its key and its script-safe JSON, written here or, for a part that arrives
// as JSON text already safe, that text where it stands (the full diagnostic index runs to tens of
// megabytes, and a copy of it was the run's peak).
struct Part {
    const char* key;
    std::string json;
    const std::string* given = nullptr;
    std::string_view text() const { return given ? std::string_view(*given) : std::string_view(json); }
    void leave_out() {
        given = nullptr;
        json = "null";
    }
};

Part document_part(const char* key, const core::Document* d) { return {key, d ? script_safe_json(*d) : "null"}; }

// A part that arrives already written as JSON text, made script-safe whatever its writer did.
Part json_text_part(const char* key, const core::Document* d) {
    if (!d || !d->is_text()) return {key, "null"};
    if (is_script_safe(d->as_text())) return {key, {}, &d->as_text()};
    std::string safe;
    append_script_safe(safe, d->as_text());
    return {key, std::move(safe)};
}

std::string key_text(const Part& p) {
    std::string out;
    append_json_text(out, p.key);
    return out;
}

// The size of view_json(parts), worked out without writing it.
size_t view_size(const std::vector<Part>& parts) {
    size_t size = 2 + (parts.empty() ? 0 : parts.size() - 1);  // the braces and the commas
    for (const Part& p : parts) size += key_text(p).size() + 1 + p.text().size();
    return size;
}

// {"key":json,...} of the parts, as the whole view written at once would read.
std::string view_json(const std::vector<Part>& parts) {
    std::string out = "{";
    out.reserve(view_size(parts));
    for (const Part& p : parts) {
        if (out.size() > 1) out += ',';
        out += key_text(p);
        out += ':';
        out += p.text();
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
    // Each part is written once, from the documents as they are, and the view once its left-out
    // parts are known.
    std::vector<Part> parts;
    parts.push_back(document_part("backtest_summary", extra.get("backtest_summary")));
    parts.push_back({"backtest_firma", named_firm_lists_json(extra.get("backtest_firma"), scoreboard)});
    parts.push_back(document_part("ml_predictions", extra.get("ml_predictions")));
    parts.push_back(json_text_part("diag_index_full", extra.get("diag_index_full_json")));
    parts.push_back(document_part("ml_model", scoreboard.get("ml_model")));

    AdminView out;
    const std::pair<const char*, const char*> trimmed[] = {
        {"diag_index_full", "Tanı bulguları"},
        {"backtest_firma", "Geri test firma listeleri"},
        {"ml_predictions", "ML tahmin listesi"},
    };
    for (const auto& [key, label] : trimmed) {
        if (view_size(parts) <= budget) break;
        Part& left_out = *std::find_if(parts.begin(), parts.end(),
                                       [key = key](const Part& p) { return std::string_view(p.key) == key; });
        const size_t part_size = left_out.text().size();
        left_out.leave_out();
        out.notes.push_back(std::string(label) + " (" + megabytes_text(static_cast<double>(part_size)) +
                            ") sayfa boyut sınırına sığmadığı için bu sayfada gösterilmiyor.");
    }
    out.json = view_json(parts);
    return out;
}

}  // namespace tarvo::ronnel
