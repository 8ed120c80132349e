#include "tarvo/pipeline/ronnel/branch_names.hpp"

#include <sstream>
#include <vector>

#include "tarvo/core/files.hpp"

namespace tarvo::ronnel {

namespace {

// Splits one CSV record (quotes doubled inside quoted fields).
std::vector<std::string> csv_fields(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                out.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                out.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

}  // namespace

BranchNames read_branch_names(const std::filesystem::path& csv) {
    BranchNames names;
    std::error_code ec;
    if (!std::filesystem::exists(csv, ec)) return names;
    std::istringstream in(core::read_file(csv));
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (header) {
            header = false;
            continue;
        }
        auto f = csv_fields(line);
        if (f.size() >= 4) names.by_branch[f[0]] = {f[1], f[3]};
    }
    return names;
}

std::string branch_key(const core::Column* c, size_t row) {
    if (!c || c->is_null(row)) return "";
    auto d = c->number_at(row);
    if (!d && c->is_text_cell(row)) d = core::parse_number(c->text_at(row));
    if (!d) return c->text_form(row);
    auto w = core::truncate_to_int(*d);
    return w ? std::to_string(*w) : c->text_form(row);
}

}  // namespace tarvo::ronnel
