// Unicode-aware text helpers (ICU): whitespace trimming and full case mapping in the root
// locale, so "İ" lower-cases to "i" + U+0307 and "cıss_x" upper-cases to "CISS_X".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::core {

// Removes Unicode white space (u_isUWhiteSpace) from both ends of a UTF-8 text.
std::string_view trim_view(std::string_view s);
inline std::string trim(std::string_view s) { return std::string(trim_view(s)); }

std::string to_lower(std::string_view utf8);
std::string to_upper(std::string_view utf8);

bool starts_with(std::string_view s, std::string_view prefix);
bool ends_with(std::string_view s, std::string_view suffix);
bool contains(std::string_view s, std::string_view part);

// `utf8` when it has at most `max_bytes` bytes; otherwise its longest prefix that ends on a
// character boundary and, with the "…" appended, fits in `max_bytes`.
std::string shorten_utf8(std::string_view utf8, size_t max_bytes);

// Appends the UTF-8 encoding of code point `cp` (at most U+10FFFF) to `out`.
void append_utf8(std::string& out, uint32_t cp);

// Joins texts with a separator.
std::string join(const std::vector<std::string>& parts, std::string_view sep);

}  // namespace tarvo::core
