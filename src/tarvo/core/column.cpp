#include "tarvo/core/column.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/parallel.hpp"

namespace tarvo::core {

Column::Column(Kind kind, size_t n_nulls) : kind_(kind), tags_(n_nulls, kNull), bits_(n_nulls) {}

Column Column::from_values(const std::vector<Value>& values, std::optional<Kind> hint) {
    bool any = false, all_bool = true, all_int = true, all_num = true, all_text = true;
    for (const auto& v : values) {
        if (v.is_null()) continue;
        any = true;
        all_bool &= v.is_bool();
        all_int &= v.is_int();
        all_num &= (v.is_int() || v.is_double());
        all_text &= v.is_text();
    }
    Kind k = Kind::mixed;
    if (!any) k = hint.value_or(Kind::mixed);
    else if (all_bool) k = Kind::boolean;
    else if (all_int) k = Kind::i64;
    else if (all_num) k = Kind::f64;
    else if (all_text) k = Kind::str;
    Column c(k);
    c.reserve(values.size());
    for (const auto& v : values) c.push_back(v);
    return c;
}

Column Column::of_i64(std::vector<std::optional<int64_t>> v) {
    Column c(Kind::i64);
    c.reserve(v.size());
    for (auto& x : v) x ? c.push_int(*x) : c.push_null();
    return c;
}

Column Column::of_f64(std::vector<std::optional<double>> v) {
    Column c(Kind::f64);
    c.reserve(v.size());
    for (auto& x : v) x ? c.push_double(*x) : c.push_null();
    return c;
}

Column Column::of_str(std::vector<std::optional<std::string>> v) {
    Column c(Kind::str);
    c.reserve(v.size());
    for (auto& x : v) x ? c.push_text(std::move(*x)) : c.push_null();
    return c;
}

Column Column::repeat(const Value& v, size_t n) {
    Column c = from_values({v});
    c.tags_.clear();
    c.bits_ = PackedWords();
    c.texts_.clear();
    c.reserve(n);
    for (size_t i = 0; i < n; ++i) c.push_back(v);
    return c;
}

Value Column::get(size_t i) const {
    switch (tags_[i]) {
        case kNull: return Value();
        case kBool: return Value(bits_[i] != 0);
        case kInt: return Value(static_cast<int64_t>(bits_[i]));
        case kReal: return Value(std::bit_cast<double>(bits_[i]));
        case kText: return Value(texts_[text_index(i)]);
    }
    return Value();
}

std::string Column::text_form(size_t i) const {
    if (tags_[i] == kNull) return null_text(kind_);
    if (tags_[i] == kText) return texts_[text_index(i)];
    return get(i).text_form(kind_);
}


void Column::widen_for(const Value& v) {
    if (v.is_null() || kind_ == Kind::mixed) return;
    bool fits = (kind_ == Kind::boolean && v.is_bool()) || (kind_ == Kind::i64 && v.is_int()) ||
                (kind_ == Kind::f64 && (v.is_double() || v.is_int())) ||
                (kind_ == Kind::str && v.is_text());
    if (fits) return;
    // An i64 column receiving a double becomes f64, as a numeric column would.
    if (kind_ == Kind::i64 && v.is_double()) {
        for (size_t i = 0; i < tags_.size(); ++i)
            if (tags_[i] == kInt) {
                bits_.set(i, std::bit_cast<uint64_t>(static_cast<double>(static_cast<int64_t>(bits_[i]))));
                tags_[i] = kReal;
            }
        kind_ = Kind::f64;
        return;
    }
    kind_ = Kind::mixed;
}

void Column::store(size_t i, const Value& v) {
    if (v.is_null()) {
        tags_[i] = kNull;
        bits_.set(i, 0);
    } else if (v.is_bool()) {
        tags_[i] = kBool;
        bits_.set(i, v.as_bool() ? 1 : 0);
    } else if (v.is_int()) {
        if (kind_ == Kind::f64) {
            tags_[i] = kReal;
            bits_.set(i, std::bit_cast<uint64_t>(static_cast<double>(v.as_int())));
        } else {
            tags_[i] = kInt;
            bits_.set(i, static_cast<uint64_t>(v.as_int()));
        }
    } else if (v.is_double()) {
        tags_[i] = kReal;
        bits_.set(i, std::bit_cast<uint64_t>(v.as_double()));
    } else {
        // A new pool entry: the old one may be shared with other cells.
        tags_[i] = kText;
        bits_.set(i, texts_.size());
        texts_.push_back(v.as_text());
    }
}

void Column::set(size_t i, const Value& v) {
    widen_for(v);
    store(i, v);
}

void Column::set_double(size_t i, double v) {
    if (kind_ != Kind::f64 && kind_ != Kind::mixed) return set(i, Value(v));
    tags_[i] = kReal;
    bits_.set(i, std::bit_cast<uint64_t>(v));
}

void Column::set_null(size_t i) {
    tags_[i] = kNull;
    bits_.set(i, 0);
}

void Column::push_back(const Value& v) {
    widen_for(v);
    tags_.push_back(kNull);
    bits_.push_back(0);
    store(tags_.size() - 1, v);
}

void Column::push_null() {
    tags_.push_back(kNull);
    bits_.push_back(0);
}

void Column::push_int(int64_t v) {
    if (kind_ != Kind::i64 && kind_ != Kind::mixed) return push_back(Value(v));
    tags_.push_back(kInt);
    bits_.push_back(static_cast<uint64_t>(v));
}

void Column::push_double(double v) {
    if (kind_ != Kind::f64 && kind_ != Kind::mixed) return push_back(Value(v));
    tags_.push_back(kReal);
    bits_.push_back(std::bit_cast<uint64_t>(v));
}

void Column::push_text(std::string v) {
    if (kind_ != Kind::str && kind_ != Kind::mixed) return push_back(Value(std::move(v)));
    tags_.push_back(kText);
    bits_.push_back(texts_.size());
    texts_.push_back(std::move(v));
}

void Column::push_bool(bool v) { push_back(Value(v)); }

void Column::reserve(size_t n) {
    tags_.reserve(n);
    bits_.reserve(n);
    if (kind_ == Kind::str) texts_.reserve(n);
}

Column Column::astype(Kind k) const& {
    Column out(k);
    out.reserve(size());
    for (size_t i = 0; i < size(); ++i) {
        switch (k) {
            case Kind::str: out.push_text(text_form(i)); break;
            case Kind::mixed: out.push_back(get(i)); break;
            case Kind::f64:
            case Kind::i64: {
                if (tags_[i] == kNull) {
                    out.push_null();
                    break;
                }
                std::optional<double> d =
                    tags_[i] == kText ? parse_number(text_at(i)) : number_at(i);
                if (!d) throw ValueError("could not convert string to float: '" + text_at(i) + "'");
                if (k == Kind::f64) {
                    out.push_double(*d);
                } else if (tags_[i] == kInt) {
                    out.push_int(int_at(i));
                } else {
                    auto t = truncate_to_int(*d);
                    if (!t || static_cast<double>(*t) != *d)
                        throw ValueError("cannot convert non-whole value " + format_double(*d) +
                                         " to integer");
                    out.push_int(*t);
                }
                break;
            }
            case Kind::boolean: {
                if (tags_[i] == kNull) {
                    out.push_null();
                } else if (tags_[i] == kText) {
                    throw ValueError("cannot convert text to boolean: '" + text_at(i) + "'");
                } else {
                    out.push_bool(*number_at(i) != 0);
                }
                break;
            }
        }
    }
    return out;
}

Column Column::astype(Kind k) && {
    const auto stored_as = [this](Tag tag) {
        return std::all_of(tags_.begin(), tags_.end(), [tag](uint8_t t) { return t == kNull || t == tag; });
    };
    if (k == Kind::mixed || (k == Kind::f64 && stored_as(kReal)) || (k == Kind::i64 && stored_as(kInt))) {
        kind_ = k;
        return std::move(*this);
    }
    return std::as_const(*this).astype(k);
}

Column Column::to_numeric() const {
    Column out(Kind::f64);
    out.reserve(size());
    for (size_t i = 0; i < size(); ++i) {
        std::optional<double> d = tags_[i] == kText ? parse_number(text_at(i)) : number_at(i);
        d ? out.push_double(*d) : out.push_null();
    }
    return out;
}

Column Column::take(const std::vector<size_t>& rows, size_t threads) const& { return take_rows(rows, nullptr, threads); }

Column Column::take(const std::vector<size_t>& rows, size_t threads) && { return take_rows(rows, &texts_, threads); }

// The pool is kept whole (indexes unchanged) when it has no more entries than rows are taken,
// which keeps shared texts shared; otherwise each taken text cell gets its own entry.
Column Column::take_rows(const std::vector<size_t>& rows, std::vector<std::string>* movable_pool,
                         size_t threads) const {
    const bool whole_pool = texts_.size() <= rows.size();
    // Threads are started only for columns long enough to repay them.
    if (rows.size() < (size_t{1} << 16)) threads = 1;
    Column out(kind_);
    out.tags_.resize(rows.size());
    run_in_parallel_over(rows.size(), threads, [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end; ++k) out.tags_[k] = tags_[rows[k]];
    });
    out.bits_ = bits_.gather(rows, threads);
    if (whole_pool) {
        out.texts_ = movable_pool ? std::move(*movable_pool) : texts_;
        return out;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        if (out.tags_[i] != kText) continue;
        out.bits_.set(i, out.texts_.size());
        out.texts_.push_back(texts_[text_index(rows[i])]);
    }
    return out;
}

