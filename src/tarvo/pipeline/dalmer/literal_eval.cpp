#include "tarvo/pipeline/dalmer/literal_eval.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <unordered_set>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/text.hpp"

namespace tarvo::dalmer {

namespace {

constexpr int kMaxDepth = 64;

class Reader {
public:
    explicit Reader(std::string_view s) : s_(s) {}

    core::Document whole() {
        skip_space();
        core::Document d = value(0);
        skip_space();
        if (i_ != s_.size()) fail();
        return d;
    }

private:
    [[noreturn]] void fail() const {
        throw core::ValueError("malformed node or string: " + std::string(s_));
    }

    bool at_end() const { return i_ >= s_.size(); }
    char peek() const { return at_end() ? '\0' : s_[i_]; }

    void skip_space() {
        while (!at_end()) {
            char c = s_[i_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')
                ++i_;
            else
                break;
        }
    }

    core::Document value(int depth) {
        char c = peek();
        if (c == '[') return list(depth + 1);
        if (c == '\'' || c == '"') return text();
        if (c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9')) return number();
        fail();
    }

    core::Document list(int depth) {
        if (depth > kMaxDepth) fail();
        ++i_;  // '['
        core::List items;
        skip_space();
        if (peek() == ']') {
            ++i_;
            return core::Document(std::move(items));
        }
        for (;;) {
            skip_space();
            items.push_back(value(depth));
            skip_space();
            char c = peek();
            if (c == ',') {
                ++i_;
                skip_space();
                if (peek() == ']') {
                    ++i_;
                    break;
                }
                continue;
            }
            if (c == ']') {
                ++i_;
                break;
            }
            fail();
        }
        return core::Document(std::move(items));
    }

    uint32_t hex_digits(int n) {
        if (i_ + static_cast<size_t>(n) > s_.size()) fail();
        uint32_t v = 0;
        for (int k = 0; k < n; ++k) {
            char c = s_[i_++];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') v |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') v |= static_cast<uint32_t>(c - 'A' + 10);
            else fail();
        }
        return v;
    }

    core::Document text() {
        char quote = s_[i_++];
        std::string out;
        for (;;) {
            if (at_end()) fail();
            char c = s_[i_++];
            if (c == quote) break;
            if (c == '\n') fail();  // a text literal ends on its line
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_end()) fail();
            char e = s_[i_++];
            switch (e) {
                case '\\': out += '\\'; break;
                case '\'': out += '\''; break;
                case '"': out += '"'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case '0': out += '\0'; break;
                case 'x': core::append_utf8(out, hex_digits(2)); break;
                case 'u': core::append_utf8(out, hex_digits(4)); break;
                case 'U': {
                    uint32_t cp = hex_digits(8);
                    if (cp > 0x10FFFF) fail();
                    core::append_utf8(out, cp);
                    break;
                }
                default:
                    out += '\\';
                    out += e;
            }
        }
        return core::Document(std::move(out));
    }

    core::Document number() {
        bool negative = false;
        if (peek() == '+' || peek() == '-') {
            negative = peek() == '-';
            ++i_;
            skip_space();  // a sign is an operator: "- 5" reads as -5
        }
        size_t digits_start = i_;
        size_t int_digits = 0;
        while (peek() >= '0' && peek() <= '9') ++i_, ++int_digits;
        bool is_real = false;
        size_t frac_digits = 0;
        if (peek() == '.') {
            is_real = true;
            ++i_;
            while (peek() >= '0' && peek() <= '9') ++i_, ++frac_digits;
        }
        if (int_digits == 0 && frac_digits == 0) fail();
        if (peek() == 'e' || peek() == 'E') {
            is_real = true;
            ++i_;
            if (peek() == '+' || peek() == '-') ++i_;
            size_t exp_digits = 0;
            while (peek() >= '0' && peek() <= '9') ++i_, ++exp_digits;
            if (exp_digits == 0) fail();
        }
        // A number runs into no letter, digit or underscore ("12abc" is no literal).
        char next = peek();
        if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || next == '_') fail();

        std::string body(s_.substr(digits_start, i_ - digits_start));
        if (!is_real) {
            if (body.size() > 1 && body[0] == '0' && body.find_first_not_of('0') != std::string::npos)
                fail();
            errno = 0;
            char* end = nullptr;
            unsigned long long mag = std::strtoull(body.c_str(), &end, 10);
            const unsigned long long limit =
                negative ? static_cast<unsigned long long>(INT64_MAX) + 1ULL
                         : static_cast<unsigned long long>(INT64_MAX);
            if (errno != ERANGE && mag <= limit) {
                int64_t v = negative ? static_cast<int64_t>(0ULL - mag) : static_cast<int64_t>(mag);
                return core::Document(v);
            }
        }
        double v = std::strtod(body.c_str(), nullptr);
        return core::Document(negative ? -v : v);
    }

    std::string_view s_;
    size_t i_ = 0;
};

void collect_codes(const core::Document& d, std::vector<std::string>& out,
                   std::unordered_set<std::string>& seen) {
    std::string code;
    switch (d.kind()) {
        case core::DocKind::list:
            for (const core::Document& e : d.as_list()) collect_codes(e, out, seen);
            return;
        case core::DocKind::text: code = core::trim(d.as_text()); break;
        case core::DocKind::integer:
        case core::DocKind::real: code = d.to_value().text_form(); break;
        default: return;
    }
    if (!code.empty() && seen.insert(code).second) out.push_back(std::move(code));
}

}  // namespace

core::Document literal_eval(std::string_view source) { return Reader(source).whole(); }

std::vector<std::string> literal_codes(const core::Document& parsed) {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    collect_codes(parsed, out, seen);
    return out;
}

}  // namespace tarvo::dalmer
