// Documents: the marts' trees of mappings (keys in insertion order), lists, texts, numbers,
// booleans and nulls, plus one more kind, `rows`: a row table (a Table, one column per key)
// that presents itself as a list of mappings to readers and to the JSON writer, so the
// scoreboard never holds one map per firm.
//
// Documents have value semantics: copying copies the tree (containers are boxed, so a
// Document is small). Builders return new documents; in-place changes go through references.
//
// A subtree may be shared (Document::shared): many documents then hold one read-only copy of
// it, which is how a document made of few distinct parts stays small (a slim diagnostic index
// has hundreds of thousands of period entries but only as many distinct ones as there are
// distinct group lists). A shared subtree reads like any other; the first write through a
// holder gives that holder its own copy, so value semantics hold.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "tarvo/core/table.hpp"
#include "tarvo/core/value.hpp"

namespace tarvo::core {

enum class DocKind { null, flag, integer, real, text, list, dict, rows };

// Short names so a kind test reads `isinstance(doc, dict)`.
inline constexpr DocKind dict = DocKind::dict;
inline constexpr DocKind list = DocKind::list;

// Owning pointer with deep copy. An empty box allocates nothing until it is written through:
// documents hold many empty lists and mappings (a slim diagnostic index has one empty list per
// firm and period), and reading an empty box gives a shared empty value.
template <class T>
class Box {
public:
    Box() = default;
    explicit Box(T v) : p_(std::make_unique<T>(std::move(v))) {}
    Box(const Box& o) : p_(o.p_ ? std::make_unique<T>(*o.p_) : nullptr) {}
    Box(Box&&) noexcept = default;
    Box& operator=(const Box& o) {
        if (this != &o) p_ = o.p_ ? std::make_unique<T>(*o.p_) : nullptr;
        return *this;
    }
    Box& operator=(Box&&) noexcept = default;
    T& operator*() {
        if (!p_) p_ = std::make_unique<T>();
        return *p_;
    }
    const T& operator*() const { return p_ ? *p_ : empty(); }
    T* operator->() { return &**this; }
    const T* operator->() const { return &**this; }

private:
    static const T& empty() {
        static const T value{};
        return value;
    }
    std::unique_ptr<T> p_;
};

class Document;

// Mapping with keys in insertion order; constant-time lookup once it grows past a few keys.
class Dict {
public:
    using Item = std::pair<std::string, Document>;

    // Members that touch the items are defined after Document, which they need complete.
    size_t size() const;
    bool empty() const;
    bool contains(std::string_view key) const { return find_pos(key) != npos; }
    Document* find(std::string_view key);
    const Document* find(std::string_view key) const;
    // The value under `key`; KeyError when absent.
    Document& at(std::string_view key);
    const Document& at(std::string_view key) const;
    // Inserts at the end, or replaces the value in place keeping the key's position.
    Document& set(std::string_view key, Document value);
    // Room for `n` keys without reallocating.
    void reserve(size_t n);
    // Removes the key; false when absent.
    bool erase(std::string_view key);
    // The mapping of `items` in their order, made in one step (its index sized once), when their
    // keys are distinct; the items are moved into it and `items` is left empty, its room kept.
    // When a key repeats: nullopt, and `items` is left as it was.
    static std::optional<Dict> of_distinct(std::vector<Item>& items);

    std::vector<Item>::iterator begin();
    std::vector<Item>::iterator end();
    std::vector<Item>::const_iterator begin() const;
    std::vector<Item>::const_iterator end() const;

    Dict() = default;
    Dict(const Dict& o);
    Dict(Dict&&) noexcept = default;
    Dict& operator=(const Dict& o);
    Dict& operator=(Dict&&) noexcept = default;

private:
    static constexpr size_t npos = static_cast<size_t>(-1);
    static constexpr size_t kIndexFrom = 16;
    size_t find_pos(std::string_view key) const;
    void rebuild_index();

    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view k) const { return std::hash<std::string_view>{}(k); }
    };
    using Index = std::unordered_map<std::string, size_t, KeyHash, std::equal_to<>>;
    std::vector<Item> items_;
    std::unique_ptr<Index> index_;  // only once the mapping is large: most mappings are small
};

using List = std::vector<Document>;

class Document {
public:
    // The alternatives in DocKind order, then a shared subtree, which reads as its target.
    using Storage = std::variant<Null, bool, int64_t, double, std::string, Box<List>, Box<Dict>,
                                 Box<Table>, std::shared_ptr<const Document>>;

