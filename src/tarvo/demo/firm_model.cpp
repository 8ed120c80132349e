#include "tarvo/demo/firm_model.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tarvo/core/errors.hpp"
#include "tarvo/demo/names.hpp"

namespace tarvo::demo {

namespace {

constexpr int kNewestYear = 2025;
constexpr int kNewestMonth = 12;

// The hidden hazard's constants (docs/predictor.md).
constexpr double kStressShare = 0.12;       // firms with a stress episode
constexpr double kStressScoreRise = 180;    // score points added at full stress
constexpr double kStressRiskGrowth = 0.10;  // extra log-growth of risk per period at full stress
constexpr double kHazardBase = -6.5;        // log-odds of a period without any sign

uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

double unit(uint64_t bits) { return static_cast<double>(bits >> 11) * 0x1.0p-53; }

// A sequential stream for the fixed traits of the population.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(mix(seed)) {}
    uint64_t next() { return mix(state_++); }
    double uniform() { return unit(next()); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // A whole number in [lo, hi].
    int between(int lo, int hi) {
        if (hi <= lo) return lo;
        return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1));
    }
    bool chance(double p) { return uniform() < p; }
    double normal() {
        double u1 = std::max(uniform(), 1e-12), u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    uint64_t state_;
};

template <size_t N>
size_t weighted(Rng& rng, const double (&weights)[N]) {
    double total = 0;
    for (double w : weights) total += w;
    double x = rng.uniform() * total;
    for (size_t i = 0; i < N; ++i) {
        if (x < weights[i]) return i;
        x -= weights[i];
    }
    return N - 1;
}

// The period at which a firm of a follow-up path kind enters legal follow-up: often the newest
// period (a new YI firm), otherwise somewhere in the second half of the history.
int follow_up_start(Rng& rng, int periods, int earliest) {
    if (periods - 1 < earliest) return -1;
    if (rng.chance(0.3) || periods - 2 < std::max(earliest, periods / 2)) return periods - 1;
    return rng.between(std::max(earliest, periods / 2), periods - 2);
}

}  // namespace

Population::Population(int64_t firms, int periods, uint64_t seed) : periods_(periods), seed_(seed) {
    if (firms < 1) throw core::ValueError("firms must be at least 1, not " + std::to_string(firms));
    if (periods < 1 || periods > 120)
        throw core::ValueError("periods must be between 1 and 120, not " + std::to_string(periods));

    Rng rng(seed);
    const int P = periods;
    static constexpr double kSegmentWeights[] = {12, 40, 36, 12};  // KUR-TIC, KOBI, MIKRO, ESKK
    static constexpr double kKindWeights[] = {74, 6, 8, 3, 1, 4, 1.5, 1.5, 0.6, 0.4};
    static constexpr double kRiskMedian[] = {80e6, 4e6, 4e5, 20e6};
    double region_weights[8] = {};
    for (size_t r = 0; r < regions().size() && r < 8; ++r) region_weights[r] = regions()[r].weight;
    const auto all_branches = branches();

    firms_.resize(static_cast<size_t>(firms));
    int64_t muta = 1'000'000;
    for (size_t i = 0; i < firms_.size(); ++i) {
        Firm& f = firms_[i];
        muta += 1 + static_cast<int64_t>(rng.next() % 37);
        f.muta = muta;
        f.segment = static_cast<int>(weighted(rng, kSegmentWeights));
        const int region = static_cast<int>(weighted(rng, region_weights));
        f.branch = region * 8 + rng.between(0, 7);
        if (f.branch >= static_cast<int>(all_branches.size())) f.branch = 0;
        f.kind = static_cast<PathKind>(weighted(rng, kKindWeights));
        f.first = 0;
        f.last = P - 1;
        f.traits = rng.next();

        switch (f.kind) {
            case PathKind::stable: {
                const double band = rng.uniform();
                f.level = band < 0.55 ? rng.uniform(40, 320) : band < 0.82 ? rng.uniform(335, 490) : rng.uniform(510, 810);
                break;
            }
            case PathKind::high:
                f.level = rng.uniform(855, 975);
                f.event = (P >= 3 && rng.chance(0.2)) ? rng.between(0, P - 3) : -1;  // one dip
                break;
            case PathKind::riser:
                if (P < 2) {
                    f.kind = PathKind::stable;
                    f.level = rng.uniform(40, 320);
                    break;
                }
                f.level = rng.uniform(150, 420);
                f.slope = rng.uniform(40, 110);
                f.event = P - (P >= 4 ? rng.between(3, std::min(6, P - 1)) : P - 1);
                break;
            case PathKind::regime:
                if (P < 3) {
                    f.kind = PathKind::stable;
                    f.level = rng.uniform(335, 490);
                    break;
                }
                f.level = rng.uniform(345, 470);
                break;
            case PathKind::jumper:
                if (P < 4) {
                    f.kind = PathKind::stable;
                    f.level = rng.uniform(40, 320);
                    break;
                }
                f.level = rng.uniform(20, 85);
                f.event = rng.between(1, P - 3);
                break;
            case PathKind::faller:
                f.level = rng.uniform(550, 950);
                f.slope = rng.uniform(25, 70);
                break;
            case PathKind::yi_caught:
            case PathKind::yi_missed:
                f.level = f.kind == PathKind::yi_caught ? rng.uniform(850, 960) : rng.uniform(350, 760);
                f.event = follow_up_start(rng, P, 1);
                if (f.event < 0) f.kind = PathKind::stable;
                break;
            case PathKind::yi_rapid:
                f.level = rng.uniform(60, 180);
                f.slope = rng.uniform(520, 800);  // the single high score before follow-up
                f.event = follow_up_start(rng, P, 2);
                if (f.event < 0) f.kind = PathKind::stable;
                break;
            case PathKind::always_yi:
                f.level = rng.uniform(700, 950);
                f.event = 0;
                break;
        }

        if (f.kind == PathKind::stable && P >= 2) {
            if (rng.chance(0.06)) f.first = rng.between(1, P - 1);
            else if (rng.chance(0.03)) f.last = rng.between(0, P - 2);
        }

        f.risk = kRiskMedian[f.segment] * std::exp(0.9 * rng.normal());
        f.growth = rng.uniform(-0.02, 0.03);
        f.kik_share = rng.uniform(0.2, 0.45);
        f.has_credit = rng.chance(0.97);
        f.credit_lines = rng.chance(0.1) ? 2 : 1;
        f.name = firm_name(f.segment, rng.next());
        if (P >= 2 && rng.chance(0.02)) f.rename_at = rng.between(1, P - 1);
        if (rng.chance(0.06)) {
            f.gap_from = rng.between(0, P - 1);
            f.gap_to = f.gap_from + rng.between(1, 3);
        }
        const double group_share = f.segment == 0 || f.segment == 3 ? 0.35 : f.segment == 1 ? 0.15 : 0.02;
        if (rng.chance(group_share))
            f.group = rng.between(0, static_cast<int>(std::max<int64_t>(1, firms / 8)));

        // Follow-up and stress come from the firm's own bits, so the traits drawn above stay
        // what they were before the hazard existed.
        if (ends_in_follow_up(f.kind)) {
            f.yi_from = f.event;
        } else if (P >= 2) {
            const uint64_t s = mix(f.traits ^ 0x5354524553535EEDULL);
            if (unit(s) < kStressShare) {
                f.stress_from = 1 + static_cast<int>(mix(s) % static_cast<uint64_t>(P - 1));
                f.stress_level = 0.6 + 0.8 * unit(mix(s + 1));
            }
        }
    }
    for (size_t i = 0; i < firms_.size(); ++i) draw_follow_up(i);
}

