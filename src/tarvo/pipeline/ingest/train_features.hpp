// Training segments: the segment of every customer, from the newest training extract of the yis
// model ("yis_21_v21_*.parquet" in the directory of the key `yis_train_data`).
//
// `_ingest_train_features` (declared in sources.hpp) loads only the last such file in path
// order ("  [SKIP] no training parquets" when there is none). The period is the four digits of
// "_(\d{4})\.parquet$" in its name, else "0000". `muta` is the normal form of "MUTA" (a file
// without it ends the run). The indicator columns are those whose names begin with
// "Sgmnt_Kod_" (case-sensitive), in column order, mapped ones or not; `segment` is
// get_segment of the row. One insert of (muta, donem, segment) into brz_train_features, then
// "  brz_train_features: <rows> rows (from <file name>)".
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarvo/core/table.hpp"
#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::ingest {

// Indicator column -> segment, in this order.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 4> SGMNT_MAP = {{
    {"Sgmnt_Kod_ESKK", "ESKK"},
    {"Sgmnt_Kod_KOBI", "KOBI"},
    {"Sgmnt_Kod_KUR-TIC", "KUR-TIC"},
    {"Sgmnt_Kod_MIKRO", "MIKRO"},
}};

inline constexpr std::string_view INDICATOR_PREFIX = "Sgmnt_Kod_";

// An indicator column of an extract with the segment it stands for: the SGMNT_MAP name, or the
// column's own name when the map has none.
struct SegmentIndicator {
    const core::Column* column;
    std::string segment;
};

// The indicator columns of `df`, in column order.
std::vector<SegmentIndicator> segment_indicators(const core::Table& df);

// Whether cell `row` of an indicator counts as set: the flag true, the number 1 (whole or
// floating point) or one of the texts "True", "1", "1.0" exactly. Anything else, null
// included, is not set.
bool indicator_is_set(const core::Column& column, size_t row);

// The segment of one row: that of the first indicator, in column order, that is set; nothing
// when none is.
std::optional<std::string> get_segment(const std::vector<SegmentIndicator>& indicators, size_t row);

}  // namespace tarvo::ingest
