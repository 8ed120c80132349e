// Muta normalisation and number conversion on any text.
//
// Properties: a normal-form muta is plain decimal ("0" or an optional "-" and digits without a
// leading zero) and normalises to itself; a number read from a text writes back to a text that
// reads as the same number; rounding stays within half a unit of the stated place; truncation to
// a whole number never moves a value by a whole unit or more.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "tarvo/core/column.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"

namespace {

bool is_normal_form(std::string_view t) {
    if (t == "0") return true;
    if (!t.empty() && t.front() == '-') t.remove_prefix(1);
    if (t.empty() || t.front() == '0') return false;
    for (char c : t)
        if (c < '0' || c > '9') return false;
    return true;
}

void check_muta(const std::string& text) {
    using tarvo::core::Column;
    const Column muta = tarvo::ingest::_normalize_muta(Column::of_str({text}));
    if (muta.is_null(0)) return;
    const std::string& normal = muta.text_at(0);
    FUZZ_CHECK(is_normal_form(normal));
    const Column again = tarvo::ingest::_normalize_muta(Column::of_str({normal}));
    FUZZ_CHECK(!again.is_null(0) && again.text_at(0) == normal);
}

void check_number(const std::string& text) {
    using namespace tarvo::core;
    const std::optional<double> d = parse_number(text);
    if (!d) return;
    FUZZ_CHECK(!std::isnan(*d));
    if (!std::isfinite(*d)) return;
    const std::optional<double> back = parse_number(format_double(*d));
    FUZZ_CHECK(back && *back == *d);
    for (int decimals = 0; decimals <= 4; ++decimals) {
        const double r = round_half_even(*d, decimals);
        FUZZ_CHECK(std::isfinite(r));
        const double unit = std::pow(10.0, -decimals);
        FUZZ_CHECK(std::fabs(r - *d) <= unit / 2 * (1 + 1e-9) + std::fabs(*d) * 1e-15);
    }
    if (const std::optional<int64_t> w = truncate_to_int(*d)) {
        FUZZ_CHECK(std::fabs(static_cast<double>(*w) - *d) < 1.0);
        FUZZ_CHECK(*w == 0 || (*w > 0) == (*d > 0));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    check_muta(text);
    check_number(text);
    return 0;
}
