// Small helpers shared by the benchmark programs.
#pragma once

#include <fstream>
#include <string>

namespace tarvo::bench {

// Peak resident memory of this process so far, as /proc/self/status words it ("  123456 kB").
inline std::string peak_rss() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return line.substr(6);
    return " ?";
}

}  // namespace tarvo::bench
