// The synthetic firm population behind the demo's source tree.
//
// Each firm gets fixed traits once (key, segment, branch, name, risk size, a score path kind);
// everything a period shows (score, risk, follow-up, signals) is a pure function of the
// traits, the period and the seed, so sources written one period at a time stay coherent and
// the same seed always yields the same tree.
//
// Score path kinds and what they feed on the dashboards:
//   stable     most firms, flat around a level in one of the bands
//   high       at or above 825 nearly every period (persistently high)
//   riser      flat, then rising 40-110 points a period over the last 3-6 periods (fast risers,
//              low-but-rising)
//   regime     in 325-500 for a long time, above 500 in the latest period (band change)
//   jumper     below 100, a jump to 325-500, above 500 in the latest period (band change)
//   faller     falling steadily
//   yi_caught  high scores, then legal follow-up (YI) from some period on
//   yi_missed  middling scores, then legal follow-up
//   yi_rapid   below 200, one period above 500, then legal follow-up
//   always_yi  under legal follow-up in every period
//
// The hidden hazard. Any firm outside the follow-up kinds may enter legal follow-up in a
// period t with a probability that rises with the leading signs it showed in t-1: a score that
// climbed over three periods, a growing risk, overdue days on the monitoring list, zero-check
// warnings of the rating criteria and CISS flags, plus noise (hazard_logit). About one firm in
// eight goes through a stress episode from some period on, which raises its score and risk and
// makes the signs likelier; the hazard itself reads only the signs, as a model would.
// docs/predictor.md gives the numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo::demo {

enum class PathKind : uint8_t {
    stable, high, riser, regime, jumper, faller, yi_caught, yi_missed, yi_rapid, always_yi
};

// Path kinds that end in (or start with) legal follow-up.
inline bool ends_in_follow_up(PathKind k) {
    return k == PathKind::yi_caught || k == PathKind::yi_missed || k == PathKind::yi_rapid ||
           k == PathKind::always_yi;
}

// Noise channels: 1-5 the score and list model, 10-17 the extract writers, 20-23 the hazard.
enum Channel : uint32_t {
    kOverdue = 10,
    kCiss = 11,
    kCode = 12,
    kCodeForm = 13,
    kZeroCheck = 14,
    kMissingScore = 15,
    kYisNoise = 16,
    kMalformedCode = 17,
    kHazardDraw = 20,
    kHazardNoise = 21,
};

struct Firm {
    int64_t muta = 0;
    int segment = 0;  // index into kSegments
    int branch = 0;   // index into branches()
    PathKind kind = PathKind::stable;
    int first = 0;    // first active period
    int last = 0;     // last active period
    int event = -1;   // period of the path's event (rise start, jump, follow-up start, dip)
    double level = 0;
    double slope = 0;
    double risk = 0;       // total risk of the first period, TL
    double growth = 0;     // risk growth per period
    double kik_share = 0;  // part of the risk on the monitoring list; the rest is credit risk
    bool has_credit = true;
    int credit_lines = 1;
    std::string name;
    int rename_at = -1;  // from this period on the firm carries renamed(name)
    int gap_from = -1, gap_to = -1;  // periods missing from the coverage list (a target's gap)
    int group = -1;                  // risk group, or -1
    uint64_t traits = 0;             // seed of the firm's remaining fixed choices
    int yi_from = -1;                // first period under legal follow-up, or -1
    int stress_from = -1;            // first period of a stress episode, or -1
    double stress_level = 0;         // its full strength (reached after three periods)
};

// The state of one firm in one period.
struct FirmPeriod {
    bool active = false;
    bool yi = false;        // under legal or administrative follow-up
    double score = 0;       // eus score, 0-1000, two decimals (meaningless when yi)
    double kik_risk = 0;    // monitoring-list risk, TL
    double kredi_risk = 0;  // credit risk, TL
    bool on_kik = false;    // listed on the monitoring list this period
    double takip = 0;       // amount under follow-up, TL
    bool target = false;    // on the eus target list
    bool covered = false;   // on the coverage list
};

class Population {
public:
    Population(int64_t firms, int periods, uint64_t seed);

    const std::vector<Firm>& firms() const { return firms_; }
    int periods() const { return periods_; }
    // Period text of period t (0 = oldest): "YYMM"; the newest period is 2512.
    std::string period_text(int t) const;
    int year(int t) const;   // four digits
    int month(int t) const;  // 1-12

    FirmPeriod state(size_t f, int t) const;
    // Leading signs as the extracts show them: overdue days on the monitoring list, the
    // zero-check criterion `c` (0-2) of the rating data, and the two CISS flags.
    int64_t overdue_days(size_t f, int t, const FirmPeriod& p) const;
    bool zero_check(size_t f, int t, int c, const FirmPeriod& p) const;
    bool ciss(size_t f, int t, int which, const FirmPeriod& p) const;
    // Log-odds of entering follow-up in period t (t >= 1), from the signs of period t-1.
    double hazard_logit(size_t f, int t) const;
    // A uniform number in [0, 1) fixed by the firm, the period and a channel.
    double noise(size_t f, int t, uint32_t channel) const;
    uint64_t bits(size_t f, int t, uint32_t channel) const;

private:
    double score_of(const Firm& firm, size_t f, int t) const;
    double stress(const Firm& firm, int t) const;
    double total_risk(const Firm& firm, size_t f, int t) const;
    void draw_follow_up(size_t f);
    std::vector<Firm> firms_;
    int periods_;
    uint64_t seed_;
};

}  // namespace tarvo::demo