double Population::stress(const Firm& firm, int t) const {
    if (firm.stress_from < 0 || t < firm.stress_from) return 0;
    return firm.stress_level * std::min(1.0, (t - firm.stress_from + 1) / 3.0);
}

double Population::total_risk(const Firm& firm, size_t f, int t) const {
    double stressed = 0;
    for (int k = firm.stress_from < 0 ? t + 1 : firm.stress_from; k <= t; ++k) stressed += stress(firm, k);
    return firm.risk * std::pow(1 + firm.growth, t) * (1 + 0.04 * (noise(f, t, 3) - 0.5)) *
           std::exp(kStressRiskGrowth * stressed);
}

int64_t Population::overdue_days(size_t f, int t, const FirmPeriod& p) const {
    if (p.yi) return 90 + static_cast<int64_t>(bits(f, t, kOverdue) % 300);
    const double chance = 0.03 + (p.score >= 700 ? 0.15 : 0.0) + 0.45 * stress(firms_[f], t);
    if (noise(f, t / 2, kOverdue) >= chance) return 0;
    return 1 + static_cast<int64_t>(bits(f, t, kOverdue + 100) % 90);
}

bool Population::zero_check(size_t f, int t, int c, const FirmPeriod& p) const {
    const double chance = 0.02 + (p.yi || p.score >= 700 ? 0.10 : 0.0) + 0.35 * stress(firms_[f], t);
    return noise(f, t / 3, kZeroCheck + static_cast<uint32_t>(c)) < chance;
}

bool Population::ciss(size_t f, int t, int which, const FirmPeriod& p) const {
    const double chance = (p.yi ? 0.5 : 0.01 + (p.score >= 650 ? 0.08 : 0.0) + 0.15 * stress(firms_[f], t)) /
                          (which == 0 ? 1 : 2);
    return noise(f, t / 2, kCiss + (which == 0 ? 0u : 100u)) < chance;
}

