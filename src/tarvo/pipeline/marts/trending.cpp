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

#include "tarvo/core/column.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/core/value.hpp"

namespace tarvo::marts {

namespace {

using core::Column;
using core::Dict;
using core::Document;
using core::List;
using core::Table;

constexpr double kNoScore = std::numeric_limits<double>::quiet_NaN();
// Numeric value of a YI-marked score cell.
constexpr double kYiScore = 1000;
// Scores of this magnitude or more count as no score (their whole part may not fit an int64,
// nor may the difference of two of them).
constexpr double kScoreBound = 4611686018427387904.0;  // 2^62

// ---- score cells ----------------------------------------------------------------------------

// True when the cell is the YI marker: its text form is exactly "YI" or "-1". Only an integer
// cell or a text cell can have such a text form (a double's text form carries a decimal point
// or an exponent, a null's is "None", "nan" or "<NA>"), so the test reads the cell directly.
bool is_yi_cell(const Column& c, size_t i) {
    if (c.is_int_cell(i)) return c.int_at(i) == -1;
    if (c.is_text_cell(i)) {
        const std::string& t = c.text_at(i);
        return t == "YI" || t == "-1";
    }
    return false;
}

double bounded(double x) { return std::fabs(x) < kScoreBound ? x : kNoScore; }

// Numeric score of a cell: 1000 for the YI marker, numbers as they are, texts read as decimal
// numbers; NaN for everything else.
double score_at(const Column& c, size_t i) {
    if (c.is_int_cell(i)) {
        int64_t v = c.int_at(i);
        return v == -1 ? kYiScore : bounded(static_cast<double>(v));
    }
    if (c.is_text_cell(i)) {
        const std::string& t = c.text_at(i);
        if (t == "YI" || t == "-1") return kYiScore;
        std::optional<double> d = core::parse_number(t);
        return d ? bounded(*d) : kNoScore;
    }
    std::optional<double> d = c.number_at(i);
    return d ? bounded(*d) : kNoScore;
}

// Numeric read of a risk cell: numbers as they are, texts read as decimal numbers; NaN for
// null and everything else.
double number_at(const Column& c, size_t i) {
    if (c.is_text_cell(i)) {
        std::optional<double> d = core::parse_number(c.text_at(i));
        return d ? *d : kNoScore;
    }
    return c.number_at(i).value_or(kNoScore);
}

// Whole part of a score already known to be finite and bounded.
int64_t whole(double x) { return static_cast<int64_t>(std::trunc(x)); }

std::optional<int64_t> whole_or_none(double x) {
    if (std::isnan(x)) return std::nullopt;
    return whole(x);
}

// ---- per-period columns ---------------------------------------------------------------------

std::string period_text(const Document& period) {
    return period.is_null() ? std::string("None") : period.to_value().text_form();
}

const Column* score_column(const Table& t, const Document& period) {
    return t.find("ovik" + period_text(period));
}

// Numeric scores of one period; NaN on every row when the table has no column for it.
std::vector<double> score_values(const Table& t, const Document& period) {
    std::vector<double> out(t.nrows(), kNoScore);
    if (const Column* c = score_column(t, period))
        for (size_t i = 0; i < out.size(); ++i) out[i] = score_at(*c, i);
    return out;
}

// YI flags of one period; false on every row when the table has no column for it.
std::vector<uint8_t> yi_flags(const Table& t, const Document& period) {
    std::vector<uint8_t> out(t.nrows(), 0);
    if (const Column* c = score_column(t, period))
        for (size_t i = 0; i < out.size(); ++i) out[i] = is_yi_cell(*c, i);
    return out;
}

// ---- firm keys ------------------------------------------------------------------------------

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
    bool empty() const { return texts_.empty() && numbers_.empty() && !has_missing_; }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_set<std::string, Hash, std::equal_to<>> texts_;
    std::unordered_set<double> numbers_;
    bool has_missing_ = false;
};

// ---- ordering -------------------------------------------------------------------------------

// Positions of the `limit` highest keys, highest first, NaN keys last, equal keys by position:
// the first `limit` positions that a stable descending sort would give.
std::vector<size_t> top_positions(const std::vector<double>& keys, size_t limit) {
    std::vector<size_t> pos(keys.size());
    for (size_t k = 0; k < pos.size(); ++k) pos[k] = k;
    auto before = [&](size_t a, size_t b) {
        double ka = keys[a], kb = keys[b];
        bool na = std::isnan(ka), nb = std::isnan(kb);
        if (na != nb) return nb;
        if (!na && ka != kb) return ka > kb;
        return a < b;
    };
    if (pos.size() > limit) {
        std::partial_sort(pos.begin(), pos.begin() + static_cast<std::ptrdiff_t>(limit), pos.end(),
                          before);
        pos.resize(limit);
    } else {
        std::sort(pos.begin(), pos.end(), before);
    }
    return pos;
}

// "son_risk" of the given rows as sort keys; `missing_as_zero` reads null (and anything that
// is not a number) as 0 instead of putting it last.
std::vector<double> risk_keys(const Column& son_risk, const std::vector<size_t>& rows,
                              bool missing_as_zero) {
    std::vector<double> keys(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        double v = number_at(son_risk, rows[k]);
        keys[k] = (missing_as_zero && std::isnan(v)) ? 0.0 : v;
    }
    return keys;
}

// ---- entries --------------------------------------------------------------------------------

struct EntryColumns {
    const Column& muta;
    const Column* unvan;
    const Column& son_risk;
};

Document cell(const Column* c, size_t i) { return c ? Document::of(c->get(i)) : Document(); }

Document int_or_null(std::optional<int64_t> v) { return v ? Document(*v) : Document(); }

// An entry with "muta", "unvan", "son_risk" and "score_last".
Dict base_entry(const EntryColumns& cols, size_t i, std::optional<int64_t> score_last) {
    Dict e;
    e.set("muta", cell(&cols.muta, i));
    e.set("unvan", cell(cols.unvan, i));
    e.set("son_risk", cell(&cols.son_risk, i));
    e.set("score_last", int_or_null(score_last));
    return e;
}

Document assemble(List fastest, List regime, List persistent, List low_rising, List caught,
                  List missed) {
    Dict doc;
    doc.set("fastest_rising", Document(std::move(fastest)));
    doc.set("regime_change", Document(std::move(regime)));
    doc.set("persistent_high", Document(std::move(persistent)));
    doc.set("low_but_rising", Document(std::move(low_rising)));
    doc.set("caught_yi", Document(std::move(caught)));
    doc.set("missed_yi", Document(std::move(missed)));
    return Document(std::move(doc));
}

}  // namespace

