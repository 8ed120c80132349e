#include "tarvo/pipeline/marts/trending.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "tarvo/core/score_bands.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/pipeline/marts/scoreboard_reading.hpp"

namespace tarvo::marts {

namespace {

using core::Column;
using core::Dict;
using core::Document;
using core::List;
using core::SCORE_ELEVATED;
using core::SCORE_HIGH;
using core::SCORE_WARNING;
using core::Table;

constexpr size_t kLimit = static_cast<size_t>(TRENDING_LIMIT);
constexpr double kNoScore = std::numeric_limits<double>::quiet_NaN();
// Scores of this magnitude or more count as no score (their whole part may not fit an int64,
// nor may the difference of two of them).
constexpr double kScoreBound = 4611686018427387904.0;  // 2^62
// Warning signs: a jump from below kJumpStart into the elevated band; a rise from below
// kRapidRiseStart to the warning line just before a firm turns YI.
constexpr double kJumpStart = 100;
constexpr int64_t kRapidRiseStart = 200;
constexpr double kLowRisingGain = 100;  // least three-period gain of a low-but-rising firm
// Persistently high: high in kHighShare (at least kMinHighCount) of the last kLookBack periods.
constexpr size_t kLookBack = 6;
constexpr double kHighShare = 0.75;
constexpr int64_t kMinHighCount = 2;

double bounded(double x) { return std::fabs(x) < kScoreBound ? x : kNoScore; }

// Numeric score of a cell: YI_SCORE for the YI marker, numbers as they are (a boolean as 1 / 0);
// NaN for everything else.
double score_at(const Column& c, size_t i) {
    const core::ScoreCell cell = core::read_score_cell(c, i);
    if (cell.kind == core::ScoreCellKind::yi) return core::YI_SCORE;
    return cell.kind == core::ScoreCellKind::none ? kNoScore : bounded(cell.number);
}

// Whole part of a score already known to be finite and bounded.
int64_t whole(double x) { return static_cast<int64_t>(std::trunc(x)); }

std::optional<int64_t> whole_or_none(double x) { return std::isnan(x) ? std::nullopt : std::optional(whole(x)); }

// A set of cell values with value equality: texts equal texts, numbers equal numbers (1 and
// 1.0 alike, never the text "1"), and the missing value equals itself.
class CellSet {
public:
    void add(const Column& c, size_t i) {
        if (c.is_text_cell(i)) {
            texts_.emplace(c.text_at(i));
        } else if (auto d = c.number_at(i); d && !std::isnan(*d)) {
            numbers_.insert(*d);
        } else {
            has_missing_ = true;
        }
    }
    bool contains(const Column& c, size_t i) const {
        if (c.is_text_cell(i)) return texts_.find(std::string_view(c.text_at(i))) != texts_.end();
        if (auto d = c.number_at(i); d && !std::isnan(*d)) return numbers_.count(*d) > 0;
        return has_missing_;
    }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_set<std::string, Hash, std::equal_to<>> texts_;
    std::unordered_set<double> numbers_;
    bool has_missing_ = false;
};

// What every list reads: the row table, its periods, and each firm's numeric scores and YI
// flags in the latest (son), second-last (son_1) and fourth-last (son_3; the first period when
// there are fewer than four) periods. A missing period column gives no score and no YI flag.
struct RecentScores {
    RecentScores(const Table& table, const List& period_list)
        : t(table),
          periods(period_list),
          muta(table["muta"]),
          son_risk(table["son_risk"]),
          unvan(table.find("unvan")),
          last(scores_of(periods.size() - 1)),
          prev1(son_1_missing() ? std::vector<double>(t.nrows(), kNoScore) : scores_of(periods.size() - 2)),
          prev3(scores_of(periods.size() >= 4 ? periods.size() - 4 : 0)),
          yi_last(yi_flags_of(periods.size() - 1)),
          yi_prev1(yi_flags_of(periods.size() - 2)),
          non_yi(rows_of_firms_not_yi()) {}

    const Column* score_column(size_t p) const { return t.find(period_column("ovik", periods[p])); }
    double delta_1(size_t i) const { return last[i] - prev1[i]; }
    double delta_3(size_t i) const { return last[i] - prev3[i]; }

