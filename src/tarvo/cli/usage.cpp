#include "tarvo/cli/usage.hpp"

#include <algorithm>
#include <numeric>

#include "tarvo/core/text.hpp"

namespace tarvo::cli {

namespace {

size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), size_t{0});
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::optional<std::string> closest(std::string_view word, const std::vector<std::string>& candidates) {
    if (word.empty()) return std::nullopt;
    std::vector<std::string> extending;
    for (const std::string& c : candidates)
        if (c.size() > word.size() && c.starts_with(word)) extending.push_back(c);
    if (extending.size() == 1) return extending.front();

    std::optional<std::string> best;
    size_t best_distance = 3;
    for (const std::string& c : candidates) {
        const size_t d = edit_distance(word, c);
        if (d < best_distance && d < c.size()) {
            best = c;
            best_distance = d;
        }
    }
    return best;
}

std::string did_you_mean(std::string_view word, const std::vector<std::string>& candidates) {
    const std::optional<std::string> match = closest(word, candidates);
    return match ? " (did you mean " + *match + "?)" : "";
}

std::string did_you_mean_or_list(std::string_view word, const std::vector<std::string>& candidates,
                                 std::string_view label) {
    const std::string suggestion = did_you_mean(word, candidates);
    if (!suggestion.empty()) return suggestion;
    return " (" + std::string(label) + ": " + core::join(candidates, ", ") + ")";
}

std::string error_line(std::string_view prefix, std::string_view message) {
    const std::string line = std::string(prefix) + std::string(message.substr(0, message.find('\n')));
    return core::shorten_utf8(line, kMaxErrorLine);
}

}  // namespace tarvo::cli
