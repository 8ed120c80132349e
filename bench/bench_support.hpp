// Small helpers shared by the benchmark programs.
#pragma once

#include <fstream>
#include <string>

#include "tarvo/core/document.hpp"

namespace tarvo::bench {

// Peak resident memory of this process so far, as /proc/self/status words it ("  123456 kB").
inline std::string peak_rss() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return line.substr(6);
    return " ?";
}

// A scoreboard document {"meta": {"donemler": periods}, "rows": rows} around a row table.
inline core::Document scoreboard_of(core::Table rows, core::List periods) {
    core::Dict meta;
    meta.set("donemler", core::Document(std::move(periods)));
    core::Dict board;
    board.set("meta", core::Document(std::move(meta)));
    board.set("rows", core::Document::rows(std::move(rows)));
    return core::Document(std::move(board));
}

}  // namespace tarvo::bench
