// The features a firm-period's own fact row gives beyond its score: the score band, "no score",
// the combined risk's logarithm and relative change, and the segment flags. The feature statement
// returns the firm-period's score, risks and segment code, and the reader works these out as it
// places the row, in the warehouse's arithmetic: doubles, NaN ordered above every number (so a
// NaN score falls in the top band), greatest and least passing over a null, and each result
// rounded to a float once. Working them out in the statement was half of its time, on the one
// thread that streams it.
#pragma once

#include <array>
#include <optional>

#include "tarvo/ml/zavor/feature_set.hpp"

namespace tarvo::zavor {

// A firm's segment as the feature statement codes it: 0 for any other segment, or none.
enum SegmentCode : int { kOtherSegment = 0, kKurTicSegment = 1, kKobiSegment = 2, kMikroSegment = 3, kEskkSegment = 4 };

// A firm-period's cells: the score outside YI (null inside it or when unknown), the combined
// risk and its change from the period before, and the segment code.
struct FirmPeriodCells {
    std::optional<double> skor, risk, risk_degisim;
    int segment = kOtherSegment;
};

inline constexpr std::array<Feature, 8> kFirmPeriodDerived = {kBant, kSkorYok, kRiskLog, kRiskOran,
                                                              kSegKurTic, kSegKobi, kSegMikro, kSegEskk};

// The features of kFirmPeriodDerived, in that order, as floats (NaN = missing).
std::array<float, kFirmPeriodDerived.size()> firm_period_features(const FirmPeriodCells& cells);

}  // namespace tarvo::zavor
