// Tables: ordered named columns of equal length, with a row position 0..n-1.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarvo/core/column.hpp"

namespace tarvo::core {

class Table {
public:
    Table() = default;

    size_t nrows() const { return cols_.empty() ? 0 : cols_.front().size(); }
    size_t ncols() const { return cols_.size(); }
    const std::vector<std::string>& names() const { return names_; }

    bool has(std::string_view name) const;
    // The named column; KeyError when the table has none.
    const Column& operator[](std::string_view name) const;
    Column& operator[](std::string_view name);
    // The named column, or nullptr.
    const Column* find(std::string_view name) const;
    Column* find(std::string_view name);
    const Column& column(size_t i) const { return cols_[i]; }
    Column& column(size_t i) { return cols_[i]; }

    // Adds a column at the end, or replaces an existing one in place (keeping its position).
    // ValueError when the length differs from the table's row count.
    void set(std::string_view name, Column col);
    // Removes a column; does nothing when absent.
    void drop(std::string_view name);

    Value at(size_t row, std::string_view name) const { return (*this)[name].get(row); }

    Table take(const std::vector<size_t>& rows) const;
    // Puts the rows in the given order in place, one column at a time (so at most one column is
    // held twice), each column's rows shared out among `threads`.
    void reorder(const std::vector<size_t>& rows, size_t threads = 1);
    Table filter(const std::vector<uint8_t>& mask) const;

private:
    std::vector<std::string> names_;
    std::vector<Column> cols_;
    std::unordered_map<std::string, size_t> index_;
};

// Row positions sorted by a key, highest first (or lowest first), stable: rows with equal keys
// keep their order. Nulls (nullopt) go last in both directions.
std::vector<size_t> stable_order(const std::vector<std::optional<double>>& keys, bool descending);

}  // namespace tarvo::core
