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
    // A row's non-zero standardised values and their variables, in variable order, bias last.
    struct SparseRow {
        std::array<size_t, kFeatureCount + 1> variable;
        std::array<double, kFeatureCount + 1> value;
        size_t size = 0;
    };
    // Consecutive training rows in the solver's order: rows[b] is row first + b, with label y[b].
    // A pass takes rows a few at a time so that the independent sums of neighbouring rows overlap
    // (one row's sum is a chain of dependent additions, which a pass otherwise waits on).
    static constexpr size_t kBatch = 8;
    struct RowBatch {
        std::array<SparseRow, kBatch> rows;
        std::array<double, kBatch> y;
        size_t first = 0;
        size_t size = 0;
    };
    // The variables whose sums one thread adds up: bit f of `continuous` for continuous feature f,
    // bit kSlot[f] of `flag_bits` for flag feature f.
    struct VariableShare {
        uint32_t continuous = 0;
        uint16_t flag_bits = 0;
        bool bias = false;
        template <class Visit>
        void for_each_variable(Visit&& visit) const {
            for (size_t f = 0; f < kFeatureCount; ++f)
                if (kFeatures[f].kind == FeatureKind::continuous ? continuous >> f & 1u : flag_bits >> kSlot[f] & 1u)
                    visit(f);
            if (bias) visit(kFeatureCount);
        }
    };
    // Calls visit(batch) for consecutive batches covering the rows [begin, end) of the solver's order.
    template <class Visit>
    void for_each_batch(size_t begin, size_t end, Visit&& visit) const;
    // The same over all the training rows, each thread taking a run of them.
    template <class Visit>
    void for_each_batch_by_rows(Visit&& visit) const;
    // Calls visit(i, v, x) for every row i in the solver's order and every variable v of the share
    // whose standardised value x in that row is not 0, a row's variables in feature order, bias last.
    template <class Visit>
    void for_each_value(const VariableShare& share, Visit&& visit) const;
    // Row r of the matrix, standardised.
    void read_row(size_t r, SparseRow& row) const;

    const FeatureMatrix& m_;
    const Standardisation& standardisation_;
    double c_;
    size_t threads_;
    size_t positives_ = 0;  // the rows labelled 1, which come first
    std::vector<uint32_t> order_;  // the matrix rows in the solver's order
    std::vector<VariableShare> variable_shares_;  // one per thread
    std::array<double, kFeatureCount> flag_value_{};  // a set flag's standardised value
    std::array<size_t, 16> flag_of_bit_{};  // the flag feature kept in each bit of a row's flags
    std::vector<double> z_;  // per row: w'x, then after gradient() C (sigma(y w'x) - 1) y
    std::vector<double> d_;  // per row after gradient(): sigma (1 - sigma), the Hessian's weight
    std::vector<double> diagonal_;  // the Hessian's diagonal, summed by gradient()
    mutable std::vector<double> per_row_;  // a pass's own per-row numbers: loss terms, Hessian steps
};

}  // namespace tarvo::zavor
