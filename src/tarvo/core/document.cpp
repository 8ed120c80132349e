#include "tarvo/core/document.hpp"

#include <iterator>

#include "tarvo/core/errors.hpp"

namespace tarvo::core {

// ---- Dict -------------------------------------------------------------------------------

size_t Dict::find_pos(std::string_view key) const {
    if (index_) {
        auto it = index_->find(key);
        return it == index_->end() ? npos : it->second;
    }
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].first == key) return i;
    return npos;
}

void Dict::rebuild_index() {
    index_.reset();
    if (items_.size() < kIndexFrom) return;
    index_ = std::make_unique<Index>();
    index_->reserve(items_.size());
    for (size_t i = 0; i < items_.size(); ++i) index_->emplace(items_[i].first, i);
}

Document* Dict::find(std::string_view key) {
    size_t p = find_pos(key);
    return p == npos ? nullptr : &items_[p].second;
}

const Document* Dict::find(std::string_view key) const {
    size_t p = find_pos(key);
    return p == npos ? nullptr : &items_[p].second;
}

Document& Dict::at(std::string_view key) {
    if (auto* d = find(key)) return *d;
    throw KeyError("'" + std::string(key) + "'");
}

const Document& Dict::at(std::string_view key) const {
    if (auto* d = find(key)) return *d;
    throw KeyError("'" + std::string(key) + "'");
}

Document& Dict::set(std::string_view key, Document value) {
    size_t p = find_pos(key);
    if (p != npos) {
        items_[p].second = std::move(value);
        return items_[p].second;
    }
    items_.emplace_back(std::string(key), std::move(value));
    if (index_)
        index_->emplace(items_.back().first, items_.size() - 1);
    else if (items_.size() >= kIndexFrom)
        rebuild_index();
    return items_.back().second;
}

std::optional<Dict> Dict::of_distinct(std::vector<Item>& items) {
    Dict d;
    if (items.size() >= kIndexFrom) {
        auto index = std::make_unique<Index>();
        index->reserve(items.size());
        for (size_t i = 0; i < items.size(); ++i)
            if (!index->emplace(items[i].first, i).second) return std::nullopt;
        d.index_ = std::move(index);
    } else {
        for (size_t i = 1; i < items.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (items[i].first == items[j].first) return std::nullopt;
    }
    // Moved into a vector of its own size: the caller's vector may have room to spare, and it
    // keeps that room for its next use.
    d.items_.reserve(items.size());
    std::move(items.begin(), items.end(), std::back_inserter(d.items_));
    items.clear();
    return d;
}

bool Dict::erase(std::string_view key) {
    size_t p = find_pos(key);
    if (p == npos) return false;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(p));
    rebuild_index();
    return true;
}

// ---- Document ---------------------------------------------------------------------------

const char* doc_kind_name(DocKind k) {
    switch (k) {
        case DocKind::null: return "NoneType";
        case DocKind::flag: return "bool";
        case DocKind::integer: return "int";
        case DocKind::real: return "float";
        case DocKind::text: return "str";
        case DocKind::list: return "list";
        case DocKind::dict: return "dict";
        case DocKind::rows: return "list";
    }
    return "?";
}

void require_dict(const Document& d, std::string_view name) {
    if (!isinstance(d, dict))
        throw TypeError(std::string(name) + " must be a dict, not " + doc_kind_name(d.kind()));
}

Document Document::of(const Value& v) {
    if (v.is_null()) return Document();
    if (v.is_bool()) return Document(v.as_bool());
    if (v.is_int()) return Document(v.as_int());
    if (v.is_double()) return Document(v.as_double());
    return Document(v.as_text());
}

template <class T>
static T& expect(Document::Storage& v, const char* what) {
    if (auto* p = std::get_if<T>(&v)) return *p;
    throw TypeError(std::string("document is not ") + what);
}

template <class T>
static const T& expect(const Document::Storage& v, const char* what) {
    if (auto* p = std::get_if<T>(&v)) return *p;
    throw TypeError(std::string("document is not ") + what);
}

Document Document::shared(Document d) {
    if (d.v_.index() == kSharedIndex) return d;
    Document s;
    s.v_ = std::make_shared<const Document>(std::move(d));
    return s;
}

Document::Storage& Document::writable() {
    if (v_.index() == kSharedIndex) {
        Storage copy = std::get<kSharedIndex>(v_)->v_;
        v_ = std::move(copy);
    }
    return v_;
}

