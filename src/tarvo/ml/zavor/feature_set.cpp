#include "tarvo/ml/zavor/feature_set.hpp"

#include <algorithm>
#include <cmath>

#include "tarvo/core/value.hpp"

namespace tarvo::zavor {

namespace {

std::string whole(double x) { return core::fixed_text(std::trunc(x), 0); }

// A whole number with "+" or "-" in front: "+210", "-35".
std::string signed_whole(double x) {
    const double t = std::trunc(x);
    return std::signbit(t) ? core::fixed_text(t, 0) : "+" + core::fixed_text(t, 0);
}

// An amount the way an analyst says it: "12,3 mn TL", "1,2 mr TL", "850 bin TL".
std::string amount_tl(double x) {
    std::string s = x >= 1e9 ? core::fixed_text(x / 1e9, 1) + " mr TL"
                  : x >= 1e6 ? core::fixed_text(x / 1e6, 1) + " mn TL"
                             : whole(x / 1e3) + " bin TL";
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}

}  // namespace

std::string reason_text(Feature f, const float* raw) {
    static constexpr const char* kBands[] = {"0-325", "325-500", "500-825", "825-1000"};
    const double x = raw[f];
    switch (f) {
        case kSkor: return "skor " + whole(x);
        case kSkorD1: return "skor 1 dönemde " + signed_whole(x);
        case kSkorD3: return "skor 3 dönemde " + signed_whole(x);
        case kBant: return std::string("bant ") + kBands[static_cast<int>(std::clamp(x, 0.0, 3.0))];
        case kSkorYok: return "erken uyarı skoru yok";
        case kRiskLog: return "kombine risk " + amount_tl(std::expm1(x));
        case kRiskOran: return "risk 1 dönemde " + std::string(x < 0 ? "-%" : "+%") + whole(std::round(std::fabs(x) * 100));
        case kYisSkor: return "yis skoru " + whole(x);
        case kGecikmeGun: return "gecikme " + whole(x) + " gün";
        case kRatingYakinVade: return "rating kriteri 30 gün içinde";
        case kRatingSifir: return "rating sıfır kontrol kriteri";
        case kCiss: return "CISS işareti";
        case kMemzucTakip: return "memzuçta son 6 ayda takip";
        default: return std::string(kFeatures[f].label);
    }
}

}  // namespace tarvo::zavor
