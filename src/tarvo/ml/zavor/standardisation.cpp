#include "tarvo/ml/zavor/standardisation.hpp"

#include <algorithm>

namespace tarvo::zavor {

Standardisation Standardisation::of(const FeatureMatrix& m, size_t end_row) {
    Standardisation st;
    for (size_t f = 0; f < kFeatureCount; ++f) {
        double sum = 0, sum_sq = 0;
        size_t n = 0;
        for (size_t r = 0; r < end_row; ++r) {
            const float x = m.value(r, static_cast<Feature>(f));
            if (std::isnan(x)) continue;
            sum += x;
            sum_sq += static_cast<double>(x) * x;
            ++n;
        }
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
