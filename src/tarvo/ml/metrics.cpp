#include "tarvo/ml/metrics.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace tarvo::ml {

namespace {

double rank_key(double s) { return std::isnan(s) ? -std::numeric_limits<double>::infinity() : s; }

std::optional<double> ratio(int64_t num, int64_t den) {
    if (den == 0) return std::nullopt;
    return static_cast<double>(num) / static_cast<double>(den);
}

}  // namespace

std::optional<double> auc(const std::vector<double>& scores, const std::vector<int8_t>& labels) {
    const size_t n = scores.size();
    if (std::all_of(scores.begin(), scores.end(), [](double s) { return std::isnan(s); })) return std::nullopt;
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return rank_key(scores[a]) < rank_key(scores[b]); });
    double positive_rank_sum = 0;
    int64_t positives = 0;
    for (size_t i = 0; i < n;) {
        size_t j = i;
        while (j < n && rank_key(scores[order[j]]) == rank_key(scores[order[i]])) ++j;
        const double average_rank = (static_cast<double>(i + 1) + static_cast<double>(j)) / 2;
        for (size_t k = i; k < j; ++k)
            if (labels[order[k]] == 1) {
                positive_rank_sum += average_rank;
                ++positives;
            }
        i = j;
    }
    const int64_t negatives = static_cast<int64_t>(n) - positives;
    if (positives == 0 || negatives == 0) return std::nullopt;
    const double p = static_cast<double>(positives);
    return (positive_rank_sum - p * (p + 1) / 2) / (p * static_cast<double>(negatives));
}

Measures evaluate(const std::vector<double>& scores, const std::vector<int8_t>& labels, double threshold) {
    Measures m;
    Confusion& c = m.counts;
    for (size_t i = 0; i < scores.size(); ++i) {
        const bool called = !std::isnan(scores[i]) && scores[i] >= threshold;
        const bool happened = labels[i] == 1;
        (called ? (happened ? c.tp : c.fp) : (happened ? c.fn : c.tn)) += 1;
    }
    m.precision = ratio(c.tp, c.tp + c.fp);
    m.recall = ratio(c.tp, c.tp + c.fn);
    m.f1 = ratio(2 * c.tp, 2 * c.tp + c.fp + c.fn);
    m.auc = auc(scores, labels);
    return m;
}

}  // namespace tarvo::ml
