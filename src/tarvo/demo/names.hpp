// Word lists of the synthetic source tree: regions and branches, firm names, portfolio
// managers and the other free-text fields of the static firm data. All texts are UTF-8 and
// every character exists in Windows-1254.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvo::demo {

struct Region {
    int64_t kodu;
    std::string_view adi;
    int weight;  // share of the firms, relative
};

struct Branch {
    int64_t kodu;
    std::string_view adi;
    int region;  // index into regions()
};

std::span<const Region> regions();
std::span<const Branch> branches();

// Segment codes, in the order the firm model uses them.
inline constexpr std::string_view kSegments[] = {"KUR-TIC", "KOBI", "MIKRO", "ESKK"};

// A firm name for the segment, chosen by `pick` (any 64-bit value; different values give
// different names, the same value the same name).
std::string firm_name(int segment, uint64_t pick);
// The name after a change of legal form (Ltd. Şti. becomes A.Ş., and so on).
std::string renamed(const std::string& name);

// A risk-group label made from a surname ("Özdemir Grubu").
std::string group_name(uint64_t pick);

std::string_view portfolio_manager(uint64_t pick);
std::string_view financing_subject(uint64_t pick);

}  // namespace tarvo::demo
