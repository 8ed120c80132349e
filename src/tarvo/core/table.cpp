#include "tarvo/core/table.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

#include "tarvo/core/errors.hpp"

namespace tarvo::core {

bool Table::has(std::string_view name) const { return index_.count(std::string(name)) > 0; }

const Column* Table::find(std::string_view name) const {
    auto it = index_.find(std::string(name));
    return it == index_.end() ? nullptr : &cols_[it->second];
}

Column* Table::find(std::string_view name) {
    auto it = index_.find(std::string(name));
    return it == index_.end() ? nullptr : &cols_[it->second];
}

const Column& Table::operator[](std::string_view name) const {
    if (auto* c = find(name)) return *c;
    throw KeyError("'" + std::string(name) + "'");
}

Column& Table::operator[](std::string_view name) {
    if (auto* c = find(name)) return *c;
    throw KeyError("'" + std::string(name) + "'");
}

void Table::set(std::string_view name, Column col) {
    if (!cols_.empty() && col.size() != nrows())
        throw ValueError("column '" + std::string(name) + "' has " + std::to_string(col.size()) +
                         " rows, the table " + std::to_string(nrows()));
    auto it = index_.find(std::string(name));
    if (it != index_.end()) {
        cols_[it->second] = std::move(col);
        return;
    }
    index_.emplace(std::string(name), cols_.size());
    names_.emplace_back(name);
    cols_.push_back(std::move(col));
}

void Table::drop(std::string_view name) {
    auto it = index_.find(std::string(name));
    if (it == index_.end()) return;
    size_t pos = it->second;
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(pos));
    cols_.erase(cols_.begin() + static_cast<std::ptrdiff_t>(pos));
    index_.clear();
    for (size_t i = 0; i < names_.size(); ++i) index_.emplace(names_[i], i);
}

Table Table::take(const std::vector<size_t>& rows) const {
    Table out;
    for (size_t i = 0; i < cols_.size(); ++i) out.set(names_[i], cols_[i].take(rows));
    return out;
}

void Table::reorder(const std::vector<size_t>& rows, size_t threads) {
    for (auto& c : cols_) c = std::move(c).take(rows, threads);
}

Table Table::filter(const std::vector<uint8_t>& mask) const {
    std::vector<size_t> rows;
    for (size_t i = 0; i < mask.size() && i < nrows(); ++i)
        if (mask[i]) rows.push_back(i);
    return take(rows);
}

std::vector<size_t> stable_order(const std::vector<std::optional<double>>& keys, bool descending) {
    std::vector<size_t> order(keys.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const auto& ka = keys[a];
        const auto& kb = keys[b];
        if (!ka || !kb) return ka.has_value() && !kb.has_value();
        return descending ? *ka > *kb : *ka < *kb;
    });
    return order;
}

}  // namespace tarvo::core
