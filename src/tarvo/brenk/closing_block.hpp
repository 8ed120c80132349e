// The closing block of a mart run or a pipeline run: where the results are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tarvo/pipeline/marts/driver.hpp"

namespace tarvo::brenk {

// A file size for people: "812 B", "12.0 KB", "1.4 MB", "2.0 GB" (units of 1024, one decimal).
std::string size_text(uintmax_t bytes);

// The lines after the run's own lines:
//   ""
//   "  Files written:"
//   "    <path> (<size>)"            the reference CSV, the trending and the scoreboard JSON
//   "  Dashboards:"
//   "    <path> (<size>)"            the full, manager and administrator dashboards
//   "  Skipped sources: <s>, warnings: <w>"     when `skipped` is given (a pipeline run)
//   "  Warnings: <w>"                           otherwise (a mart run)
// A file that is not there is listed as "(missing)".
std::vector<std::string> closing_block(const marts::MartOutputs& outputs, std::optional<int64_t> skipped,
                                       int64_t warnings);

}  // namespace tarvo::brenk