Document _build_trending_lists(vandel::Vandel& /*con*/, const Document& scoreboard) {
    core::require_dict(scoreboard, "scoreboard");
    const size_t limit = static_cast<size_t>(TRENDING_LIMIT);

    const Document* rows_doc = scoreboard.get("rows");
    const Document* meta = scoreboard.get("meta");
    const Document* periods_doc = meta ? meta->get("donemler") : nullptr;
    const List no_periods;
    const List& periods =
        (periods_doc && !periods_doc->is_null()) ? periods_doc->as_list() : no_periods;
    const bool no_rows = rows_doc == nullptr || rows_doc->is_null() || rows_doc->size() == 0;
    if (periods.size() < 2 || no_rows) return assemble({}, {}, {}, {}, {}, {});

    // Periods and the numeric columns derived from them.
    const size_t np = periods.size();
    const Document& son = periods[np - 1];
    const Document& son_1 = periods[np - 2];
    const Document& son_3 = np >= 4 ? periods[np - 4] : periods[0];

    core::RowsRef rows_ref(rows_doc);
    const Table& t = *rows_ref;
    const size_t n = t.nrows();

    const std::vector<double> score_last = score_values(t, son);
    const bool son_1_missing = son_1.is_null() || (son_1.is_text() && son_1.as_text().empty());
    const std::vector<double> score_prev1 =
        son_1_missing ? std::vector<double>(n, kNoScore) : score_values(t, son_1);
    const std::vector<double> score_prev3 = score_values(t, son_3);

    // YI sets.
    const Column& muta = t["muta"];
    const std::vector<uint8_t> is_yi_son = yi_flags(t, son);
    const std::vector<uint8_t> is_yi_son1 = yi_flags(t, son_1);

    std::vector<size_t> yi_son_rows;
    for (size_t i = 0; i < n; ++i)
        if (is_yi_son[i]) yi_son_rows.push_back(i);
    CellSet yi_mutas;
    for (size_t i : yi_son_rows) yi_mutas.add(muta, i);

    // YI in every period; only rows YI in the latest period can be, so only they are looked at.
    std::vector<uint8_t> always_yi(yi_son_rows.size(), 1);
    for (const Document& p : periods) {
        const Column* c = score_column(t, p);
        for (size_t k = 0; k < yi_son_rows.size(); ++k)
            always_yi[k] &= static_cast<uint8_t>(c != nullptr && is_yi_cell(*c, yi_son_rows[k]));
    }

    std::vector<uint8_t> non_yi(n, 1);
    if (!yi_mutas.empty())
        for (size_t i = 0; i < n; ++i) non_yi[i] = !yi_mutas.contains(muta, i);

    const Column& son_risk = t["son_risk"];
    const EntryColumns cols{muta, t.find("unvan"), son_risk};

    // New YI firms: caught when the previous score was already high or had just jumped.
    const Column* third_last = np > 2 ? score_column(t, periods[np - 3]) : nullptr;
    struct NewYi {
        size_t row;
        std::optional<int64_t> s_prev, s_prev2;
        bool prev_high, rapid_rise;
    };
    std::vector<NewYi> caught_rows, missed_rows;
    for (size_t k = 0; k < yi_son_rows.size(); ++k) {
        const size_t i = yi_son_rows[k];
        if (always_yi[k] || is_yi_son1[i]) continue;
        NewYi y{i, whole_or_none(score_prev1[i]), std::nullopt, false, false};
        if (third_last != nullptr) {
            std::string raw = third_last->text_form(i);
            if (raw != "YI" && raw != "-1")
                if (auto d = core::parse_number(raw); d && std::fabs(*d) < kScoreBound)
                    y.s_prev2 = whole(*d);
        }
        y.rapid_rise = y.s_prev2 && *y.s_prev2 < 200 && y.s_prev && *y.s_prev >= 500;
        y.prev_high = y.s_prev && *y.s_prev >= 825;
        (y.prev_high || y.rapid_rise ? caught_rows : missed_rows).push_back(y);
    }

    auto yi_list = [&](const std::vector<NewYi>& found, bool caught) {
        std::vector<size_t> rows(found.size());
        for (size_t k = 0; k < found.size(); ++k) rows[k] = found[k].row;
        std::vector<size_t> order = top_positions(risk_keys(son_risk, rows, true), limit);
        List out;
        out.reserve(order.size());
        for (size_t k : order) {
            const NewYi& y = found[k];
            Dict e = base_entry(cols, y.row, whole_or_none(score_last[y.row]));
            std::string reason;
            if (caught) {
                reason = "Yakalandı: ";
                if (y.prev_high) reason += "Önceki dönem skor: " + std::to_string(*y.s_prev);
                if (y.prev_high && y.rapid_rise) reason += ", ";
                if (y.rapid_rise)
                    reason += "Hızlı yükseliş: " + std::to_string(*y.s_prev2) + "->" +
                              std::to_string(*y.s_prev);
            } else {
                reason = "Kaçırıldı: Önceki dönem skor " +
                         (y.s_prev ? std::to_string(*y.s_prev) : std::string("?")) + " (<825)";
            }
            e.set("reason", Document(std::move(reason)));
            out.emplace_back(std::move(e));
        }
        return out;
    };
    List caught_yi = yi_list(caught_rows, true);
    List missed_yi = yi_list(missed_rows, false);

    // Rows of the table selected by a predicate over the row position, in table order.
    auto select = [&](auto&& pred) {
        std::vector<size_t> out;
        for (size_t i = 0; i < n; ++i)
            if (non_yi[i] && pred(i)) out.push_back(i);
        return out;
    };
    auto by_risk = [&](const std::vector<size_t>& rows) {
        std::vector<size_t> order = top_positions(risk_keys(son_risk, rows, false), limit);
        for (size_t& k : order) k = rows[k];
        return order;
    };

    // Fastest risers.
    List fastest;
    for (size_t i : by_risk(select([&](size_t i) {
             return score_last[i] >= 500 && score_last[i] - score_prev3[i] > 0 &&
                    score_last[i] - score_prev1[i] > 0;
         }))) {
        int64_t last = whole(score_last[i]);
        int64_t delta_3 = whole(score_last[i] - score_prev3[i]);
        Dict e = base_entry(cols, i, last);
        e.set("delta_3", Document(delta_3));
        e.set("reason", Document("Son 3 dönemde +" + std::to_string(delta_3) +
                                 " puan artış (şu an " + std::to_string(last) + ")"));
        fastest.emplace_back(std::move(e));
    }

    // Regime change: crossed 500 in the latest period after an earlier warning sign.
    const std::vector<size_t> candidates =
        select([&](size_t i) { return score_last[i] >= 500 && score_prev1[i] < 500; });
    std::vector<double> early(candidates.size(), kNoScore);
    std::vector<double> jump(candidates.size(), kNoScore);
    for (size_t p = 0; p + 1 < np; ++p) {
        const Column* c = score_column(t, periods[p]);
        if (c == nullptr) continue;
        for (size_t k = 0; k < candidates.size(); ++k) {
            if (!std::isnan(early[k])) continue;
            double v = score_at(*c, candidates[k]);
            if (v >= 325 && v < 500) early[k] = v;
        }
    }
    if (np >= 3) {
        for (size_t p = 0; p + 2 < np; ++p) {
            const Column* from = score_column(t, periods[p]);
            const Column* to = score_column(t, periods[p + 1]);
            if (from == nullptr || to == nullptr) continue;
            for (size_t k = 0; k < candidates.size(); ++k) {
                if (!std::isnan(jump[k])) continue;
                double a = score_at(*from, candidates[k]);
                double b = score_at(*to, candidates[k]);
                if (a < 100 && b >= 325) jump[k] = b;
            }
        }
    }
    struct Regime {
        size_t row;
        int64_t s_curr;
        std::string reason;
    };
    std::vector<Regime> regime_rows;
    for (size_t k = 0; k < candidates.size(); ++k) {
        bool had_early = !std::isnan(early[k]);
        if (!had_early && std::isnan(jump[k])) continue;
        size_t i = candidates[k];
        int64_t s_curr = whole(score_last[i]);
        std::string reason =
            had_early ? "Band geçişi: Önceden " + std::to_string(whole(early[k])) +
                            " skor verilmişti, şimdi " + std::to_string(s_curr)
                      : "Band geçişi: Hızlı sıçrama (" + std::to_string(whole(jump[k])) +
                            "), şimdi " + std::to_string(s_curr);
        regime_rows.push_back({i, s_curr, std::move(reason)});
    }
    std::stable_sort(regime_rows.begin(), regime_rows.end(),
                     [](const Regime& a, const Regime& b) { return a.s_curr > b.s_curr; });
    if (regime_rows.size() > limit) regime_rows.resize(limit);
    List regime;
    for (Regime& r : regime_rows) {
        Dict e = base_entry(cols, r.row, r.s_curr);
        e.set("reason", Document(std::move(r.reason)));
        regime.emplace_back(std::move(e));
    }

    // Persistently high: at or above 825 in most of the last (up to) six periods.
    const size_t n_check = std::min<size_t>(np, 6);
    const int64_t min_high_count =
        std::max<int64_t>(2, static_cast<int64_t>(static_cast<double>(n_check) * 0.75));
    std::vector<uint8_t> high_counts(n, 0);
    for (size_t p = np - n_check; p < np; ++p) {
        const Column* c = score_column(t, periods[p]);
        if (c == nullptr) continue;
        for (size_t i = 0; i < n; ++i)
            if (non_yi[i]) high_counts[i] += score_at(*c, i) >= 825;
    }
    List persistent;
    for (size_t i : by_risk(select([&](size_t i) {
             return high_counts[i] >= min_high_count && number_at(son_risk, i) > 0;
         }))) {
        Dict e = base_entry(cols, i, whole_or_none(score_last[i]));
        e.set("reason", Document("Son " + std::to_string(n_check) + " dönemin " +
                                 std::to_string(high_counts[i]) + " tanesinde skor >= 825"));
        persistent.emplace_back(std::move(e));
    }

    // Low but rising: a clear three-period gain from the low or middle range.
    List low_rising;
    for (size_t i : by_risk(select([&](size_t i) {
             return score_last[i] >= 325 && score_last[i] < 825 &&
                    score_last[i] - score_prev3[i] >= 100 && !is_yi_son1[i] &&
                    score_last[i] - score_prev1[i] > 0;
         }))) {
        int64_t last = whole(score_last[i]);
        int64_t delta_3 = whole(score_last[i] - score_prev3[i]);
        Dict e = base_entry(cols, i, last);
        e.set("delta_3", Document(delta_3));
        e.set("reason", Document("Erken sinyal: " + std::to_string(last) + " skor, +" +
                                 std::to_string(delta_3) + " artış"));
        low_rising.emplace_back(std::move(e));
    }

    return assemble(std::move(fastest), std::move(regime), std::move(persistent),
                    std::move(low_rising), std::move(caught_yi), std::move(missed_yi));
}

}  // namespace tarvo::marts
