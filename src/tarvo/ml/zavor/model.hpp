// L2-regularised logistic regression on standardised features (standardisation.hpp), fitted by
// trust-region Newton steps (trust_region.hpp) on the logistic loss over the matrix's own compact
// rows (logistic_loss.hpp). The bias is a constant feature of value 1. The weights are those
// liblinear's L2R_LR solver gives for the same rows with C = 1 and eps = 0.01, bit for bit, in
// a fraction of its memory.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "tarvo/ml/zavor/features.hpp"
#include "tarvo/ml/zavor/standardisation.hpp"

namespace tarvo::zavor {

class LogisticModel {
public:
    static constexpr double kC = 1.0;      // inverse regularisation strength
    static constexpr double kEps = 0.01;   // stopping tolerance, relative to the smaller class's share

    // Fits on the rows [0, end_row) of the matrix, which must all be labelled (0 or 1), with
    // `threads` sharing the work (the weights are the same for any number of them).
    // Nothing when those rows hold only one class (or none).
    static std::optional<LogisticModel> fit(const FeatureMatrix& m, size_t end_row, size_t threads = 1);

    // Probability of the positive class for one row of raw feature values.
    double probability(const float* raw) const;
    // How much each feature moves the row's log-odds away from the average training row:
    // weight * (standardised value - its training mean).
    std::array<double, kFeatureCount> contributions(const float* raw) const;
    // Weights of the standardised features, and the bias weight.
    const std::array<double, kFeatureCount>& weights() const { return weight_; }
    double bias() const { return bias_; }

private:
    Standardisation standardised_;
    std::array<double, kFeatureCount> weight_{};
    double bias_ = 0;
};

}  // namespace tarvo::zavor
