#include "tarvo/ml/zavor/logistic_loss.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "tarvo/core/parallel.hpp"

namespace tarvo::zavor {

namespace {

template <class Lanes>
Lanes splat(double x) {
    Lanes lanes;
    for (size_t k = 0; k < sizeof(Lanes) / sizeof(double); ++k) lanes[k] = x;
    return lanes;
}

// A zero value's term becomes -0.0: x + -0.0 is x for every x, as if the term were left out.
template <class Lanes, class Mask>
Lanes left_out_where(Mask zero, Lanes term) {
    return zero ? splat<Lanes>(-0.0) : term;
}

// Standardised continuous values, as Standardisation does it for one: (x - centre) / scale, a
// missing value 0.
template <class Lanes>
Lanes standardised(Lanes x, Lanes centre, Lanes scale) {
    const Lanes z = (x - centre) / scale;
    return x != x ? Lanes{} : z;
}

}  // namespace

LogisticLoss::LogisticLoss(const FeatureMatrix& m, size_t end_row, const Standardisation& standardisation, double c,
                           size_t threads)
    : m_(m),
      standardisation_(standardisation),
      c_(c),
      threads_(std::clamp<size_t>(threads, 1, kFeatureCount + 1)) {
    static_assert(kContinuousCount % 2 == 0, "a row's continuous values are read two at a time");
    order_.reserve(end_row);
    for (const int8_t label : {int8_t{1}, int8_t{0}}) {
        for (size_t r = 0; r < end_row; ++r)
            if (m.label[r] == label) order_.push_back(static_cast<uint32_t>(r));
        if (label == 1) positives_ = order_.size();
    }
    z_.resize(order_.size());
    d_.resize(order_.size());
    per_row_.resize(order_.size());

    // The four values of a pair whose lanes are a or 0 and b or 0, looked up by the pair's two bits.
    const auto by_two_bits = [](double a, double b) {
        return std::array<Pair, 4>{Pair{0.0, 0.0}, Pair{a, 0.0}, Pair{0.0, b}, Pair{a, b}};
    };
    std::array<double, 2 * kExtraPairs> extra_value{};
    variable_of_extra_.fill(kFeatureCount + 1);
    extra_value[kFlagCount] = 1.0;
    variable_of_extra_[kFlagCount] = kFeatureCount;  // the bias
    for (size_t f = 0; f < kFeatureCount; ++f) {
        const size_t slot = kSlot[f];
        if (kFeatures[f].kind == FeatureKind::flag) {
            const double set_value = standardisation(f, 1.0f);  // a set flag's standardised value
            flag_pair_values_[slot] = by_two_bits(set_value, set_value);
            extra_value[slot] = set_value;
            variable_of_extra_[slot] = f;
        } else {
            centre_[slot / 2][slot % 2] = standardisation.centre[f];
            scale_[slot / 2][slot % 2] = standardisation.scale[f];
            variable_of_slot_[slot] = f;
        }
    }
    for (size_t p = 0; p < kExtraPairs; ++p) extra_values_[p] = by_two_bits(extra_value[2 * p], extra_value[2 * p + 1]);

    // The continuous pairs (a division each) dealt out apart from the others, so each thread gets
    // its part of them.
    variable_shares_.resize(threads_);
    for (size_t k = 0; k < threads_; ++k)
        variable_shares_[k] = {core::run_start(kContinuousPairs, k, threads_), core::run_start(kContinuousPairs, k + 1, threads_),
                               core::run_start(kExtraPairs, k, threads_), core::run_start(kExtraPairs, k + 1, threads_)};
}

// The rows are read in the solver's order, which skips the positive rows among the negative ones,
// and the processor's own prefetching missed many of them: asking for a row 32 rows ahead took a
// sixth off the fit at a million firms.
void LogisticLoss::prefetch(size_t i) const {
    __builtin_prefetch(m_.continuous.data() + size_t{order_[i]} * kContinuousCount);
}

template <class Out>
void LogisticLoss::for_each_dot(const std::vector<double>& w, size_t begin, size_t end, Out&& out) const {
    constexpr size_t kPairs = kBlock / 2;
    for (size_t i = begin; i < end; i += kBlock) {
        const size_t n = std::min(kBlock, end - i);
        // The block's raw values, rows 2q and 2q + 1 in pair q; a short block repeats its last row.
        std::array<std::array<Pair, kPairs>, kContinuousCount> raw;
        std::array<uint16_t, kBlock> flags;
        for (size_t b = 0; b < kBlock; ++b) {
            const size_t r = order_[i + std::min(b, n - 1)];
            const float* continuous = m_.continuous.data() + r * kContinuousCount;
            if (i + b + kAhead < end) prefetch(i + b + kAhead);
            for (size_t k = 0; k < kContinuousCount; ++k) raw[k][b / 2][b % 2] = continuous[k];
            flags[b] = m_.flags[r];
        }
        // Each row's sum in feature order, the bias last.
        std::array<Pair, kPairs> sum{};
        [&]<size_t... F>(std::index_sequence<F...>) {
            const auto add = [&]<size_t f>(std::integral_constant<size_t, f>) {
                for (size_t q = 0; q < kPairs; ++q) {
                    Pair x;
                    if constexpr (kFeatures[f].kind == FeatureKind::continuous) {
                        x = standardised(raw[kSlot[f]][q], splat<Pair>(standardisation_.centre[f]),
                                         splat<Pair>(standardisation_.scale[f]));
                    } else {
                        x = flag_pair_values_[kSlot[f]][(flags[2 * q] >> kSlot[f] & 1u) | (flags[2 * q + 1] >> kSlot[f] & 1u) << 1];
                    }
                    sum[q] += left_out_where(x == 0, w[f] * x);
                }
            };
            (add(std::integral_constant<size_t, F>{}), ...);
        }(std::make_index_sequence<kFeatureCount>{});
        for (size_t b = 0; b < n; ++b) out(i + b, sum[b / 2][b % 2] + w[kFeatureCount] * 1.0);
    }
}

template <class Out>
void LogisticLoss::for_each_dot_by_rows(const std::vector<double>& w, Out&& out) const {
    core::run_in_parallel_over(order_.size(), threads_, [&](size_t begin, size_t end) {
        for_each_dot(w, begin, end, out);
    });
}

template <size_t kSums, class Terms>
void LogisticLoss::sum_by_variable(const VariableShare& share, const std::array<double, kSums>& start, Terms&& terms,
                                   const std::array<std::vector<double>*, kSums>& sums) const {
    if (share.continuous_begin == share.continuous_end && share.extra_begin == share.extra_end) return;
    std::array<std::array<Pair, kContinuousPairs>, kSums> continuous_sum;
    std::array<std::array<Pair, kExtraPairs>, kSums> extra_sum;
    for (size_t k = 0; k < kSums; ++k) {
        continuous_sum[k].fill(splat<Pair>(start[k]));
        extra_sum[k].fill(splat<Pair>(start[k]));
    }
    for (size_t i = 0; i < order_.size(); ++i) {
        const size_t r = order_[i];
        const float* continuous = m_.continuous.data() + r * kContinuousCount;
        if (i + kAhead < order_.size()) prefetch(i + kAhead);
        for (size_t p = share.continuous_begin; p < share.continuous_end; ++p) {
            const Pair x = standardised(Pair{continuous[2 * p], continuous[2 * p + 1]}, centre_[p], scale_[p]);
            const std::array<Pair, kSums> t = terms(i, x);
            for (size_t k = 0; k < kSums; ++k) continuous_sum[k][p] += left_out_where(x == 0, t[k]);
        }
        const uint32_t bits = m_.flags[r] | kBiasBit;
        for (size_t p = share.extra_begin; p < share.extra_end; ++p) {
            const Pair x = extra_values_[p][bits >> (2 * p) & 3u];
            const std::array<Pair, kSums> t = terms(i, x);
            for (size_t k = 0; k < kSums; ++k) extra_sum[k][p] += left_out_where(x == 0, t[k]);
        }
    }
    for (size_t k = 0; k < kSums; ++k) {
        std::vector<double>& out = *sums[k];
        for (size_t p = share.continuous_begin; p < share.continuous_end; ++p)
            for (size_t lane = 0; lane < 2; ++lane) out[variable_of_slot_[2 * p + lane]] = continuous_sum[k][p][lane];
        for (size_t p = share.extra_begin; p < share.extra_end; ++p)
            for (size_t lane = 0; lane < 2; ++lane)
                if (const size_t v = variable_of_extra_[2 * p + lane]; v <= kFeatureCount) out[v] = extra_sum[k][p][lane];
    }
}

double LogisticLoss::value(const std::vector<double>& w) {
    for_each_dot_by_rows(w, [&](size_t i, double wx) {
        z_[i] = wx;
        const double yz = (i < positives_ ? 1.0 : -1.0) * wx;
        per_row_[i] = yz >= 0 ? c_ * std::log(1 + std::exp(-yz)) : c_ * (-yz + std::log(1 + std::exp(yz)));
    });
    double f = 0;
    for (const double wi : w) f += wi * wi;
    f /= 2.0;
    for (const double term : per_row_) f += term;
    return f;
}

// The Hessian's diagonal is summed in the same pass: it needs the same per-row weights.
void LogisticLoss::gradient(const std::vector<double>& w, std::vector<double>& g) {
    core::run_in_parallel_over(order_.size(), threads_, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const double y = i < positives_ ? 1.0 : -1.0;
            const double sigma = 1 / (1 + std::exp(-y * z_[i]));
            d_[i] = sigma * (1 - sigma);
            z_[i] = c_ * (sigma - 1) * y;
        }
    });
    g.assign(variables(), 0.0);
    diagonal_.assign(variables(), 1.0);
    core::run_in_parallel(threads_, [&](size_t k) {
        sum_by_variable<2>(variable_shares_[k], {0.0, 1.0},
                           [&](size_t i, Pair x) { return std::array<Pair, 2>{z_[i] * x, x * x * c_ * d_[i]}; },
                           {&g, &diagonal_});
    });
    for (size_t k = 0; k < g.size(); ++k) g[k] = w[k] + g[k];
}

void LogisticLoss::hessian_times(const std::vector<double>& s, std::vector<double>& hs) const {
    // Each row's step (s does not change during the pass), then the steps summed by variable.
    for_each_dot_by_rows(s, [&](size_t i, double sx) { per_row_[i] = c_ * d_[i] * sx; });
    hs.assign(variables(), 0.0);
    core::run_in_parallel(threads_, [&](size_t k) {
        sum_by_variable<1>(variable_shares_[k], {0.0}, [&](size_t i, Pair x) { return std::array<Pair, 1>{per_row_[i] * x}; },
                           {&hs});
    });
    for (size_t k = 0; k < hs.size(); ++k) hs[k] = s[k] + hs[k];
}

void LogisticLoss::hessian_diagonal(std::vector<double>& diagonal) const { diagonal = diagonal_; }

}  // namespace tarvo::zavor