Dict& Document::as_dict() { return *expect<Box<Dict>>(writable(), "a dict"); }
const Dict& Document::as_dict() const { return *expect<Box<Dict>>(readable(), "a dict"); }
List& Document::as_list() { return *expect<Box<List>>(writable(), "a list"); }
const List& Document::as_list() const { return *expect<Box<List>>(readable(), "a list"); }
Table& Document::as_rows() { return *expect<Box<Table>>(writable(), "a row table"); }
const Table& Document::as_rows() const { return *expect<Box<Table>>(readable(), "a row table"); }
const std::string& Document::as_text() const { return expect<std::string>(readable(), "a text"); }
int64_t Document::as_int() const { return expect<int64_t>(readable(), "an int"); }
double Document::as_real() const { return expect<double>(readable(), "a float"); }
bool Document::as_bool() const { return expect<bool>(readable(), "a bool"); }

Value Document::to_value() const {
    switch (kind()) {
        case DocKind::null: return Value();
        case DocKind::flag: return Value(as_bool());
        case DocKind::integer: return Value(as_int());
        case DocKind::real: return Value(as_real());
        case DocKind::text: return Value(as_text());
        default: throw TypeError("a container document has no scalar value");
    }
}

size_t Document::size() const {
    switch (kind()) {
        case DocKind::list: return as_list().size();
        case DocKind::dict: return as_dict().size();
        case DocKind::rows: return as_rows().nrows();
        default: throw TypeError(std::string("object of type '") + doc_kind_name(kind()) +
                                 "' has no len()");
    }
}

const Document* Document::get(std::string_view key) const {
    return is_dict() ? as_dict().find(key) : nullptr;
}

Document* Document::get(std::string_view key) {
    return is_dict() ? as_dict().find(key) : nullptr;
}

static Document row_as_dict(const Table& t, size_t r) {
    Dict d;
    for (size_t c = 0; c < t.ncols(); ++c) d.set(t.names()[c], Document::of(t.column(c).get(r)));
    return Document(std::move(d));
}

bool Document::operator==(const Document& o) const {
    if (v_.index() == kSharedIndex && o.v_.index() == kSharedIndex &&
        std::get<kSharedIndex>(v_) == std::get<kSharedIndex>(o.v_))
        return true;
    if (is_rows() || o.is_rows()) {
        if (!(is_rows() || is_list()) || !(o.is_rows() || o.is_list())) return false;
        if (size() != o.size()) return false;
        for (size_t i = 0; i < size(); ++i) {
            Document a = is_rows() ? row_as_dict(as_rows(), i) : as_list()[i];
            Document b = o.is_rows() ? row_as_dict(o.as_rows(), i) : o.as_list()[i];
            if (!(a == b)) return false;
        }
        return true;
    }
    if (kind() != o.kind()) return false;
    switch (kind()) {
        case DocKind::list: return as_list() == o.as_list();
        case DocKind::dict: {
            const Dict& a = as_dict();
            const Dict& b = o.as_dict();
            if (a.size() != b.size()) return false;
            auto ib = b.begin();
            for (const auto& [k, v] : a) {
                if (k != ib->first || !(v == ib->second)) return false;
                ++ib;
            }
            return true;
        }
        default: return to_value() == o.to_value();
    }
}

Table rows_to_table(const Document& rows) {
    if (rows.is_rows()) return rows.as_rows();
    const List& items = rows.as_list();
    std::vector<std::string> keys;
    std::unordered_map<std::string, size_t> seen;
    for (const auto& item : items)
        for (const auto& [k, v] : item.as_dict())
            if (seen.emplace(k, keys.size()).second) keys.push_back(k);
    std::vector<std::vector<Value>> cells(keys.size(), std::vector<Value>(items.size()));
    for (size_t r = 0; r < items.size(); ++r)
        for (const auto& [k, v] : items[r].as_dict()) cells[seen[k]][r] = v.to_value();
    Table t;
    for (size_t c = 0; c < keys.size(); ++c) t.set(keys[c], Column::from_values(cells[c]));
    return t;
}

}  // namespace tarvo::core

namespace tarvo::core {

RowsRef::RowsRef(const Document* rows) : table_(&owned_) {
    if (rows == nullptr || rows->is_null()) return;
    if (rows->is_rows()) {
        table_ = &rows->as_rows();
        return;
    }
    owned_ = rows_to_table(*rows);
}

}  // namespace tarvo::core
