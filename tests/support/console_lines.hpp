// Captured console lines, and where a line stands among them, for tests of the order of a run's steps.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace tarvo::testing {

using Lines = std::vector<std::string>;

// The position of the first line equal to `line`; lines.size() when no line is.
inline size_t index_of(const Lines& lines, const std::string& line) {
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

}  // namespace tarvo::testing
