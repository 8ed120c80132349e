#include "tarvo/ml/zavor/logistic_loss.hpp"

#include <cmath>
#include <utility>

namespace tarvo::zavor {

LogisticLoss::LogisticLoss(const FeatureMatrix& m, size_t end_row, const Standardisation& standardisation, double c)
    : m_(m), end_row_(end_row), standardisation_(standardisation), c_(c), z_(end_row), d_(end_row) {
    for (size_t r = 0; r < end_row; ++r) positives_ += m.label[r] == 1;
    for (size_t f = 0; f < kFeatureCount; ++f)
        if (kFeatures[f].kind == FeatureKind::flag) flag_value_[f] = standardisation(f, 1.0f);
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
void LogisticLoss::for_each_batch(Visit&& visit) const {
    RowBatch batch;
    for (const int8_t label : {int8_t{1}, int8_t{0}}) {
        for (size_t r = 0; r < end_row_; ++r) {
            if (m_.label[r] != label) continue;
            read_row(r, batch.rows[batch.size]);
            batch.y[batch.size++] = label == 1 ? 1.0 : -1.0;
            if (batch.size == kBatch) {
                visit(batch);
                batch.first += batch.size;
                batch.size = 0;
            }
        }
    }
    if (batch.size) visit(batch);
}

namespace {

template <class Row>
double dot(const std::vector<double>& s, const Row& row) {
    double sum = 0;
    for (size_t k = 0; k < row.size; ++k) sum += s[row.variable[k]] * row.value[k];
    return sum;
}

template <class Row>
void axpy(double a, const Row& row, std::vector<double>& y) {
    for (size_t k = 0; k < row.size; ++k) y[row.variable[k]] += a * row.value[k];
}

}  // namespace

double LogisticLoss::value(const std::vector<double>& w) {
    for_each_batch([&](const RowBatch& batch) {
        for (size_t b = 0; b < batch.size; ++b) z_[batch.first + b] = dot(w, batch.rows[b]);
    });
    double f = 0;
    for (const double wi : w) f += wi * wi;
    f /= 2.0;
    for (size_t i = 0; i < z_.size(); ++i) {
        const double yz = (i < positives_ ? 1.0 : -1.0) * z_[i];
        f += yz >= 0 ? c_ * std::log(1 + std::exp(-yz)) : c_ * (-yz + std::log(1 + std::exp(yz)));
    }
    return f;
}

// The Hessian's diagonal is summed in the same pass: it needs the same per-row weights.
void LogisticLoss::gradient(const std::vector<double>& w, std::vector<double>& g) {
    std::fill(g.begin(), g.end(), 0.0);
    diagonal_.assign(variables(), 1.0);
    for_each_batch([&](const RowBatch& batch) {
        for (size_t b = 0; b < batch.size; ++b) {
            const size_t i = batch.first + b;
            const double y = batch.y[b];
            const SparseRow& row = batch.rows[b];
            const double sigma = 1 / (1 + std::exp(-y * z_[i]));
            d_[i] = sigma * (1 - sigma);
            z_[i] = c_ * (sigma - 1) * y;
            axpy(z_[i], row, g);
            for (size_t k = 0; k < row.size; ++k) diagonal_[row.variable[k]] += row.value[k] * row.value[k] * c_ * d_[i];
        }
    });
    for (size_t k = 0; k < g.size(); ++k) g[k] = w[k] + g[k];
}

void LogisticLoss::hessian_times(const std::vector<double>& s, std::vector<double>& hs) const {
    std::fill(hs.begin(), hs.end(), 0.0);
    // The batch's sums first (s does not change during the pass), then its rows' steps in order.
    for_each_batch([&](const RowBatch& batch) {
        std::array<double, kBatch> a;
        for (size_t b = 0; b < batch.size; ++b) a[b] = c_ * d_[batch.first + b] * dot(s, batch.rows[b]);
        for (size_t b = 0; b < batch.size; ++b) axpy(a[b], batch.rows[b], hs);
    });
    for (size_t k = 0; k < hs.size(); ++k) hs[k] = s[k] + hs[k];
}

void LogisticLoss::hessian_diagonal(std::vector<double>& diagonal) const { diagonal = diagonal_; }

}  // namespace tarvo::zavor
