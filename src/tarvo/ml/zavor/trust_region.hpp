// Trust-region Newton minimisation with a preconditioned conjugate-gradient inner solve, for a
// smooth convex function of a few variables whose terms are sums over many rows.
//
// It repeats, operation for operation and in the same order, the trust-region Newton method of
// liblinear 2.3 (tron.cpp, with the reference BLAS it calls for its vector steps), so that the
// same function gives the same weights to the last bit as liblinear's L2R_LR solver does. The
// objective supplies its rows itself, so nothing of liblinear's row format is ever built: that is
// what lets a fit over ten million rows run in the memory of a small 32-bit machine.
#pragma once

#include <cstddef>
#include <vector>

namespace tarvo::zavor {

class TrustRegionObjective {
public:
    virtual ~TrustRegionObjective() = default;
    virtual size_t variables() const = 0;
    // f(w). The solver asks for the gradient only at the w of the last value asked for.
    virtual double value(const std::vector<double>& w) = 0;
    virtual void gradient(const std::vector<double>& w, std::vector<double>& g) = 0;
    // The Hessian at the w of the last gradient, times s.
    virtual void hessian_times(const std::vector<double>& s, std::vector<double>& hs) const = 0;
    // The diagonal of that Hessian.
    virtual void hessian_diagonal(std::vector<double>& diagonal) const = 0;
};

struct TrustRegionSettings {
    double eps;            // stop when |gradient| <= eps * |gradient at w = 0|
    double eps_cg = 0.1;   // the inner solve's relative tolerance
    int max_iter = 1000;   // outer iterations
};

// Minimises f from w (which must be all zeros, as every caller's start is) and leaves the
// minimiser in w.
void minimise_trust_region(TrustRegionObjective& f, std::vector<double>& w, const TrustRegionSettings& settings);

}  // namespace tarvo::zavor
