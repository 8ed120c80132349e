#include "tarvo/vandel/error_text.hpp"

namespace tarvo::vandel {

namespace {

constexpr std::string_view kFieldCount = "Expected Number of Columns: ";

std::string without_literals(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    size_t i = 0;
    while (i < line.size()) {
        const size_t open = line.find('\'', i);
        const size_t close = open == std::string_view::npos ? open : line.find('\'', open + 1);
        if (close == std::string_view::npos) {  // no literal left (a lone apostrophe is prose)
            out += line.substr(i);
            break;
        }
        out += line.substr(i, open - i);
        out += "'\u2026'";
        i = close + 1;
    }
    return out;
}

}  // namespace

std::string data_free_message(std::string_view message) {
    const size_t first_end = message.find('\n');
    std::string out = without_literals(message.substr(0, first_end));
    if (first_end == std::string_view::npos) return out;
    size_t start = first_end + 1;
    while (start < message.size()) {
        size_t end = message.find('\n', start);
        if (end == std::string_view::npos) end = message.size();
        const std::string_view line = message.substr(start, end - start);
        if (line.starts_with(kFieldCount)) {
            out += "; ";
            out += without_literals(line);
            break;
        }
        start = end + 1;
    }
    return out;
}

}  // namespace tarvo::vandel
