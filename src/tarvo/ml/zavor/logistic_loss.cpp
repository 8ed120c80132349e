#include "tarvo/ml/zavor/logistic_loss.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "tarvo/core/parallel.hpp"

namespace tarvo::zavor {

LogisticLoss::LogisticLoss(const FeatureMatrix& m, size_t end_row, const Standardisation& standardisation, double c,
                           size_t threads)
    : m_(m),
      standardisation_(standardisation),
      c_(c),
      threads_(std::clamp<size_t>(threads, 1, kFeatureCount + 1)) {
    order_.reserve(end_row);
    for (const int8_t label : {int8_t{1}, int8_t{0}}) {
        for (size_t r = 0; r < end_row; ++r)
            if (m.label[r] == label) order_.push_back(static_cast<uint32_t>(r));
        if (label == 1) positives_ = order_.size();
    }
    z_.resize(order_.size());
    d_.resize(order_.size());
    per_row_.resize(order_.size());
    for (size_t f = 0; f < kFeatureCount; ++f)
        if (kFeatures[f].kind == FeatureKind::flag) flag_value_[f] = standardisation(f, 1.0f);
    // The continuous features (a division each) dealt out first, so each thread gets its part of them.
    variable_shares_.resize(threads_);
    size_t next = 0;
    for (const FeatureKind kind : {FeatureKind::continuous, FeatureKind::flag})
        for (size_t f = 0; f < kFeatureCount; ++f)
            if (kFeatures[f].kind == kind) {
                VariableShare& share = variable_shares_[next++ % threads_];
                if (kind == FeatureKind::continuous)
                    share.continuous |= 1u << f;
                else
                    share.flag_bits = static_cast<uint16_t>(share.flag_bits | 1u << kSlot[f]);
                if (kind == FeatureKind::flag) flag_of_bit_[kSlot[f]] = f;
            }
    variable_shares_[next % threads_].bias = true;
}

void LogisticLoss::read_row(size_t r, SparseRow& row) const {
    const float* continuous = m_.continuous.data() + r * kContinuousCount;
    const uint16_t flags = m_.flags[r];
    size_t n = 0;
    // Every feature is written and the count advances only past a non-zero one (no jump over a
    // zero); each feature's kind is known at compile time.
    [&]<size_t... F>(std::index_sequence<F...>) {
        const auto add = [&]<size_t f>(std::integral_constant<size_t, f>) {
            double z;
            if constexpr (kFeatures[f].kind == FeatureKind::continuous)
                z = standardisation_(f, continuous[kSlot[f]]);
            else
                z = (flags >> kSlot[f]) & 1u ? flag_value_[f] : 0.0;
            row.variable[n] = f;
            row.value[n] = z;
            n += z != 0;
        };
        (add(std::integral_constant<size_t, F>{}), ...);
    }(std::make_index_sequence<kFeatureCount>{});
    row.variable[n] = kFeatureCount;
    row.value[n] = 1.0;
    row.size = n + 1;
}

template <class Visit>
void LogisticLoss::for_each_batch(size_t begin, size_t end, Visit&& visit) const {
    RowBatch batch;
    batch.first = begin;
    for (size_t i = begin; i < end; ++i) {
        read_row(order_[i], batch.rows[batch.size]);
        batch.y[batch.size++] = i < positives_ ? 1.0 : -1.0;
        if (batch.size == kBatch) {
            visit(batch);
            batch.first += batch.size;
            batch.size = 0;
        }
    }
    if (batch.size) visit(batch);
}

template <class Visit>
void LogisticLoss::for_each_batch_by_rows(Visit&& visit) const {
    core::run_in_parallel_over(order_.size(), threads_, [&](size_t begin, size_t end) {
        for_each_batch(begin, end, visit);
    });
}

template <class Visit>
void LogisticLoss::for_each_value(const VariableShare& share, Visit&& visit) const {
    for (size_t i = 0; i < order_.size(); ++i) {
        const size_t r = order_[i];
        const float* continuous = m_.continuous.data() + r * kContinuousCount;
        // The continuous features one by one (which of them are the share's is known per thread,
        // so the test is always guessed right), then the share's set flags bit by bit.
        [&]<size_t... F>(std::index_sequence<F...>) {
            const auto one = [&]<size_t f>(std::integral_constant<size_t, f>) {
                if constexpr (kFeatures[f].kind == FeatureKind::continuous)
                    if (share.continuous >> f & 1u)
                        if (const double x = standardisation_(f, continuous[kSlot[f]]); x != 0) visit(i, f, x);
            };
            (one(std::integral_constant<size_t, F>{}), ...);
        }(std::make_index_sequence<kFeatureCount>{});
        for (unsigned bits = m_.flags[r] & share.flag_bits; bits != 0; bits &= bits - 1) {
            const size_t f = flag_of_bit_[static_cast<size_t>(std::countr_zero(bits))];
            if (flag_value_[f] != 0) visit(i, f, flag_value_[f]);
        }
        if (share.bias) visit(i, kFeatureCount, 1.0);
    }
}

namespace {

template <class Row>
double dot(const std::vector<double>& s, const Row& row) {
    double sum = 0;
    for (size_t k = 0; k < row.size; ++k) sum += s[row.variable[k]] * row.value[k];
    return sum;
}

}  // namespace

double LogisticLoss::value(const std::vector<double>& w) {
    for_each_batch_by_rows([&](const RowBatch& batch) {
        for (size_t b = 0; b < batch.size; ++b) {
            const size_t i = batch.first + b;
            z_[i] = dot(w, batch.rows[b]);
            const double yz = batch.y[b] * z_[i];
            per_row_[i] = yz >= 0 ? c_ * std::log(1 + std::exp(-yz)) : c_ * (-yz + std::log(1 + std::exp(yz)));
        }
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
        std::array<double, kFeatureCount + 1> sum{}, diagonal;  // this thread's own, apart from the others'
        diagonal.fill(1.0);
        for_each_value(variable_shares_[k], [&](size_t i, size_t v, double x) {
            sum[v] += z_[i] * x;
            diagonal[v] += x * x * c_ * d_[i];
        });
        variable_shares_[k].for_each_variable([&](size_t v) {
            g[v] = sum[v];
            diagonal_[v] = diagonal[v];
        });
    });
    for (size_t k = 0; k < g.size(); ++k) g[k] = w[k] + g[k];
}

void LogisticLoss::hessian_times(const std::vector<double>& s, std::vector<double>& hs) const {
    // Each row's step (s does not change during the pass), then the steps summed by variable.
    for_each_batch_by_rows([&](const RowBatch& batch) {
        for (size_t b = 0; b < batch.size; ++b)
            per_row_[batch.first + b] = c_ * d_[batch.first + b] * dot(s, batch.rows[b]);
    });
    hs.assign(variables(), 0.0);
    core::run_in_parallel(threads_, [&](size_t k) {
        std::array<double, kFeatureCount + 1> sum{};
        for_each_value(variable_shares_[k], [&](size_t i, size_t v, double x) { sum[v] += per_row_[i] * x; });
        variable_shares_[k].for_each_variable([&](size_t v) { hs[v] = sum[v]; });
    });
    for (size_t k = 0; k < hs.size(); ++k) hs[k] = s[k] + hs[k];
}

void LogisticLoss::hessian_diagonal(std::vector<double>& diagonal) const { diagonal = diagonal_; }

}  // namespace tarvo::zavor
