#include "tarvo/ml/zavor/logistic_loss.hpp"

#include <cmath>

namespace tarvo::zavor {

LogisticLoss::LogisticLoss(const FeatureMatrix& m, size_t end_row, const Standardisation& standardisation, double c)
    : m_(m), end_row_(end_row), standardisation_(standardisation), c_(c), z_(end_row), d_(end_row) {
    for (size_t r = 0; r < end_row; ++r) positives_ += m.label[r] == 1;
    for (size_t f = 0; f < kFeatureCount; ++f)
        if (kFeatures[f].kind == FeatureKind::flag) flag_value_[f] = standardisation(f, 1.0f);
}

template <class Visit>
void LogisticLoss::for_each_row(Visit&& visit) const {
    SparseRow row;
    size_t i = 0;
    for (const int8_t label : {int8_t{1}, int8_t{0}}) {
        for (size_t r = 0; r < end_row_; ++r) {
            if (m_.label[r] != label) continue;
            const float* continuous = m_.continuous.data() + r * kContinuousCount;
            const uint16_t flags = m_.flags[r];
            row.size = 0;
            for (size_t f = 0; f < kFeatureCount; ++f) {
                const double z = kFeatures[f].kind == FeatureKind::continuous
                                     ? standardisation_(f, continuous[kSlot[f]])
                                     : ((flags >> kSlot[f]) & 1u ? flag_value_[f] : 0.0);
                if (z == 0) continue;
                row.variable[row.size] = f;
                row.value[row.size++] = z;
            }
            row.variable[row.size] = kFeatureCount;
            row.value[row.size++] = 1.0;
            visit(i++, label == 1 ? 1.0 : -1.0, row);
        }
    }
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
    for_each_row([&](size_t i, double, const SparseRow& row) { z_[i] = dot(w, row); });
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
    for_each_row([&](size_t i, double y, const SparseRow& row) {
        const double sigma = 1 / (1 + std::exp(-y * z_[i]));
        d_[i] = sigma * (1 - sigma);
        z_[i] = c_ * (sigma - 1) * y;
        axpy(z_[i], row, g);
        for (size_t k = 0; k < row.size; ++k) diagonal_[row.variable[k]] += row.value[k] * row.value[k] * c_ * d_[i];
    });
    for (size_t k = 0; k < g.size(); ++k) g[k] = w[k] + g[k];
}

void LogisticLoss::hessian_times(const std::vector<double>& s, std::vector<double>& hs) const {
    std::fill(hs.begin(), hs.end(), 0.0);
    for_each_row([&](size_t i, double, const SparseRow& row) { axpy(c_ * d_[i] * dot(s, row), row, hs); });
    for (size_t k = 0; k < hs.size(); ++k) hs[k] = s[k] + hs[k];
}

void LogisticLoss::hessian_diagonal(std::vector<double>& diagonal) const { diagonal = diagonal_; }

}  // namespace tarvo::zavor
