// Wording of command-line mistakes: the closest known word to a mistyped one, and the one
// error line the command line prints.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::cli {

// Longest error line printed, in bytes (longer messages are cut and end in "…").
constexpr size_t kMaxErrorLine = 300;

// The candidate closest to `word`: the one it is a prefix of when that one is unique, else the
// one within edit distance 2 (and less than the candidate's length) with the smallest
// distance, the first of equals. None when no candidate is that close.
std::optional<std::string> closest(std::string_view word, const std::vector<std::string>& candidates);

// " (did you mean <closest>?)", or "" when nothing is close.
std::string did_you_mean(std::string_view word, const std::vector<std::string>& candidates);

// did_you_mean(), or " (<label>: <every candidate, comma-separated>)" when nothing is close.
std::string did_you_mean_or_list(std::string_view word, const std::vector<std::string>& candidates,
                                 std::string_view label);

// `prefix` + the first line of `message`, cut to kMaxErrorLine bytes.
std::string error_line(std::string_view prefix, std::string_view message);

}  // namespace tarvo::cli
