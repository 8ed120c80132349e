#include "tarvo/ml/metrics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace {

using tarvo::ml::auc;
using tarvo::ml::evaluate;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Metrics, AucFromTheScoresRanking) {
    struct Case {
        const char* name;
        std::vector<double> scores;
        std::vector<int8_t> labels;
        std::optional<double> expected;
    };
    const std::vector<Case> cases = {
        {"perfect", {0.1, 0.2, 0.8, 0.9}, {0, 0, 1, 1}, 1.0},
        {"reversed", {0.9, 0.8, 0.2, 0.1}, {0, 0, 1, 1}, 0.0},
        {"all tied", {5, 5, 5, 5}, {0, 1, 0, 1}, 0.5},
        {"one tie across classes", {1, 2, 2, 3}, {0, 0, 1, 1}, 0.875},
        {"missing score ranks lowest", {kNaN, 0.0, 0.5}, {1, 0, 0}, 0.0},
        {"no score at all", {kNaN, kNaN}, {0, 1}, std::nullopt},
        {"only positives", {0.1, 0.2}, {1, 1}, std::nullopt},
        {"only negatives", {0.1, 0.2}, {0, 0}, std::nullopt},
        {"empty", {}, {}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(auc(c.scores, c.labels), c.expected) << c.name;
}

TEST(Metrics, CountsAtTheThresholdAndTheirRatios) {
    // Called: 0.3 (at the threshold) and 0.7; NaN is never called.
    const auto m = evaluate({0.3, 0.7, 0.29, kNaN, 0.1}, {1, 0, 1, 1, 0}, 0.3);
    EXPECT_EQ(m.counts.tp, 1);
    EXPECT_EQ(m.counts.fp, 1);
    EXPECT_EQ(m.counts.fn, 2);
    EXPECT_EQ(m.counts.tn, 1);
    EXPECT_DOUBLE_EQ(*m.precision, 0.5);
    EXPECT_DOUBLE_EQ(*m.recall, 1.0 / 3);
    EXPECT_DOUBLE_EQ(*m.f1, 0.4);

    // Nobody called: precision is 0/0, recall and F1 are 0.
    const auto none = evaluate({0.1, 0.2}, {1, 0}, 0.3);
    EXPECT_EQ(none.precision, std::nullopt);
    EXPECT_EQ(none.recall, 0.0);
    EXPECT_EQ(none.f1, 0.0);
}

}  // namespace
