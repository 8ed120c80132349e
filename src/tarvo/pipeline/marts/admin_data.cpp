#include "tarvo/pipeline/marts/admin_data.hpp"

#include "tarvo/core/value.hpp"

namespace tarvo::marts {

using core::Document;

FirmaFilterResult filter_backtest_firma(const Document& firma_lists,
                                        const std::unordered_set<std::string>& admin_mutas) {
    core::require_dict(firma_lists, "firma_lists");
    FirmaFilterResult out{Document::empty_dict(), 0, 0};
    for (const auto& [model, categories] : firma_lists.as_dict()) {
        if (categories.is_null()) {
            out.lists.set(model, Document());
            continue;
        }
        core::Dict filtered;
        for (const auto& [category, ids] : categories.as_dict()) {
            core::List kept;
            for (const Document& id : ids.as_list()) {
                ++out.before;
                // Most ids are texts already: looked up as they stand, without a copy.
                const bool admin = id.is_text() ? admin_mutas.count(id.as_text()) > 0
                                                : admin_mutas.count(id.to_value().text_form()) > 0;
                if (admin) kept.push_back(id);
            }
            out.after += static_cast<int64_t>(kept.size());
            filtered.set(category, Document(std::move(kept)));
        }
        out.lists.set(model, Document(std::move(filtered)));
    }
    return out;
}

std::string backtest_firma_line(int64_t before, int64_t after) {
    return "  [ADMIN] backtest_firma: " + core::group_thousands(before) + " → " +
           core::group_thousands(after) + " ID (admin filtre)";
}

}  // namespace tarvo::marts