    Document() = default;
    Document(Null) {}
    Document(std::nullptr_t) {}
    Document(bool b) : v_(b) {}
    Document(int v) : v_(int64_t{v}) {}
    Document(int64_t v) : v_(v) {}
    Document(double v) : v_(v) {}
    Document(std::string s) : v_(std::move(s)) {}
    Document(std::string_view s) : v_(std::string(s)) {}
    Document(const char* s) : v_(std::string(s)) {}
    Document(List l) : v_(l.empty() ? Box<List>() : Box<List>(std::move(l))) {}
    Document(Dict d) : v_(d.empty() ? Box<Dict>() : Box<Dict>(std::move(d))) {}
    // A row table: one row per list element, one key per column.
    static Document rows(Table t) {
        Document d;
        d.v_ = Box<Table>(std::move(t));
        return d;
    }
    // A scalar value as a document (null, bool, int, double, text).
    static Document of(const Value& v);
    static Document empty_dict() { return Document(Dict{}); }
    static Document empty_list() { return Document(List{}); }
    // `d` as a subtree that copies of the result share instead of copying (see above). Sharing
    // an already shared document shares its target.
    static Document shared(Document d);

    // The document's kind; a shared subtree has its target's kind.
    DocKind kind() const { return static_cast<DocKind>(readable().index()); }
    bool is_null() const { return kind() == DocKind::null; }
    bool is_dict() const { return kind() == DocKind::dict; }
    bool is_list() const { return kind() == DocKind::list; }
    bool is_rows() const { return kind() == DocKind::rows; }
    bool is_text() const { return kind() == DocKind::text; }
    bool is_int() const { return kind() == DocKind::integer; }
    bool is_real() const { return kind() == DocKind::real; }
    bool is_bool() const { return kind() == DocKind::flag; }

    // Typed access; TypeError when the document is of another kind.
    Dict& as_dict();
    const Dict& as_dict() const;
    List& as_list();
    const List& as_list() const;
    Table& as_rows();
    const Table& as_rows() const;
    const std::string& as_text() const;
    int64_t as_int() const;
    double as_real() const;
    bool as_bool() const;

    // Scalar documents as a Value (TypeError for containers).
    Value to_value() const;
    // Number of elements of a list, rows of a row table, keys of a dict (TypeError otherwise).
    size_t size() const;

    // Dict shortcuts: find (nullptr when absent or not a dict), at (KeyError), set.
    const Document* get(std::string_view key) const;
    Document* get(std::string_view key);
    Document& operator[](std::string_view key) { return as_dict().at(key); }
    const Document& operator[](std::string_view key) const { return as_dict().at(key); }
    Document& set(std::string_view key, Document value) {
        return as_dict().set(key, std::move(value));
    }

    // Deep, kind-sensitive equality (a row table equals a list of equal mappings).
    bool operator==(const Document& o) const;

private:
    static constexpr size_t kSharedIndex = std::variant_size_v<Storage> - 1;
    // The storage to read: the target's for a shared subtree.
    const Storage& readable() const {
        return v_.index() == kSharedIndex ? std::get<kSharedIndex>(v_)->v_ : v_;
    }
    // The storage to write through: a shared subtree is first copied into this document.
    Storage& writable();

    Storage v_;
};

// The document's kind test, as operations use it on entry to reject another kind.
inline bool isinstance(const Document& d, DocKind k) { return d.kind() == k; }

inline size_t Dict::size() const { return items_.size(); }
inline bool Dict::empty() const { return items_.empty(); }
inline void Dict::reserve(size_t n) { items_.reserve(n); }
inline std::vector<Dict::Item>::iterator Dict::begin() { return items_.begin(); }
inline std::vector<Dict::Item>::iterator Dict::end() { return items_.end(); }
inline std::vector<Dict::Item>::const_iterator Dict::begin() const { return items_.begin(); }
inline std::vector<Dict::Item>::const_iterator Dict::end() const { return items_.end(); }
inline Dict::Dict(const Dict& o) : items_(o.items_) { rebuild_index(); }
inline Dict& Dict::operator=(const Dict& o) {
    if (this != &o) {
        items_ = o.items_;
        rebuild_index();
    }
    return *this;
}

// Throws TypeError("<name> must be a dict, not <kind>") unless `d` is a mapping.
void require_dict(const Document& d, std::string_view name);

const char* doc_kind_name(DocKind k);

// Row `i` of a row table or a list of mappings, read by key: the cell value (null when the
// row lacks the key), without building a map.
class RowView {
public:
    RowView(const Table& t, size_t i) : table_(&t), row_(i) {}
    bool has(std::string_view key) const { return table_->has(key); }
    Value get(std::string_view key) const {
        const Column* c = table_->find(key);
        return c ? c->get(row_) : Value();
    }
    size_t index() const { return row_; }
    const Table& table() const { return *table_; }

private:
    const Table* table_;
    size_t row_;
};

// Read access to a document's rows as a table: the row table itself when the document is
// one (no copy), or a table built from a list of mappings (see rows_to_table). A null or
// absent document reads as an empty table.
class RowsRef {
public:
    explicit RowsRef(const Document* rows);
    const Table& operator*() const { return *table_; }
    const Table* operator->() const { return table_; }

private:
    Table owned_;
    const Table* table_;
};

// A row table built from a list of mapping documents whose values are scalars (one column per
// key in order of first appearance, null where a row lacks the key). A row table is returned
// as it is.
Table rows_to_table(const Document& rows);

}  // namespace tarvo::core
