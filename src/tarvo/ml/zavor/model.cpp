#include "tarvo/ml/zavor/model.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tarvo/ml/zavor/logistic_loss.hpp"
#include "tarvo/ml/zavor/trust_region.hpp"

namespace tarvo::zavor {

std::optional<LogisticModel> LogisticModel::fit(const FeatureMatrix& m, size_t end_row, size_t threads) {
    size_t positives = 0;
    for (size_t r = 0; r < end_row; ++r) positives += m.label[r] == 1;
    if (positives == 0 || positives == end_row) return std::nullopt;

    LogisticModel lm;
    lm.standardised_ = Standardisation::of(m, end_row);
    LogisticLoss loss(m, end_row, lm.standardised_, kC, threads);
    std::vector<double> w(loss.variables(), 0.0);
    // The tolerance shrinks with the smaller class's share of the rows.
    const size_t smaller_class = std::max<size_t>(std::min(positives, end_row - positives), 1);
    minimise_trust_region(loss, w, {.eps = kEps * static_cast<double>(smaller_class) / static_cast<double>(end_row)});
    std::copy_n(w.begin(), kFeatureCount, lm.weight_.begin());
    lm.bias_ = w[kFeatureCount];
    return lm;
}

double LogisticModel::probability(const float* raw) const {
    double z = bias_;
    for (size_t f = 0; f < kFeatureCount; ++f) z += weight_[f] * standardised_(f, raw[f]);
    return 1 / (1 + std::exp(-z));
}

std::array<double, kFeatureCount> LogisticModel::contributions(const float* raw) const {
    std::array<double, kFeatureCount> c{};
    for (size_t f = 0; f < kFeatureCount; ++f) c[f] = weight_[f] * (standardised_(f, raw[f]) - standardised_.mean_z[f]);
    return c;
}

}  // namespace tarvo::zavor
