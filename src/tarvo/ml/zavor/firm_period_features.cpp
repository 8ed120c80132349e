#include "tarvo/ml/zavor/firm_period_features.hpp"

#include <cmath>
#include <limits>

namespace tarvo::zavor {

namespace {

constexpr float kMissing = std::numeric_limits<float>::quiet_NaN();

// a < b in the warehouse's order of doubles, where NaN stands above every number.
bool below(double a, double b) { return !std::isnan(a) && (std::isnan(b) || a < b); }

// greatest(x, floor) and least(x, ceiling) of the warehouse: the first argument is kept unless
// the second is strictly greater (less) in its order.
double at_least(double x, double floor) { return below(x, floor) ? floor : x; }
double at_most(double x, double ceiling) { return below(ceiling, x) ? ceiling : x; }

float band(const std::optional<double>& skor) {
    if (!skor) return kMissing;
    return below(*skor, 325) ? 0.0f : below(*skor, 500) ? 1.0f : below(*skor, 825) ? 2.0f : 3.0f;
}

// ln(1 + greatest(risk, 0)); a null risk counts as 0.
float risk_log(const std::optional<double>& risk) {
    return static_cast<float>(std::log(1 + (risk ? at_least(*risk, 0) : 0.0)));
}

// The change over the risk before it, risk_degisim / (risk - risk_degisim), between -1 and 5;
// missing when either is null or the risk before was not above 0.
float risk_ratio(const std::optional<double>& risk, const std::optional<double>& change) {
    if (!risk || !change) return kMissing;
    const double before = *risk - *change;
    if (!below(0, before)) return kMissing;
    return static_cast<float>(at_most(at_least(*change / before, -1), 5));
}

}  // namespace

std::array<float, kFirmPeriodDerived.size()> firm_period_features(const FirmPeriodCells& cells) {
    const auto flag = [](bool on) { return on ? 1.0f : 0.0f; };
    return {band(cells.skor),
            flag(!cells.skor),
            risk_log(cells.risk),
            risk_ratio(cells.risk, cells.risk_degisim),
            flag(cells.segment == kKurTicSegment),
            flag(cells.segment == kKobiSegment),
            flag(cells.segment == kMikroSegment),
            flag(cells.segment == kEskkSegment)};
}

}  // namespace tarvo::zavor
