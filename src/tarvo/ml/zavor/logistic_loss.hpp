// The fitting problem of the model, for the trust-region solver: L2-regularised logistic loss,
//   f(w) = w'w / 2 + C * sum_i log(1 + exp(-y_i w'x_i)),
// over the training rows [0, end_row) of the feature matrix, each row standardised (model.hpp)
// with a constant 1 as its last variable (the bias, regularised like the others); y is +1 for a
// row labelled 1 and -1 for a row labelled 0.
//
// The rows are read from the compact matrix and standardised anew on every pass, so the fit needs
// three doubles and a row number per row beyond the matrix. They are visited as liblinear visits
// its rows: the positive rows first, then the negative ones, each in matrix order, every row's
// non-zero values in feature order and the bias last; with the solver's identical steps, the
// weights match its L2R_LR solver's bit for bit.
//
// A pass is shared by several threads without changing a bit of it. What is worked out per row
// (w'x, a loss term, a Hessian weight) is split by rows: each thread takes a run of rows. What is
// summed over the rows (the gradient, the Hessian's diagonal and product) is split by variables:
// each thread reads every row in the solver's order but adds up only its own variables' sums, so
// every sum has its terms in the same order as with one thread. The loss is added up in row order
// from the per-row terms.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tarvo/ml/zavor/features.hpp"
#include "tarvo/ml/zavor/standardisation.hpp"
#include "tarvo/ml/zavor/trust_region.hpp"

namespace tarvo::zavor {

class LogisticLoss final : public TrustRegionObjective {
public:
    // `threads` (at least 1) share each pass; the results are the same for every number of them.
    LogisticLoss(const FeatureMatrix& m, size_t end_row, const Standardisation& standardisation, double c,
                 size_t threads = 1);

    size_t variables() const override { return kFeatureCount + 1; }
    double value(const std::vector<double>& w) override;
    void gradient(const std::vector<double>& w, std::vector<double>& g) override;
    void hessian_times(const std::vector<double>& s, std::vector<double>& hs) const override;
    void hessian_diagonal(std::vector<double>& diagonal) const override;

private:
    // Lanes of doubles worked on together, each lane a value of its own (a row's sum in the row
    // passes, a variable's sum in the sums by variable). Every lane gets the operations its value
    // alone would get, in the same order, so the bits are those of working value by value; a zero
    // value's term is -0.0, which leaves any sum as it is, as leaving the term out does.
    static constexpr size_t kBlock = 8;  // rows per block of a row pass
    static constexpr size_t kAhead = 32;  // how far ahead in the solver's order a row is prefetched
    using Pair = double __attribute__((vector_size(2 * sizeof(double))));
    // The variables after the continuous ones ("extras"), two to a pair: the flags in bit order,
    // then the bias (a bit that is always set), then, when that makes an odd count, a padding bit
    // that never is.
    static constexpr size_t kFlagCount = kFeatureCount - kContinuousCount;
    static constexpr size_t kContinuousPairs = kContinuousCount / 2;
    static constexpr size_t kExtraPairs = (kFlagCount + 2) / 2;
    static constexpr uint32_t kBiasBit = 1u << kFlagCount;
    // The variables whose sums one thread adds up: runs of continuous pairs and of extra pairs.
    struct VariableShare {
        size_t continuous_begin = 0, continuous_end = 0;
        size_t extra_begin = 0, extra_end = 0;
    };
    // Asks the memory for the values of row i of the solver's order.
    void prefetch(size_t i) const;
    // Calls out(i, w'x_i) for the rows i in [begin, end) of the solver's order, in that order.
    template <class Out>
    void for_each_dot(const std::vector<double>& w, size_t begin, size_t end, Out&& out) const;
    // The same over all the training rows, each thread taking a run of them.
    template <class Out>
    void for_each_dot_by_rows(const std::vector<double>& w, Out&& out) const;
    // Sums over the rows in the solver's order of terms(i, x) for the share's variables, x being
    // row i's standardised values of a pair of variables; terms returns one Pair per sum, and the
    // sums start at `start`. Written to sums[k][v] for the share's variables v.
    template <size_t kSums, class Terms>
    void sum_by_variable(const VariableShare& share, const std::array<double, kSums>& start, Terms&& terms,
                         const std::array<std::vector<double>*, kSums>& sums) const;

    const FeatureMatrix& m_;
    const Standardisation& standardisation_;
    double c_;
    size_t threads_;
    size_t positives_ = 0;  // the rows labelled 1, which come first
    std::vector<uint32_t> order_;  // the matrix rows in the solver's order
    std::vector<VariableShare> variable_shares_;  // one per thread
    std::array<Pair, kContinuousPairs> centre_, scale_;  // of the continuous slots, two to a pair
    // A flag's values in two rows, looked up by its bits in the two rows.
    std::array<std::array<Pair, 4>, kFlagCount> flag_pair_values_{};
    // An extra pair's two values, looked up by its two bits of a row's extra bits.
    std::array<std::array<Pair, 4>, kExtraPairs> extra_values_{};
    std::array<size_t, 2 * kContinuousPairs> variable_of_slot_{};  // padding slots: kFeatureCount + 1
    std::array<size_t, 2 * kExtraPairs> variable_of_extra_{};
    std::vector<double> z_;  // per row: w'x, then after gradient() C (sigma(y w'x) - 1) y
    std::vector<double> d_;  // per row after gradient(): sigma (1 - sigma), the Hessian's weight
    std::vector<double> diagonal_;  // the Hessian's diagonal, summed by gradient()
    mutable std::vector<double> per_row_;  // a pass's own per-row numbers: loss terms, Hessian steps
};

}  // namespace tarvo::zavor
