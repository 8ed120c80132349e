// The model's fit against liblinear 2.3's L2R_LR solver (C = 1, eps = 0.01, a bias feature of
// value 1) on the same standardised rows: the weights must agree to the last bit, as the
// predictions and the back-test did when liblinear fitted them.
#include "tarvo/ml/zavor/model.hpp"

#include <gtest/gtest.h>
#include <linear.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "ml/planted_warehouse.hpp"

namespace {

using namespace tarvo;
using zavor::FeatureMatrix;
using zavor::kFeatureCount;

struct Weights {
    std::array<double, kFeatureCount> w{};
    double bias = 0;
};

void silent(const char*) {}

// liblinear's fit of the rows [0, end_row), standardised as the model standardises them.
Weights liblinear_fit(const FeatureMatrix& m, size_t end_row) {
    const zavor::Standardisation st = zavor::Standardisation::of(m, end_row);
    const int bias_index = static_cast<int>(kFeatureCount) + 1;
    std::vector<std::vector<feature_node>> nodes(end_row);
    std::vector<feature_node*> x(end_row);
    std::vector<double> y(end_row);
    for (size_t r = 0; r < end_row; ++r) {
        for (size_t f = 0; f < kFeatureCount; ++f) {
            const double z = st(f, m.value(r, static_cast<zavor::Feature>(f)));
            if (z != 0) nodes[r].push_back({static_cast<int>(f) + 1, z});
        }
        nodes[r].push_back({bias_index, 1.0});
        nodes[r].push_back({-1, 0});
        x[r] = nodes[r].data();
        y[r] = m.label[r] == 1 ? 1 : -1;
    }
    problem prob{};
    prob.l = static_cast<int>(end_row);
    prob.n = bias_index;
    prob.y = y.data();
    prob.x = x.data();
    prob.bias = 1;
    parameter param{};
    param.solver_type = L2R_LR;
    param.eps = 0.01;
    param.C = 1;
    set_print_string_function(&silent);
    model* fitted = train(&prob, &param);
    const double sign = fitted->label[0] == 1 ? 1 : -1;
    Weights out;
    for (size_t f = 0; f < kFeatureCount; ++f) out.w[f] = sign * fitted->w[f];
    out.bias = sign * fitted->w[kFeatureCount];
    free_and_destroy_model(&fitted);
    return out;
}

// The fit with one thread and with several (each pass shared out differently) against the reference.
void expect_same_fit(const FeatureMatrix& m, size_t end_row, const std::string& name) {
    const Weights reference = liblinear_fit(m, end_row);
    for (const size_t threads : {1, 2, 3, 7}) {
        const std::optional<zavor::LogisticModel> lm = zavor::LogisticModel::fit(m, end_row, threads);
        ASSERT_TRUE(lm) << name << ", " << threads << " threads";
        for (size_t f = 0; f < kFeatureCount; ++f)
            EXPECT_EQ(lm->weights()[f], reference.w[f])
                << name << ", " << threads << " threads: " << zavor::kFeatures[f].name;
        EXPECT_EQ(lm->bias(), reference.bias) << name << ", " << threads << " threads: bias";
    }
}

// A matrix of `rows` random rows: each continuous feature missing with probability `missing`,
// each flag set with probability 0.3, and the label 1 with probability `positive` (more likely
// when the score is high, so there is something to fit).
FeatureMatrix random_matrix(size_t rows, double missing, double positive, uint64_t seed) {
    FeatureMatrix m;
    m.periods = {"2401"};
    m.firms.resize(rows);
    m.resize(rows);
    m.period_start = {0, rows};
    uint64_t k = seed << 32;
    const auto unit = [&] { return static_cast<double>(fixtures::planted_bits(k++) >> 11) * 0x1.0p-53; };
    for (size_t r = 0; r < rows; ++r) {
        m.firm[r] = static_cast<int32_t>(r);
        for (size_t f = 0; f < kFeatureCount; ++f) {
            const auto feature = static_cast<zavor::Feature>(f);
            if (zavor::kFeatures[f].kind == zavor::FeatureKind::flag)
                m.set(r, feature, unit() < 0.3 ? 1.0f : 0.0f);
            else
                m.set(r, feature, unit() < missing ? std::numeric_limits<float>::quiet_NaN()
                                                   : static_cast<float>(unit() * 1000 - 300));
        }
        const float skor = m.value(r, zavor::kSkor);
        const double p = positive * (std::isnan(skor) ? 1.0 : 0.5 + skor / 1000);
        m.label[r] = unit() < p ? 1 : 0;
    }
    return m;
}

TEST(ModelFit, WeightsEqualTheReferenceSolversBitForBit) {
    struct Case {
        const char* name;
        size_t rows;
        double missing, positive;
    };
    const std::vector<Case> cases = {
        {"balanced", 5000, 0.1, 0.5},
        {"rare positives", 20000, 0.05, 0.01},
        {"mostly missing", 3000, 0.9, 0.2},
        {"nothing missing", 4000, 0.0, 0.3},
        {"three rows", 3, 0.0, 0.5},
    };
    for (const Case& c : cases) {
        FeatureMatrix m = random_matrix(c.rows, c.missing, c.positive, c.rows);
        if (c.rows == 3) m.label = {0, 1, 0};  // a negative row first, then both classes
        expect_same_fit(m, m.rows(), c.name);
    }
}

// The standardisation the fit and the reference both start from: each feature's mean and spread
// summed in row order, feature by feature, as the model has always summed them.
TEST(ModelFit, StandardisationSumsEachFeatureInRowOrder) {
    for (const double missing : {0.0, 0.3, 1.0}) {
        const FeatureMatrix m = random_matrix(30000, missing, 0.2, 11);
        const zavor::Standardisation st = zavor::Standardisation::of(m, m.rows() - 7);
        for (size_t f = 0; f < kFeatureCount; ++f) {
            double sum = 0, sum_sq = 0;
            size_t n = 0;
            for (size_t r = 0; r + 7 < m.rows(); ++r) {
                const float x = m.value(r, static_cast<zavor::Feature>(f));
                if (std::isnan(x)) continue;
                sum += x;
                sum_sq += static_cast<double>(x) * x;
                ++n;
            }
            const double mean = n ? sum / static_cast<double>(n) : 0;
            const double sd = std::sqrt(n ? std::max(0.0, sum_sq / static_cast<double>(n) - mean * mean) : 0);
            const bool continuous = zavor::kFeatures[f].kind == zavor::FeatureKind::continuous;
            EXPECT_EQ(st.centre[f], continuous ? mean : 0) << zavor::kFeatures[f].name << ", missing " << missing;
            EXPECT_EQ(st.scale[f], sd > 1e-9 ? sd : 1) << zavor::kFeatures[f].name << ", missing " << missing;
        }
    }
}

TEST(ModelFit, AFeatureThatNeverVariesKeepsScaleOneAndStillMatches) {
    FeatureMatrix m = random_matrix(2000, 0.1, 0.3, 7);
    for (size_t r = 0; r < m.rows(); ++r) {
        m.set(r, zavor::kBant, 2.0f);       // constant
        m.set(r, zavor::kSegEskk, 0.0f);    // a flag never set
        m.set(r, zavor::kRiskOran, std::numeric_limits<float>::quiet_NaN());  // always missing
    }
    expect_same_fit(m, m.rows(), "constant features");
}

TEST(ModelFit, PlantedWarehouseTrainingWindowsMatch) {
    fixtures::TempDir dir("zavor_fit");
    vandel::Vandel con((dir / "w.duckdb").string());
    fixtures::build_planted_warehouse(con, {.firms = 1500, .periods = 8});
    const FeatureMatrix m = zavor::load_features(con, 3);
    for (int32_t last_train = 1; last_train <= 4; ++last_train)
        expect_same_fit(m, m.first_row_of(last_train + 1), "training periods up to " + std::to_string(last_train));
}

}  // namespace
