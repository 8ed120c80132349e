// Typed columns with a validity mask.
//
// A Column has a declared kind (boolean, i64, f64, str, mixed) and stores each cell as a tag
// plus a payload (texts live in a side pool), so typed and mixed columns share one layout. The
// payloads are packed to the narrowest width that holds them (PackedWords): a score or flag
// column takes 2 bytes a cell, a double column 9. Cells of a column with few distinct texts can
// share one pooled copy of each (share_equal_texts). The kind decides how a null is written in text form
// ("nan", "<NA>", "None") and what `astype` does. Typed columns accept only values of their
// kind (an int in an f64 column is stored as a double); a value of another kind makes the
// column mixed.
#pragma once

#include <bit>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tarvo/core/packed_words.hpp"
#include "tarvo/core/value.hpp"

namespace tarvo::core {

class Column {
public:
    explicit Column(Kind kind = Kind::mixed, size_t n_nulls = 0);

    // A column of the given values; the kind is inferred (all bools -> boolean, all ints ->
    // i64, ints and doubles -> f64, all texts -> str, otherwise mixed; nulls do not count;
    // an all-null column is mixed unless `hint` is given).
    static Column from_values(const std::vector<Value>& values,
                              std::optional<Kind> hint = std::nullopt);
    static Column of_i64(std::vector<std::optional<int64_t>> v);
    static Column of_f64(std::vector<std::optional<double>> v);
    static Column of_str(std::vector<std::optional<std::string>> v);
    // `n` copies of one value, with the value's kind.
    static Column repeat(const Value& v, size_t n);

    Kind kind() const { return kind_; }
    size_t size() const { return tags_.size(); }
    bool empty() const { return tags_.empty(); }

    bool is_null(size_t i) const { return tags_[i] == kNull; }
    Value get(size_t i) const;
    // Text form of cell i; a null gives null_text(kind()).
    std::string text_form(size_t i) const;

    // Fast typed reads; the cell must be non-null and of that storage.
    bool is_int_cell(size_t i) const { return tags_[i] == kInt; }
    bool is_double_cell(size_t i) const { return tags_[i] == kReal; }
    bool is_text_cell(size_t i) const { return tags_[i] == kText; }
    bool is_bool_cell(size_t i) const { return tags_[i] == kBool; }
    int64_t int_at(size_t i) const { return static_cast<int64_t>(bits_[i]); }
    double double_at(size_t i) const { return std::bit_cast<double>(bits_[i]); }
    const std::string& text_at(size_t i) const { return texts_[text_index(i)]; }

    // Calls f with the cell's value without building a Value: f(Null{}), f(bool), f(int64_t),
    // f(double) or f(const std::string&).
    template <class F>
    decltype(auto) visit(size_t i, F&& f) const {
        switch (tags_[i]) {
            case kBool: return f(bits_[i] != 0);
            case kInt: return f(int_at(i));
            case kReal: return f(double_at(i));
            case kText: return f(text_at(i));
            default: return f(Null{});
        }
    }
    bool bool_at(size_t i) const { return bits_[i] != 0; }
    // Numeric value of an int, double or bool cell; nothing for null and text cells.
    std::optional<double> number_at(size_t i) const {
        switch (tags_[i]) {
            case kBool: return bits_[i] ? 1.0 : 0.0;
            case kInt: return static_cast<double>(static_cast<int64_t>(bits_[i]));
            case kReal: return std::bit_cast<double>(bits_[i]);
            default: return std::nullopt;
        }
    }

    void set(size_t i, const Value& v);
    void set_double(size_t i, double v);  // set(i, Value(v)) without the Value
    void set_null(size_t i);
    void push_back(const Value& v);
    void push_null();
    void push_int(int64_t v);
    void push_double(double v);
    void push_text(std::string v);
    void push_bool(bool v);
    void reserve(size_t n);

    // Conversion of every cell:
    //  str: every cell becomes its text form, nulls included ("nan", "<NA>", "None");
    //  f64: numbers as doubles, texts through parse_number (ValueError when a text is not a
    //       number), nulls stay null;
    //  i64: like f64, then the value must be whole (ValueError otherwise);
    //  boolean: truthiness of numbers; texts are a ValueError;
    //  mixed: cells unchanged.
    Column astype(Kind k) const&;
    // The same conversion; when every cell is already stored as the kind stores it (f64: doubles
    // and nulls, i64: whole numbers and nulls, mixed: any), the cells are kept as they stand
    // instead of copied.
    Column astype(Kind k) &&;
    // Number conversion that never fails: cells that are not numbers become null (f64 result).
    Column to_numeric() const;

    // Rows selected by position, in the given order. The rvalue form moves the text pool when
    // it is kept whole (a reordering).
    // With more than one thread, each gathers a run of the rows (the new column is made on the
    // calling thread).
    Column take(const std::vector<size_t>& rows, size_t threads = 1) const&;
    Column take(const std::vector<size_t>& rows, size_t threads = 1) &&;
    // Rows where mask[i] is non-zero.
    Column filter(const std::vector<uint8_t>& mask) const;
    // Appends the cells of another column (kinds merge like push_back).
    void append(const Column& other);

    // Text cells with equal texts come to share one pooled copy: for columns with few distinct
    // texts (segments, branch names, reasons), whose cells would otherwise each hold a string.
    void share_equal_texts();

    // Cells for which the predicate over the value holds (mask).
    std::vector<uint8_t> mask(const std::function<bool(const Value&)>& pred) const;

private:
    // A text cell's word is its place in the pool, which fits a size_t on any target.
    size_t text_index(size_t i) const { return static_cast<size_t>(bits_[i]); }
    enum Tag : uint8_t { kNull = 0, kBool, kInt, kReal, kText };
    void store(size_t i, const Value& v);
    void widen_for(const Value& v);
    Column take_rows(const std::vector<size_t>& rows, std::vector<std::string>* movable_pool, size_t threads) const;

    Kind kind_;
    std::vector<uint8_t> tags_;
    PackedWords bits_;  // int64, double bits, bool, or index into texts_
    // Texts of the text cells; cells may share an entry, so an entry is never changed in place.
    std::vector<std::string> texts_;
};

}  // namespace tarvo::core