double Population::hazard_logit(size_t f, int t) const {
    const Firm& firm = firms_[f];
    const FirmPeriod before = state(f, t - 1);
    const double climb = t - 4 >= firm.first ? (before.score - state(f, t - 4).score) / 100 : 0;
    const double growth = t - 2 >= firm.first ? total_risk(firm, f, t - 1) / total_risk(firm, f, t - 2) - 1 : 0;
    const int64_t overdue = overdue_days(f, t - 1, before);
    const bool warning = zero_check(f, t - 1, 0, before) || zero_check(f, t - 1, 1, before) ||
                         zero_check(f, t - 1, 2, before);
    const double u1 = std::max(noise(f, t, kHazardNoise), 1e-12), u2 = noise(f, t, kHazardNoise + 1);
    const double gaussian = std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    return kHazardBase + 1.5 * std::clamp(climb, -1.0, 4.0) + 6.0 * std::clamp(growth, -0.2, 0.5) +
           (overdue > 0 ? 1.5 + 0.02 * static_cast<double>(overdue) : 0.0) + (warning ? 1.2 : 0.0) +
           (ciss(f, t - 1, 0, before) ? 0.8 : 0.0) + 0.7 * gaussian;
}

void Population::draw_follow_up(size_t f) {
    Firm& firm = firms_[f];
    if (firm.yi_from >= 0) return;
    for (int t = std::max(1, firm.first + 1); t <= firm.last; ++t) {
        const double hazard = 1 / (1 + std::exp(-hazard_logit(f, t)));
        if (noise(f, t, kHazardDraw) < hazard) {
            firm.yi_from = t;
            return;
        }
    }
}

std::string Population::period_text(int t) const {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d%02d", year(t) % 100, month(t));
    return buf;
}

int Population::year(int t) const {
    const int months = kNewestYear * 12 + (kNewestMonth - 1) - (periods_ - 1 - t);
    return months / 12;
}

int Population::month(int t) const {
    const int months = kNewestYear * 12 + (kNewestMonth - 1) - (periods_ - 1 - t);
    return months % 12 + 1;
}

uint64_t Population::bits(size_t f, int t, uint32_t channel) const {
    return mix(mix(mix(seed_ ^ (static_cast<uint64_t>(f) * 0xD1B54A32D192ED03ULL)) +
                   static_cast<uint64_t>(t + 1)) +
               channel);
}

double Population::noise(size_t f, int t, uint32_t channel) const { return unit(bits(f, t, channel)); }

double Population::score_of(const Firm& firm, size_t f, int t) const {
    const double n = 2 * noise(f, t, 1) - 1;
    const int last = periods_ - 1;
    double s = firm.level;
    switch (firm.kind) {
        case PathKind::stable: s = firm.level + 15 * n; break;
        case PathKind::high: s = t == firm.event ? firm.level - 260 + 10 * n : firm.level + 20 * n; break;
        case PathKind::riser:
            s = t < firm.event ? firm.level + 12 * n : firm.level + firm.slope * (t - firm.event + 1) + 8 * n;
            break;
        case PathKind::regime: s = t < last ? firm.level + 12 * n : 520 + 180 * noise(f, t, 2); break;
        case PathKind::jumper:
            s = t < firm.event ? firm.level + 10 * n
                : t < last     ? 340 + 140 * noise(f, t, 2)
                               : 520 + 200 * noise(f, t, 2);
            break;
        case PathKind::faller: s = firm.level - firm.slope * t + 15 * n; break;
        case PathKind::yi_caught:
        case PathKind::yi_missed:
        case PathKind::always_yi: s = firm.level + 15 * n; break;
        case PathKind::yi_rapid: s = t == firm.event - 1 ? firm.slope : firm.level + 10 * n; break;
    }
    s += kStressScoreRise * stress(firm, t);
    s = std::clamp(s, 0.0, 1000.0);
    return std::round(s * 100) / 100;
}

FirmPeriod Population::state(size_t f, int t) const {
    const Firm& firm = firms_[f];
    FirmPeriod p;
    p.active = t >= firm.first && t <= firm.last;
    if (!p.active) return p;
    p.yi = firm.yi_from >= 0 && t >= firm.yi_from;
    p.score = score_of(firm, f, t);

    const double total = total_risk(firm, f, t);
    p.kik_risk = std::round(total * firm.kik_share * 100) / 100;
    p.kredi_risk = firm.has_credit ? std::round((total - p.kik_risk) * 100) / 100 : 0;
    p.on_kik = p.yi || noise(f, t, 4) >= 0.02;
    if (p.yi) p.takip = std::round(total * (0.3 + 0.5 * unit(mix(firm.traits))));

    // The target list is drawn up before the bureau reports a new follow-up, so a firm is still
    // a target in the period its follow-up starts.
    p.target = (!p.yi || t == firm.yi_from) && (p.score >= 450 || (firm.segment == 0 && p.score >= 325));
    const bool in_gap = t >= firm.gap_from && t < firm.gap_to;
    p.covered = p.target ? !in_gap && noise(f, t, 5) >= 0.01 : noise(f, t, 5) < 0.08;
    return p;
}

}  // namespace tarvo::demo