void Column::share_equal_texts() {
    std::vector<std::string> pool;
    std::unordered_map<std::string_view, uint64_t> position;
    for (size_t i = 0; i < size(); ++i) {
        if (tags_[i] != kText) continue;
        const std::string& text = texts_[text_index(i)];
        auto it = position.find(text);
        if (it == position.end()) {
            it = position.emplace(text, pool.size()).first;
            pool.push_back(text);
        }
        bits_.set(i, it->second);
    }
    texts_ = std::move(pool);
}

Column Column::filter(const std::vector<uint8_t>& mask) const {
    std::vector<size_t> rows;
    for (size_t i = 0; i < mask.size() && i < size(); ++i)
        if (mask[i]) rows.push_back(i);
    return take(rows);
}

void Column::append(const Column& other) {
    if (other.kind_ != kind_ && !other.empty()) {
        for (size_t i = 0; i < other.size(); ++i) push_back(other.get(i));
        return;
    }
    for (size_t i = 0; i < other.size(); ++i) {
        if (other.tags_[i] == kText) {
            push_text(other.texts_[other.text_index(i)]);
        } else {
            tags_.push_back(other.tags_[i]);
            bits_.push_back(other.bits_[i]);
        }
    }
}

std::vector<uint8_t> Column::mask(const std::function<bool(const Value&)>& pred) const {
    std::vector<uint8_t> m(size());
    for (size_t i = 0; i < size(); ++i) m[i] = pred(get(i)) ? 1 : 0;
    return m;
}

}  // namespace tarvo::core
