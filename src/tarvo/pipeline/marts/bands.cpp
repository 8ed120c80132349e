#include "tarvo/pipeline/marts/bands.hpp"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "tarvo/core/text.hpp"

namespace tarvo::marts {

namespace {

core::Value band_label(uint8_t code) { return code == NO_BAND ? core::Value() : core::Value(FLOW_BANDS[code]); }

// A text read as a number whose text has no fractional part or exponent, as an int64.
std::optional<int64_t> whole_text_as_int(std::string_view text) {
    std::string_view t = core::trim_view(text);
    if (t.find_first_of(".eE") != std::string_view::npos) return std::nullopt;
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    int64_t v = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return v;
}

// The kind of _safe_int_series's result, from the kinds of number among its cells.
core::Kind safe_series_kind(bool any_int, bool any_real, core::Kind input) {
    if (any_int && any_real) return core::mixed;
    if (any_int) return core::i64;
    if (any_real) return core::f64;
    return input == core::i64 ? core::i64 : core::f64;
}

}  // namespace

core::Value _score_to_band(const core::Value& ovik_val) { return band_label(core::score_band_code(ovik_val)); }

core::Column _score_to_band_vec(const core::Column& series) {
    core::Column out(core::str);
    out.reserve(series.size());
    for (uint8_t c : _score_to_band_codes(series)) out.push_back(band_label(c));
    return out;
}

core::Value _safe_int(const core::Value& val) {
    if (val.is_null()) return core::Value();
    if (val.is_int()) return val;
    std::string text = val.text_form();
    if (text.empty() || core::is_missing_marker(text)) return core::Value();
    auto x = core::parse_number(text);
    if (!x) return core::Value();
    auto t = core::truncate_to_int(*x);
    if (!t) return core::Value();
    return core::Value(*t);
}

core::Column _safe_int_series(const core::Column& s) {
    const size_t n = s.size();
    // 0 null, 1 int, 2 double
    std::vector<uint8_t> tag(n, 0);
    std::vector<int64_t> ints(n, 0);
    std::vector<double> reals(n, 0.0);
    bool any_int = false, any_real = false;
    for (size_t i = 0; i < n; ++i) {
        if (s.is_int_cell(i)) {
            tag[i] = 1;
            ints[i] = s.int_at(i);
        } else if (s.is_bool_cell(i)) {
            tag[i] = 1;
            ints[i] = s.bool_at(i) ? 1 : 0;
        } else if (s.is_double_cell(i)) {
            double x = s.double_at(i);
            if (std::isnan(x)) continue;
            tag[i] = 2;
            reals[i] = x;
        } else if (s.is_text_cell(i)) {
            const std::string& t = s.text_at(i);
            auto x = core::parse_number(t);
            if (!x) continue;
            if (auto w = whole_text_as_int(t)) {
                tag[i] = 1;
                ints[i] = *w;
            } else {
                tag[i] = 2;
                reals[i] = *x;
            }
        }
        any_int |= tag[i] == 1;
        any_real |= tag[i] == 2;
    }
    const core::Kind kind = safe_series_kind(any_int, any_real, s.kind());
    core::Column out(kind);
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        switch (tag[i]) {
            case 1: out.push_int(ints[i]); break;
            case 2: out.push_double(reals[i]); break;
            default: out.push_null(); break;
        }
    }
    return out;
}

core::Column _safe_int_series(core::Column&& s) {
    bool any_int = false, any_real = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s.is_int_cell(i)) {
            any_int = true;
        } else if (s.is_double_cell(i) && !std::isnan(s.double_at(i))) {
            any_real = true;
        } else if (!s.is_null(i)) {  // a cell that needs converting
            return _safe_int_series(std::as_const(s));
        }
    }
    return std::move(s).astype(safe_series_kind(any_int, any_real, s.kind()));
}

core::Value _clean_str(const core::Value& val) {
    if (val.is_null()) return core::Value();
    if (val.is_double() && std::isnan(val.as_double())) return core::Value();
    std::string text = val.text_form();
    if (core::is_missing_marker(text)) return core::Value();
    return core::Value(std::move(text));
}

}  // namespace tarvo::marts
