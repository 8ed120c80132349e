// The predictor's features: one column of the feature matrix each, in this order. The SQL that
// computes them (features.cpp) selects them under these names; docs/predictor.md describes each.
//
// Continuous features are centred and scaled for the fit, and a missing value stands at the
// training mean (so it never raises or lowers a probability). Flags are 0 or 1, never missing,
// and are scaled but not centred, so a zero stays a zero and the fitting problem stays sparse.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarvo::zavor {

enum class FeatureKind { continuous, flag };

struct FeatureSpec {
    std::string_view name;   // column name in the feature SQL and key in "ml_model"
    std::string_view label;  // what an analyst reads on the dashboard
    FeatureKind kind;
};

enum Feature : size_t {
    kSkor, kSkorD1, kSkorD3, kBant, kSkorYok, kRiskLog, kRiskOran, kYisSkor, kEusHedef, kEusKapsam,
    kRatingYakinVade, kRatingSifir, kCiss, kGecikmeGun, kMemzucTakip, kSegKurTic, kSegKobi,
    kSegMikro, kSegEskk, kFeatureCount
};

inline constexpr std::array<FeatureSpec, kFeatureCount> kFeatures = {{
    {"skor", "erken uyarı skoru", FeatureKind::continuous},
    {"skor_d1", "skorun 1 dönemlik değişimi", FeatureKind::continuous},
    {"skor_d3", "skorun 3 dönemlik değişimi", FeatureKind::continuous},
    {"bant", "skor bandı", FeatureKind::continuous},
    {"skor_yok", "skor yok", FeatureKind::flag},
    {"risk_log", "kombine risk (logaritma)", FeatureKind::continuous},
    {"risk_oran", "kombine riskin 1 dönemlik göreli değişimi", FeatureKind::continuous},
    {"yis_skor", "yis skoru", FeatureKind::continuous},
    {"eus_hedef", "eus hedef listesinde", FeatureKind::flag},
    {"eus_kapsam", "eus kapsam listesinde", FeatureKind::flag},
    {"rating_yakin_vade", "rating gün kriteri 30 gün içinde", FeatureKind::flag},
    {"rating_sifir", "rating sıfır kontrol kriteri sıfır değil", FeatureKind::flag},
    {"ciss", "izleme listesinde CISS işareti", FeatureKind::flag},
    {"gecikme_gun", "izleme listesinde gecikme günü", FeatureKind::continuous},
    {"memzuc_takip_6ay", "memzuçta son 6 ayda takip tutarı", FeatureKind::flag},
    {"seg_kur_tic", "segment KUR-TIC", FeatureKind::flag},
    {"seg_kobi", "segment KOBI", FeatureKind::flag},
    {"seg_mikro", "segment MIKRO", FeatureKind::flag},
    {"seg_eskk", "segment ESKK", FeatureKind::flag},
}};

inline constexpr size_t kContinuousCount = [] {
    size_t n = 0;
    for (const FeatureSpec& f : kFeatures) n += f.kind == FeatureKind::continuous;
    return n;
}();

// Where a feature is kept in a compact row: its index among the continuous features, or its bit
// among the flags.
inline constexpr std::array<size_t, kFeatureCount> kSlot = [] {
    std::array<size_t, kFeatureCount> slot{};
    size_t continuous = 0, flag = 0;
    for (size_t f = 0; f < kFeatureCount; ++f) slot[f] = kFeatures[f].kind == FeatureKind::continuous ? continuous++ : flag++;
    return slot;
}();
static_assert(kFeatureCount - kContinuousCount <= 16, "the flags of a row fit one 16-bit word");

// The reason an analyst reads when feature `f` raised a firm's probability, from the firm's
// raw feature values ("skor 3 dönemde +210", "gecikme 45 gün", "risk 1 dönemde +%35").
std::string reason_text(Feature f, const float* raw);

}  // namespace tarvo::zavor
