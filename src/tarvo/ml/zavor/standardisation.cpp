#include "tarvo/ml/zavor/standardisation.hpp"

#include <algorithm>

namespace tarvo::zavor {

Standardisation Standardisation::of(const FeatureMatrix& m, size_t end_row) {
    // One pass over the rows for every feature's sums (each still added up in row order): a pass
    // per feature read the matrix nineteen times.
    std::array<double, kFeatureCount> sums{}, sums_sq{};
    std::array<size_t, kFeatureCount> counts{};
    for (size_t r = 0; r < end_row; ++r) {
        for (size_t f = 0; f < kFeatureCount; ++f) {
            const float x = m.value(r, static_cast<Feature>(f));
            if (std::isnan(x)) continue;
            sums[f] += x;
            sums_sq[f] += static_cast<double>(x) * x;
            ++counts[f];
        }
    }
    Standardisation st;
    for (size_t f = 0; f < kFeatureCount; ++f) {
        const double sum = sums[f], sum_sq = sums_sq[f];
        const size_t n = counts[f];
        const double mean = n ? sum / static_cast<double>(n) : 0;
        const double var = n ? std::max(0.0, sum_sq / static_cast<double>(n) - mean * mean) : 0;
        const double sd = std::sqrt(var);
        st.centre[f] = kFeatures[f].kind == FeatureKind::continuous ? mean : 0;
        st.scale[f] = sd > 1e-9 ? sd : 1;
        st.mean_z[f] = (mean - st.centre[f]) / st.scale[f];
    }
    return st;
}

}  // namespace tarvo::zavor
