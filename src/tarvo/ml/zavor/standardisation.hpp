// How the model sees a raw feature value: standardised on the training rows. A continuous feature
// becomes (x - mean) / sd, a missing value 0 (the mean); a flag becomes x / sd (not centred, so a
// zero stays a zero and the fitting problem stays sparse). A feature that does not vary in the
// training rows keeps scale 1.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

#include "tarvo/ml/zavor/features.hpp"

namespace tarvo::zavor {

struct Standardisation {
    std::array<double, kFeatureCount> centre{}, scale{};
    std::array<double, kFeatureCount> mean_z{};  // the standardised training mean of each feature

    // From the rows [0, end_row) of the matrix, summed in row order, so the same rows give the same bits.
    static Standardisation of(const FeatureMatrix& m, size_t end_row);

    double operator()(size_t f, float x) const { return std::isnan(x) ? 0 : (x - centre[f]) / scale[f]; }
};

}  // namespace tarvo::zavor
