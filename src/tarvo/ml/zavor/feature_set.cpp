#include "tarvo/ml/zavor/feature_set.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvo::zavor {

namespace {

// A whole number with "+" or "-" in front: "+210", "-35".
std::string signed_whole(double x) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.0f", std::trunc(x));
    return buf;
}

std::string whole(double x) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", std::trunc(x));
    return buf;
}

// An amount the way an analyst says it: "12,3 mn TL", "1,2 mr TL", "850 bin TL".
std::string amount_tl(double x) {
    char buf[48];
    if (x >= 1e9)
        std::snprintf(buf, sizeof buf, "%.1f mr TL", x / 1e9);
    else if (x >= 1e6)
        std::snprintf(buf, sizeof buf, "%.1f mn TL", x / 1e6);
    else
        std::snprintf(buf, sizeof buf, "%.0f bin TL", std::trunc(x / 1e3));
    std::string s = buf;
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