    const Table& t;
    const List& periods;
    const Column& muta;
    const Column& son_risk;
    const Column* unvan;
    const std::vector<double> last, prev1, prev3;
    const std::vector<uint8_t> yi_last, yi_prev1;
    // Rows whose "muta" is not the key of a firm YI in the latest period.
    const std::vector<uint8_t> non_yi;

private:
    bool son_1_missing() const {
        const Document& son_1 = periods[periods.size() - 2];
        return son_1.is_null() || (son_1.is_text() && son_1.as_text().empty());
    }
    std::vector<double> scores_of(size_t p) const {
        std::vector<double> out(t.nrows(), kNoScore);
        if (const Column* c = score_column(p))
            for (size_t i = 0; i < out.size(); ++i) out[i] = score_at(*c, i);
        return out;
    }
    std::vector<uint8_t> yi_flags_of(size_t p) const {
        std::vector<uint8_t> out(t.nrows(), 0);
        if (const Column* c = score_column(p))
            for (size_t i = 0; i < out.size(); ++i)
                out[i] = core::read_score_cell(*c, i).kind == core::ScoreCellKind::yi;
        return out;
    }
    std::vector<uint8_t> rows_of_firms_not_yi() const {
        CellSet yi_mutas;
        for (size_t i = 0; i < t.nrows(); ++i)
            if (yi_last[i]) yi_mutas.add(muta, i);
        std::vector<uint8_t> out(t.nrows());
        for (size_t i = 0; i < t.nrows(); ++i) out[i] = !yi_mutas.contains(muta, i);
        return out;
    }
};

// The rows of firms not YI in the latest period for which `pred` holds, in table order.
template <class Pred>
std::vector<size_t> select(const RecentScores& v, Pred pred) {
    std::vector<size_t> out;
    for (size_t i = 0; i < v.t.nrows(); ++i)
        if (v.non_yi[i] && pred(i)) out.push_back(i);
    return out;
}

// Positions of the kLimit highest keys, highest first, NaN keys last, equal keys by position:
// the first kLimit positions that a stable descending sort would give.
std::vector<size_t> top_positions(const std::vector<double>& keys) {
    std::vector<size_t> pos(keys.size());
    for (size_t k = 0; k < pos.size(); ++k) pos[k] = k;
    auto before = [&](size_t a, size_t b) {
        double ka = keys[a], kb = keys[b];
        bool na = std::isnan(ka), nb = std::isnan(kb);
        if (na != nb) return nb;
        if (!na && ka != kb) return ka > kb;
        return a < b;
    };
    const size_t keep = std::min(pos.size(), kLimit);
    std::partial_sort(pos.begin(), pos.begin() + static_cast<std::ptrdiff_t>(keep), pos.end(), before);
    pos.resize(keep);
    return pos;
}

// Positions in `rows` of the first kLimit rows by "son_risk" descending; `missing_as_zero`
// reads a risk that is not a number (null, NaN, other text) as 0 instead of putting it last.
std::vector<size_t> risk_order(const RecentScores& v, const std::vector<size_t>& rows, bool missing_as_zero) {
    std::vector<double> keys(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        const double risk = number_in_cell(v.son_risk, rows[k]).value_or(kNoScore);
        keys[k] = missing_as_zero && std::isnan(risk) ? 0.0 : risk;
    }
    return top_positions(keys);
}

// The first kLimit of `rows` by "son_risk" descending, missing risks last.
std::vector<size_t> by_risk(const RecentScores& v, const std::vector<size_t>& rows) {
    std::vector<size_t> order = risk_order(v, rows, false);
    for (size_t& k : order) k = rows[k];
    return order;
}

// An entry with "muta", "unvan", "son_risk" and "score_last".
Dict base_entry(const RecentScores& v, size_t i, std::optional<int64_t> score_last) {
    Dict e;
    e.set("muta", cell_document(&v.muta, i));
    e.set("unvan", cell_document(v.unvan, i));
    e.set("son_risk", cell_document(&v.son_risk, i));
    e.set("score_last", score_last ? Document(*score_last) : Document());
    return e;
}

void add_entry(List& list, Dict entry, std::string reason) {
    entry.set("reason", Document(std::move(reason)));
    list.emplace_back(std::move(entry));
}

std::string str(int64_t x) { return std::to_string(x); }

// Entries with "delta_3" for `rows` ordered by risk; `reason` words the latest score and the
// three-period gain.
template <class Reason>
List rising_list(const RecentScores& v, const std::vector<size_t>& rows, Reason reason) {
    List out;
    for (size_t i : by_risk(v, rows)) {
        const int64_t last = whole(v.last[i]);
        const int64_t delta_3 = whole(v.delta_3(i));
        Dict e = base_entry(v, i, last);
        e.set("delta_3", Document(delta_3));
        add_entry(out, std::move(e), reason(last, delta_3));
    }
    return out;
}

// At or above the warning line, rising over the last period and over three periods.
List fastest_rising(const RecentScores& v) {
    const auto rows = select(v, [&](size_t i) {
        return v.last[i] >= SCORE_WARNING && v.delta_3(i) > 0 && v.delta_1(i) > 0;
    });
    return rising_list(v, rows, [](int64_t last, int64_t delta_3) {
        return "Son 3 dönemde +" + str(delta_3) + " puan artış (şu an " + str(last) + ")";
    });
}

// A clear three-period gain from the low or elevated range, not YI in the second-last period.
List low_but_rising(const RecentScores& v) {
    const auto rows = select(v, [&](size_t i) {
        return v.last[i] >= SCORE_ELEVATED && v.last[i] < SCORE_HIGH && v.delta_3(i) >= kLowRisingGain &&
               !v.yi_prev1[i] && v.delta_1(i) > 0;
    });
    return rising_list(v, rows, [](int64_t last, int64_t delta_3) {
        return "Erken sinyal: " + str(last) + " skor, +" + str(delta_3) + " artış";
    });
}

// Crossed the warning line in the latest period after an earlier warning sign: a score in the
// elevated band before the latest period (the oldest counts), or else a jump from below
// kJumpStart into the elevated band between two periods before the latest.
List regime_change(const RecentScores& v) {
    const size_t np = v.periods.size();
    const std::vector<size_t> candidates =
        select(v, [&](size_t i) { return v.last[i] >= SCORE_WARNING && v.prev1[i] < SCORE_WARNING; });
    std::vector<double> early(candidates.size(), kNoScore), jump(candidates.size(), kNoScore);
    for (size_t p = 0; p + 1 < np; ++p) {
        const Column* c = v.score_column(p);
        if (c == nullptr) continue;
        for (size_t k = 0; k < candidates.size(); ++k) {
            if (!std::isnan(early[k])) continue;
            double s = score_at(*c, candidates[k]);
            if (s >= SCORE_ELEVATED && s < SCORE_WARNING) early[k] = s;
        }
    }
    for (size_t p = 0; p + 2 < np; ++p) {
        const Column* from = v.score_column(p);
        const Column* to = v.score_column(p + 1);
        if (from == nullptr || to == nullptr) continue;
        for (size_t k = 0; k < candidates.size(); ++k) {
            if (!std::isnan(jump[k])) continue;
            double a = score_at(*from, candidates[k]);
            double b = score_at(*to, candidates[k]);
            if (a < kJumpStart && b >= SCORE_ELEVATED) jump[k] = b;
        }
    }
    struct Regime {
        size_t row;
        int64_t s_curr;
        std::string reason;
    };
    std::vector<Regime> found;
    for (size_t k = 0; k < candidates.size(); ++k) {
        const bool had_early = !std::isnan(early[k]);
        if (!had_early && std::isnan(jump[k])) continue;
        const int64_t s_curr = whole(v.last[candidates[k]]);
        std::string reason = had_early ? "Band geçişi: Önceden " + str(whole(early[k])) +
                                             " skor verilmişti, şimdi " + str(s_curr)
                                       : "Band geçişi: Hızlı sıçrama (" + str(whole(jump[k])) +
                                             "), şimdi " + str(s_curr);
        found.push_back({candidates[k], s_curr, std::move(reason)});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Regime& a, const Regime& b) { return a.s_curr > b.s_curr; });
    if (found.size() > kLimit) found.resize(kLimit);
    List out;
    for (Regime& r : found) add_entry(out, base_entry(v, r.row, r.s_curr), std::move(r.reason));
    return out;
}

// High in most of the last (up to) kLookBack periods, with a positive latest risk.
List persistent_high(const RecentScores& v) {
    const size_t np = v.periods.size();
    const size_t n_check = std::min(np, kLookBack);
    const int64_t min_high_count =
        std::max(kMinHighCount, static_cast<int64_t>(static_cast<double>(n_check) * kHighShare));
    std::vector<uint8_t> high_counts(v.t.nrows(), 0);
    for (size_t p = np - n_check; p < np; ++p) {
        const Column* c = v.score_column(p);
        if (c == nullptr) continue;
        for (size_t i = 0; i < high_counts.size(); ++i)
            if (v.non_yi[i] && score_at(*c, i) >= SCORE_HIGH) ++high_counts[i];
    }
    const auto rows = select(v, [&](size_t i) {
        return high_counts[i] >= min_high_count && number_in_cell(v.son_risk, i).value_or(kNoScore) > 0;
    });
    List out;
    for (size_t i : by_risk(v, rows))
        add_entry(out, base_entry(v, i, whole_or_none(v.last[i])),
                  "Son " + std::to_string(n_check) + " dönemin " + str(high_counts[i]) +
                      " tanesinde skor >= " + str(SCORE_HIGH));
    return out;
}

// A firm YI in the latest period but not in the second-last (so not YI in every period either),
// with the previous scores that tell whether its scores foresaw it: caught when the previous
// score was high, or had just risen fast from below kRapidRiseStart to the warning line.
struct NewYi {
    size_t row;
    std::optional<int64_t> s_prev, s_prev2;
    bool prev_high, rapid_rise;
};

std::vector<NewYi> new_yi_firms(const RecentScores& v, bool caught) {
    const size_t np = v.periods.size();
    const Column* third_last = np > 2 ? v.score_column(np - 3) : nullptr;
    std::vector<NewYi> out;
    for (size_t i = 0; i < v.t.nrows(); ++i) {
        if (!v.yi_last[i] || v.yi_prev1[i]) continue;
        NewYi y{i, whole_or_none(v.prev1[i]), std::nullopt, false, false};
        if (third_last != nullptr) {
            const core::ScoreCell cell = core::read_score_cell(*third_last, i);
            if (cell.kind == core::ScoreCellKind::number) y.s_prev2 = whole_or_none(bounded(cell.number));
        }
        y.rapid_rise = y.s_prev2 && *y.s_prev2 < kRapidRiseStart && y.s_prev && *y.s_prev >= SCORE_WARNING;
        y.prev_high = y.s_prev && *y.s_prev >= SCORE_HIGH;
        if ((y.prev_high || y.rapid_rise) == caught) out.push_back(y);
    }
    return out;
}

// The new YI firms that were (`caught`) or were not foreseen, by "son_risk" descending with a
// missing risk as 0.
List new_yi_list(const RecentScores& v, bool caught, std::string (*reason)(const NewYi&)) {
    const std::vector<NewYi> found = new_yi_firms(v, caught);
    std::vector<size_t> rows;
    for (const NewYi& y : found) rows.push_back(y.row);
    List out;
    for (size_t k : risk_order(v, rows, true)) {
        const NewYi& y = found[k];
        add_entry(out, base_entry(v, y.row, whole_or_none(v.last[y.row])), reason(y));
    }
    return out;
}

List caught_yi(const RecentScores& v) {
    return new_yi_list(v, true, [](const NewYi& y) {
        std::string reason = "Yakalandı: ";
        if (y.prev_high) reason += "Önceki dönem skor: " + str(*y.s_prev);
        if (y.prev_high && y.rapid_rise) reason += ", ";
        if (y.rapid_rise) reason += "Hızlı yükseliş: " + str(*y.s_prev2) + "->" + str(*y.s_prev);
        return reason;
    });
}

List missed_yi(const RecentScores& v) {
    return new_yi_list(v, false, [](const NewYi& y) {
        return "Kaçırıldı: Önceki dönem skor " + (y.s_prev ? str(*y.s_prev) : std::string("?")) + " (<" +
               str(SCORE_HIGH) + ")";
    });
}

// The lists in document order.
constexpr std::pair<const char*, List (*)(const RecentScores&)> kLists[] = {
    {"fastest_rising", fastest_rising}, {"regime_change", regime_change},
    {"persistent_high", persistent_high}, {"low_but_rising", low_but_rising},
    {"caught_yi", caught_yi},           {"missed_yi", missed_yi},
};

}  // namespace

Document _build_trending_lists(vandel::Vandel& /*con*/, const Document& scoreboard) {
    core::require_dict(scoreboard, "scoreboard");
    const List& periods = scoreboard_periods(scoreboard);
    Dict doc;
    if (periods.size() < 2 || scoreboard_row_count(scoreboard) == 0) {
        for (const auto& [key, build] : kLists) doc.set(key, Document::empty_list());
    } else {
        core::RowsRef rows(scoreboard.get("rows"));
        const RecentScores recent(*rows, periods);
        for (const auto& [key, build] : kLists) doc.set(key, Document(build(recent)));
    }
    return Document(std::move(doc));
}

}  // namespace tarvo::marts
