#include "tarvo/ml/zavor/trust_region.hpp"

#include <cmath>

namespace tarvo::zavor {

namespace {

using Vector = std::vector<double>;

// The vector steps, each with the reference BLAS's order of operations (ddot sums left to right;
// daxpy skips a zero factor).
double dot(const Vector& x, const Vector& y) {
    double sum = 0;
    for (size_t i = 0; i < x.size(); ++i) sum = sum + x[i] * y[i];
    return sum;
}

void axpy(double a, const Vector& x, Vector& y) {
    if (a == 0) return;
    for (size_t i = 0; i < x.size(); ++i) y[i] = y[i] + a * x[i];
}

void scale(double a, Vector& x) {
    if (a == 1) return;
    for (double& v : x) v = a * v;
}

// The Euclidean norm with Blue's scaling, as the reference dnrm2: squares of mid-range values are
// summed as they are, very small and very large ones after scaling.
double norm(const Vector& x) {
    const double tsml = std::ldexp(1.0, -511), tbig = std::ldexp(1.0, 486);
    const double ssml = std::ldexp(1.0, 537), sbig = std::ldexp(1.0, -538);
    bool notbig = true;
    double asml = 0, amed = 0, abig = 0;
    for (const double v : x) {
        const double ax = std::fabs(v);
        if (ax > tbig) {
            abig = abig + (ax * sbig) * (ax * sbig);
            notbig = false;
        } else if (ax < tsml) {
            if (notbig) asml = asml + (ax * ssml) * (ax * ssml);
        } else {
            amed = amed + ax * ax;
        }
    }
    const bool amed_counts = amed > 0 || amed != amed;  // (amed > the largest double cannot hold)
    double scl = 1, sumsq = amed;
    if (abig > 0) {
        if (amed_counts) abig = abig + (amed * sbig) * sbig;
        scl = 1 / sbig;
        sumsq = abig;
    } else if (asml > 0) {
        if (amed_counts) {
            const double med = std::sqrt(amed), sml = std::sqrt(asml) / ssml;
            const double ymin = sml > med ? med : sml, ymax = sml > med ? sml : med;
            scl = 1;
            sumsq = (ymax * ymax) * (1 + (ymin / ymax) * (ymin / ymax));
        } else {
            scl = 1 / ssml;
            sumsq = asml;
        }
    }
    return scl * std::sqrt(sumsq);
}

// u' diag(M) v, five terms at a time.
double weighted_dot(const Vector& u, const Vector& m, const Vector& v) {
    const size_t n = u.size();
    double res = 0;
    size_t i = 0;
    for (; i + 4 < n; i += 5)
        res += u[i] * m[i] * v[i] + u[i + 1] * m[i + 1] * v[i + 1] + u[i + 2] * m[i + 2] * v[i + 2] +
               u[i + 3] * m[i + 3] * v[i + 3] + u[i + 4] * m[i + 4] * v[i + 4];
    for (; i < n; ++i) res += u[i] * m[i] * v[i];
    return res;
}

double smaller(double x, double y) { return x < y ? x : y; }
double larger(double x, double y) { return x > y ? x : y; }

// The preconditioner: the Hessian's diagonal blended with the identity.
void precondition(const TrustRegionObjective& f, Vector& m) {
    constexpr double alpha_pcg = 0.01;
    f.hessian_diagonal(m);
    for (double& v : m) v = (1 - alpha_pcg) + alpha_pcg * v;
}

struct ConjugateGradient {
    int iterations = 0;
    bool reached_boundary = false;
};

// Solves H s = -g approximately inside the trust region |s|_M <= delta; r is left as the residual.
ConjugateGradient conjugate_gradient(const TrustRegionObjective& f, double delta, double eps_cg, const Vector& g,
                                     const Vector& m, Vector& s, Vector& r) {
    const size_t n = g.size();
    Vector d(n), hd(n), z(n);
    for (size_t i = 0; i < n; ++i) {
        s[i] = 0;
        r[i] = -g[i];
        z[i] = r[i] / m[i];
        d[i] = z[i];
    }
    double ztr = dot(z, r);
    const double cgtol = eps_cg * std::sqrt(ztr);
    const int max_cg_iter = static_cast<int>(n > 5 ? n : 5);
    ConjugateGradient cg;
    while (cg.iterations < max_cg_iter) {
        if (std::sqrt(ztr) <= cgtol) break;
        ++cg.iterations;
        f.hessian_times(d, hd);
        double alpha = ztr / dot(d, hd);
        axpy(alpha, d, s);
        if (std::sqrt(weighted_dot(s, m, s)) > delta) {
            // Back to the last step inside, then along d to the boundary.
            cg.reached_boundary = true;
            axpy(-alpha, d, s);
            const double stmd = weighted_dot(s, m, d), stms = weighted_dot(s, m, s), dtmd = weighted_dot(d, m, d);
            const double dsq = delta * delta;
            const double rad = std::sqrt(stmd * stmd + dtmd * (dsq - stms));
            alpha = stmd >= 0 ? (dsq - stms) / (stmd + rad) : (rad - stmd) / dtmd;
            axpy(alpha, d, s);
            axpy(-alpha, hd, r);
            break;
        }
        axpy(-alpha, hd, r);
        for (size_t i = 0; i < n; ++i) z[i] = r[i] / m[i];
        const double znewtrnew = dot(z, r);
        scale(znewtrnew / ztr, d);
        axpy(1, z, d);
        ztr = znewtrnew;
    }
    return cg;
}

}  // namespace

void minimise_trust_region(TrustRegionObjective& f, std::vector<double>& w, const TrustRegionSettings& settings) {
    // How the iterate and the region's radius follow the ratio of actual to predicted reduction.
    constexpr double eta0 = 1e-4, eta1 = 0.25, eta2 = 0.75;
    constexpr double sigma1 = 0.25, sigma2 = 0.5, sigma3 = 4;
    const size_t n = f.variables();
    Vector s(n), r(n), g(n), m(n), w_new(n);

    // w starts at zero, so the value and gradient there are also the stopping test's reference.
    double fw = f.value(w);
    f.gradient(w, g);
    const double gnorm0 = norm(g);
    bool search = !(gnorm0 <= settings.eps * gnorm0);
    precondition(f, m);
    double delta = std::sqrt(weighted_dot(g, m, g));
    bool delta_adjusted = false;
    for (int iter = 1; iter <= settings.max_iter && search;) {
        const ConjugateGradient cg = conjugate_gradient(f, delta, settings.eps_cg, g, m, s, r);
        w_new = w;
        axpy(1, s, w_new);
        const double gs = dot(g, s);
        const double prered = -0.5 * (gs - dot(s, r));
        const double fnew = f.value(w_new);
        const double actred = fw - fnew;
        const double snorm = std::sqrt(weighted_dot(s, m, s));
        if (iter == 1 && !delta_adjusted) {
            delta = smaller(delta, snorm);
            delta_adjusted = true;
        }
        const double alpha = fnew - fw - gs <= 0 ? sigma3 : larger(sigma1, -0.5 * (gs / (fnew - fw - gs)));
        if (actred < eta0 * prered)
            delta = smaller(alpha * snorm, sigma2 * delta);
        else if (actred < eta1 * prered)
            delta = larger(sigma1 * delta, smaller(alpha * snorm, sigma2 * delta));
        else if (actred < eta2 * prered)
            delta = larger(sigma1 * delta, smaller(alpha * snorm, sigma3 * delta));
        else if (cg.reached_boundary)
            delta = sigma3 * delta;
        else
            delta = larger(delta, smaller(alpha * snorm, sigma3 * delta));

        if (actred > eta0 * prered) {
            ++iter;
            w = w_new;
            fw = fnew;
            f.gradient(w, g);
            precondition(f, m);
            if (norm(g) <= settings.eps * gnorm0) break;
        }
        if (fw < -1.0e+32) break;
        if (prered <= 0) break;
        if (std::fabs(actred) <= 1.0e-12 * std::fabs(fw) && std::fabs(prered) <= 1.0e-12 * std::fabs(fw)) break;
    }
}

}  // namespace tarvo::zavor
