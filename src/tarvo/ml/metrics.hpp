// Measures of a scored population against its outcome: the confusion counts at a threshold
// (a score at or above it is a positive call), precision, recall, F1, and the AUC of the
// score's ranking (ties count half).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tarvo::ml {

struct Confusion {
    int64_t tp = 0, fp = 0, fn = 0, tn = 0;
};

struct Measures {
    Confusion counts;
    std::optional<double> precision, recall, f1;  // none where the ratio is 0/0
    std::optional<double> auc;                    // see auc() below
};

// scores and labels are parallel (labels 0 or 1). A NaN score ranks below every number and is
// never a positive call.
Measures evaluate(const std::vector<double>& scores, const std::vector<int8_t>& labels, double threshold);

// The AUC alone (Mann-Whitney, average ranks for ties); none when only one class occurs or no
// row has a score.
std::optional<double> auc(const std::vector<double>& scores, const std::vector<int8_t>& labels);

}  // namespace tarvo::ml
