#include "tarvo/pipeline/marts/enrichment.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/core/text.hpp"

namespace tarvo::marts {

namespace {

using core::Column;
using core::Document;

struct ListFlag {
    const char* list;
    const char* flag;
};

// Trending list to row flag, in the order flags are written and reasons collected.
constexpr ListFlag kFlagMap[] = {
    {"fastest_rising", "_hizli_yukselen"}, {"regime_change", "_rejim_degisimi"},
    {"persistent_high", "_potansiyel_yi"}, {"low_but_rising", "_erken_sinyal"},
    {"caught_yi", "_yakalanan"},           {"missed_yi", "_kacirilan"},
};
constexpr size_t kFlags = std::size(kFlagMap);

// What one firm earned: a bit per list of kFlagMap, and its reasons.
struct Earned {
    uint8_t flags = 0;
    std::vector<std::string> reasons;
    std::string joined;
};

struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using EarnedByMuta = std::unordered_map<std::string, Earned, Hash, std::equal_to<>>;

EarnedByMuta collect(const Document& trending) {
    EarnedByMuta earned;
    for (size_t k = 0; k < kFlags; ++k) {
        const Document* list = trending.get(kFlagMap[k].list);
        if (list == nullptr) continue;
        for (const Document& entry : list->as_list()) {
            const Document* muta = entry.get("muta");
            Earned& e = earned[muta ? muta->to_value().text_form() : std::string()];
            e.flags |= static_cast<uint8_t>(1u << k);
            const Document* reason = entry.get("reason");
            if (reason && reason->is_text() && !reason->as_text().empty())
                e.reasons.push_back(reason->as_text());
        }
    }
    for (auto& [muta, e] : earned) e.joined = core::join(e.reasons, " | ");
    return earned;
}

const Earned* find(const EarnedByMuta& earned, std::string_view muta) {
    auto it = earned.find(muta);
    return it == earned.end() ? nullptr : &it->second;
}

}  // namespace

void _enrich_with_trending(Document& scoreboard, const Document& trending) {
    core::require_dict(scoreboard, "scoreboard");
    core::require_dict(trending, "trending");

    const EarnedByMuta earned = collect(trending);

    int64_t enriched = 0;
    if (Document* rows = scoreboard.get("rows")) {
        if (!rows->is_rows()) *rows = Document::rows(core::rows_to_table(*rows));
        core::Table& table = rows->as_rows();
        const size_t n = table.nrows();
        const Column* muta = table.find("muta");

        std::vector<Column> flags;
        for (size_t k = 0; k < kFlags; ++k) {
            flags.emplace_back(core::i64);
            flags.back().reserve(n);
        }
        Column reasons(core::str);
        reasons.reserve(n);

        for (size_t i = 0; i < n; ++i) {
            const Earned* e = nullptr;
            if (muta == nullptr)
                e = find(earned, "");
            else if (muta->is_text_cell(i))
                e = find(earned, muta->text_at(i));
            else
                e = find(earned, muta->text_form(i));
            const uint8_t bits = e ? e->flags : 0;
            for (size_t k = 0; k < kFlags; ++k) flags[k].push_int((bits >> k) & 1u);
            reasons.push_text(e ? e->joined : std::string());
            enriched += bits != 0;
        }

        reasons.share_equal_texts();  // most firms earn no reason: one shared empty text
        for (size_t k = 0; k < kFlags; ++k) table.set(kFlagMap[k].flag, std::move(flags[k]));
        table.set("_ovik_neden", std::move(reasons));
    }

    // The count reads "rows" directly: a scoreboard without rows ends here.
    (void)scoreboard["rows"];
    core::console().line("    trending flags: " + std::to_string(enriched) + " entities enriched");
}

}  // namespace tarvo::marts
