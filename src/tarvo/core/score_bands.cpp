#include "tarvo/core/score_bands.hpp"

#include <cmath>
#include <string>

#include "tarvo/core/value.hpp"

namespace tarvo::core {

bool is_missing_marker(std::string_view t) { return t == "None" || t == "<NA>" || t == "nan"; }

void score_band_codes(const Column& series, std::vector<uint8_t>& codes) {
    const size_t n = series.size();
    codes.assign(n, NO_BAND);
    for (size_t i = 0; i < n; ++i) {
        if (series.is_int_cell(i)) {
            int64_t v = series.int_at(i);
            codes[i] = v == -1 ? BAND_YI : band_of_number(v);
        } else if (series.is_double_cell(i)) {
            double x = series.double_at(i);
            if (std::isfinite(x)) codes[i] = band_of_number(x);
        } else if (series.is_text_cell(i)) {
            const std::string& t = series.text_at(i);
            if (t == "YI" || t == "-1") {
                codes[i] = BAND_YI;
            } else if (!t.empty() && !is_missing_marker(t)) {
                auto x = parse_number(t);
                if (x && std::isfinite(*x)) codes[i] = band_of_number(*x);
            }
        }
        // null and boolean cells have no band
    }
}

}  // namespace tarvo::core
