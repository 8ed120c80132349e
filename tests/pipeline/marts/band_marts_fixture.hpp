// Hand-made scoreboard documents for the flow matrix and band snapshot tests: rows given as
// mappings (key by key), periods given as documents so a test can use numbers or texts.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "tarvo/core/document.hpp"
#include "tarvo/core/json.hpp"

namespace tarvo::testing {

// One row mapping, keys in the given order.
inline core::Document band_row(
    std::initializer_list<std::pair<const char*, core::Document>> cells) {
    core::Dict d;
    for (const auto& [k, v] : cells) d.set(k, v);
    return core::Document(std::move(d));
}

// {"meta": {"donemler": periods}, "rows": rows}; rows may be a list or a row table.
inline core::Document band_board(core::List periods, core::Document rows) {
    core::Dict meta;
    meta.set("donemler", core::Document(std::move(periods)));
    core::Dict b;
    b.set("meta", core::Document(std::move(meta)));
    b.set("rows", std::move(rows));
    return core::Document(std::move(b));
}

inline std::string compact_json(const core::Document& d) {
    return core::to_json(d, core::JsonStyle::compact);
}

}  // namespace tarvo::testing
