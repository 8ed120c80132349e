#include "tarvo/ml/zavor/model.hpp"

#include <linear.h>

#include <cmath>
#include <memory>
#include <vector>

#include "tarvo/core/errors.hpp"

namespace tarvo::zavor {

namespace {

void silent(const char*) {}

struct ModelDeleter {
    void operator()(model* m) const { free_and_destroy_model(&m); }
};

}  // namespace

double LogisticModel::standardised(size_t f, float x) const {
    if (std::isnan(x)) return 0;
    return (x - centre_[f]) / scale_[f];
}

std::optional<LogisticModel> LogisticModel::fit(const FeatureMatrix& m, size_t end_row) {
    size_t positives = 0;
    for (size_t r = 0; r < end_row; ++r) positives += m.label[r] == 1;
    if (positives == 0 || positives == end_row) return std::nullopt;

    // Means and spreads in one fixed order, so the same rows give the same bits.
    LogisticModel lm;
    for (size_t f = 0; f < kFeatureCount; ++f) {
        double sum = 0, sum_sq = 0;
        size_t n = 0;
        for (size_t r = 0; r < end_row; ++r) {
            const float x = m.row(r)[f];
            if (std::isnan(x)) continue;
            sum += x;
            sum_sq += static_cast<double>(x) * x;
            ++n;
        }
        const double mean = n ? sum / static_cast<double>(n) : 0;
        const double var = n ? std::max(0.0, sum_sq / static_cast<double>(n) - mean * mean) : 0;
        const double sd = std::sqrt(var);
        lm.centre_[f] = kFeatures[f].kind == FeatureKind::continuous ? mean : 0;
        lm.scale_[f] = sd > 1e-9 ? sd : 1;
        lm.mean_z_[f] = (mean - lm.centre_[f]) / lm.scale_[f];
    }

    // liblinear's rows: the non-zero standardised values, the bias node, the terminator.
    const int bias_index = static_cast<int>(kFeatureCount) + 1;
    std::vector<size_t> start(end_row + 1);
    size_t nodes = 0;
    for (size_t r = 0; r < end_row; ++r) {
        start[r] = nodes;
        for (size_t f = 0; f < kFeatureCount; ++f) nodes += lm.standardised(f, m.row(r)[f]) != 0;
        nodes += 2;
    }
    start[end_row] = nodes;
    std::vector<feature_node> space(nodes);
    std::vector<feature_node*> x(end_row);
    std::vector<double> y(end_row);
    for (size_t r = 0; r < end_row; ++r) {
        feature_node* node = &space[start[r]];
        x[r] = node;
        y[r] = m.label[r] == 1 ? 1 : -1;
        for (size_t f = 0; f < kFeatureCount; ++f) {
            const double z = lm.standardised(f, m.row(r)[f]);
            if (z != 0) *node++ = {static_cast<int>(f) + 1, z};
        }
        *node++ = {bias_index, 1.0};
        *node = {-1, 0};
    }

    problem prob{};
    prob.l = static_cast<int>(end_row);
    prob.n = bias_index;
    prob.y = y.data();
    prob.x = x.data();
    prob.bias = 1;
    parameter param{};
    param.solver_type = L2R_LR;
    param.eps = kEps;
    param.C = kC;
    if (const char* error = check_parameter(&prob, &param)) throw core::ValueError(error);
    set_print_string_function(&silent);
    std::unique_ptr<model, ModelDeleter> fitted(train(&prob, &param));

    // liblinear orders the classes +1 first for labels +1/-1; the sign follows its order.
    const double sign = fitted->label[0] == 1 ? 1 : -1;
    for (size_t f = 0; f < kFeatureCount; ++f) lm.weight_[f] = sign * fitted->w[f];
    lm.bias_ = sign * fitted->w[kFeatureCount];
    return lm;
}

double LogisticModel::probability(const float* raw) const {
    double z = bias_;
    for (size_t f = 0; f < kFeatureCount; ++f) z += weight_[f] * standardised(f, raw[f]);
    return 1 / (1 + std::exp(-z));
}

std::array<double, kFeatureCount> LogisticModel::contributions(const float* raw) const {
    std::array<double, kFeatureCount> c{};
    for (size_t f = 0; f < kFeatureCount; ++f) c[f] = weight_[f] * (standardised(f, raw[f]) - mean_z_[f]);
    return c;
}

}  // namespace tarvo::zavor
