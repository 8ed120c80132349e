#include "tarvo/modules/registry.hpp"

#include <cctype>

namespace tarvo::modules {

const std::any& Module::attr(std::string_view name) const {
    auto it = entries_.find(name);
    if (it == entries_.end())
        throw core::AttributeError("module '" + name_ + "' has no attribute '" + std::string(name) + "'");
    return it->second;
}

std::string Module::source_of(std::string_view operation) const {
    for (const auto& f : sources_) {
        std::string def = find_definition(f.text, operation);
        if (!def.empty()) return def;
    }
    throw core::OSError("could not get source code of '" + std::string(operation) + "'");
}

Module& Registry::add(Module m) {
    std::string name = m.name();
    modules_.erase(name);
    return modules_.emplace(name, std::move(m)).first->second;
}

bool Registry::remove(std::string_view name) {
    auto it = modules_.find(name);
    if (it == modules_.end()) return false;
    modules_.erase(it);
    return true;
}

const Module& Registry::load(std::string_view name) const {
    auto it = modules_.find(name);
    if (it == modules_.end())
        throw core::ModuleNotFoundError("No module named '" + std::string(name) + "'");
    return it->second;
}

namespace {

bool is_ident(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Index just past a string, character or raw-string literal, or a comment, starting at i;
// i itself when nothing of that kind starts there.
size_t skip_lexeme(std::string_view s, size_t i) {
    size_t n = s.size();
    if (s.compare(i, 2, "//") == 0) {
        size_t e = s.find('\n', i);
        return e == std::string_view::npos ? n : e;
    }
    if (s.compare(i, 2, "/*") == 0) {
        size_t e = s.find("*/", i + 2);
        return e == std::string_view::npos ? n : e + 2;
    }
    if (s[i] == 'R' && i + 1 < n && s[i + 1] == '"' && (i == 0 || !is_ident(s[i - 1]))) {
        size_t open = s.find('(', i + 2);
        if (open == std::string_view::npos) return n;
        std::string close = ")" + std::string(s.substr(i + 2, open - i - 2)) + "\"";
        size_t e = s.find(close, open + 1);
        return e == std::string_view::npos ? n : e + close.size();
    }
    if (s[i] == '"' || (s[i] == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(s[i - 1])) && i + 1 < n && std::isxdigit(static_cast<unsigned char>(s[i + 1]))))) {
        char q = s[i];
        size_t j = i + 1;
        while (j < n && s[j] != q) {
            if (s[j] == '\\') ++j;
            if (s[j] == '\n') break;
            ++j;
        }
        return j < n ? j + 1 : n;
    }
    return i;
}

// Index of the bracket closing the one at `open` (same kind), or npos.
size_t match_bracket(std::string_view s, size_t open) {
    char o = s[open];
    char c = o == '(' ? ')' : o == '{' ? '}' : ']';
    int depth = 0;
    for (size_t i = open; i < s.size();) {
        size_t j = skip_lexeme(s, i);
        if (j != i) {
            i = j;
            continue;
        }
        if (s[i] == o) ++depth;
        else if (s[i] == c && --depth == 0) return i;
        ++i;
    }
    return std::string_view::npos;
}

}  // namespace

std::string find_definition(std::string_view s, std::string_view op) {
    for (size_t i = 0; i < s.size();) {
        size_t j = skip_lexeme(s, i);
        if (j != i) {
            i = j;
            continue;
        }
        if (s.compare(i, op.size(), op) != 0 || (i > 0 && is_ident(s[i - 1])) ||
            (i + op.size() < s.size() && is_ident(s[i + op.size()]))) {
            ++i;
            continue;
        }
        size_t k = i + op.size();
        while (k < s.size() && std::isspace(static_cast<unsigned char>(s[k]))) ++k;
        if (k >= s.size() || s[k] != '(') {
            i += op.size();
            continue;
        }
        size_t close = match_bracket(s, k);
        if (close == std::string_view::npos) return {};
        // After the parameter list: qualifiers, a trailing return type or initialisers may
        // stand before the body; a ';' , ',' or ')' first means a declaration or a call.
        size_t b = close + 1;
        while (b < s.size() && s[b] != '{' && s[b] != ';' && s[b] != ',' && s[b] != ')' &&
               s[b] != '(' && s[b] != '=')
            ++b;
        if (b < s.size() && s[b] == '{') {
            size_t end = match_bracket(s, b);
            if (end == std::string_view::npos) return {};
            size_t line = s.rfind('\n', i);
            line = line == std::string_view::npos ? 0 : line + 1;
            return std::string(s.substr(line, end + 1 - line));
        }
        i = close + 1;
    }
    return {};
}

}  // namespace tarvo::modules
