// Branch and region names for the dashboards, read from the branch reference CSV
// (sube_bolge_ref<suffix>.csv: header "sube_kodu,sube_adi,bolge_kodu,bolge_adi", then one record
// per branch; fields quoted with doubled quotes inside).
#pragma once

#include <filesystem>
#include <string>
#include <unordered_map>
#include <utility>

#include "tarvo/core/column.hpp"

namespace tarvo::ronnel {

struct BranchNames {
    // branch code as a whole number's text -> (branch name, region name)
    std::unordered_map<std::string, std::pair<std::string, std::string>> by_branch;
};

// The names of every branch in the file; empty when the file does not exist.
BranchNames read_branch_names(const std::filesystem::path& csv);

// The key of a row's branch code: read as a whole number, so "12.0", 12.0 and 12 find the same
// reference record; a code that is not a number keeps its text form; a null gives "".
std::string branch_key(const core::Column* code, size_t row);

}  // namespace tarvo::ronnel
