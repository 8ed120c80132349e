// L2-regularised logistic regression on standardised features, fitted with liblinear's
// primal trust-region solver (L2R_LR; no random shuffling, so the same rows give the same
// weights). The bias is a constant feature of value 1.
//
// Standardisation uses the training rows only: a continuous feature becomes (x - mean) / sd, a
// missing value 0 (the mean); a flag becomes x / sd (not centred). A feature that does not vary
// in the training rows keeps scale 1.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "tarvo/ml/zavor/features.hpp"

namespace tarvo::zavor {

class LogisticModel {
public:
    static constexpr double kC = 1.0;      // inverse regularisation strength
    static constexpr double kEps = 0.01;   // solver's stopping tolerance (liblinear's default)

    // Fits on the rows [0, end_row) of the matrix, which must all be labelled (0 or 1).
    // Nothing when those rows hold only one class (or none).
    static std::optional<LogisticModel> fit(const FeatureMatrix& m, size_t end_row);

    // Probability of the positive class for one row of raw feature values.
    double probability(const float* raw) const;
    // How much each feature moves the row's log-odds away from the average training row:
    // weight * (standardised value - its training mean).
    std::array<double, kFeatureCount> contributions(const float* raw) const;
    // Weights of the standardised features, and the bias weight.
    const std::array<double, kFeatureCount>& weights() const { return weight_; }
    double bias() const { return bias_; }

private:
    double standardised(size_t f, float x) const;
    std::array<double, kFeatureCount> centre_{}, scale_{}, mean_z_{}, weight_{};
    double bias_ = 0;
};

}  // namespace tarvo::zavor
