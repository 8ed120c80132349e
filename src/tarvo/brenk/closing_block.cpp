#include "tarvo/brenk/closing_block.hpp"

#include <cstdio>
#include <filesystem>

#include "tarvo/core/files.hpp"

namespace tarvo::brenk {

namespace {

std::string file_line(const std::filesystem::path& file) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(file, ec);
    return "    " + core::path_text(file) + (ec ? " (missing)" : " (" + size_text(size) + ")");
}

}  // namespace

std::string size_text(uintmax_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / 1024;
    const char* unit = "KB";
    for (const char* larger : {"MB", "GB"}) {
        if (value < 1023.95) break;  // what would print as "1024.0" goes up a unit
        value /= 1024;
        unit = larger;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f %s", value, unit);
    return buf;
}

std::vector<std::string> closing_block(const marts::MartOutputs& outputs, std::optional<int64_t> skipped,
                                       int64_t warnings) {
    std::vector<std::string> lines{"",
                                   "  Files written:",
                                   file_line(outputs.reference_csv),
                                   file_line(outputs.trending_json),
                                   file_line(outputs.scoreboard_json),
                                   "  Dashboards:",
                                   file_line(outputs.full_html),
                                   file_line(outputs.manager_html),
                                   file_line(outputs.admin_html)};
    if (skipped)
        lines.push_back("  Skipped sources: " + std::to_string(*skipped) + ", warnings: " + std::to_string(warnings));
    else
        lines.push_back("  Warnings: " + std::to_string(warnings));
    return lines;
}

}  // namespace tarvo::brenk
