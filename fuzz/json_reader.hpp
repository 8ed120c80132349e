// A strict reader of the JSON the product writes, for checking the writer: standard JSON plus
// the bare tokens NaN, Infinity and -Infinity. Numbers without fraction or exponent are whole
// numbers, others reals; texts are byte strings (\uXXXX escapes, surrogate pairs included,
// become UTF-8). Throws std::runtime_error on anything else.
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tarvo/core/document.hpp"
#include "tarvo/core/text.hpp"

namespace fuzz {

class JsonReader {
public:
    explicit JsonReader(std::string_view s) : s_(s) {}

    tarvo::core::Document whole() {
        tarvo::core::Document d = value();
        space();
        if (i_ != s_.size()) fail("text after the value");
        return d;
    }

private:
    [[noreturn]] void fail(const char* what) const { throw std::runtime_error(what); }
    void space() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
    }
    bool take(std::string_view token) {
        if (s_.substr(i_, token.size()) != token) return false;
        i_ += token.size();
        return true;
    }
    void expect(char c) {
        space();
        if (i_ >= s_.size() || s_[i_] != c) fail("unexpected character");
        ++i_;
    }

    tarvo::core::Document value() {
        using tarvo::core::Document;
        space();
        if (i_ >= s_.size()) fail("value missing");
        if (take("null")) return Document();
        if (take("true")) return Document(true);
        if (take("false")) return Document(false);
        if (take("NaN")) return Document(std::numeric_limits<double>::quiet_NaN());
        if (take("Infinity")) return Document(std::numeric_limits<double>::infinity());
        if (take("-Infinity")) return Document(-std::numeric_limits<double>::infinity());
        const char c = s_[i_];
        if (c == '"') return Document(text());
        if (c == '[') return list();
        if (c == '{') return dict();
        return number();
    }

    tarvo::core::Document list() {
        ++i_;
        tarvo::core::List items;
        space();
        if (take("]")) return tarvo::core::Document(std::move(items));
        for (;;) {
            items.push_back(value());
            space();
            if (take("]")) return tarvo::core::Document(std::move(items));
            expect(',');
        }
    }

    tarvo::core::Document dict() {
        ++i_;
        tarvo::core::Dict d;
        space();
        if (take("}")) return tarvo::core::Document(std::move(d));
        for (;;) {
            space();
            if (i_ >= s_.size() || s_[i_] != '"') fail("key missing");
            std::string key = text();
            if (d.contains(key)) fail("repeated key");
            expect(':');
            d.set(key, value());
            space();
            if (take("}")) return tarvo::core::Document(std::move(d));
            expect(',');
        }
    }

    uint32_t hex4() {
        if (i_ + 4 > s_.size()) fail("short \\u escape");
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s_[i_++];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') v |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') v |= static_cast<uint32_t>(c - 'A' + 10);
            else fail("bad \\u escape");
        }
        return v;
    }

    std::string text() {
        ++i_;  // opening quote
        std::string out;
        for (;;) {
            if (i_ >= s_.size()) fail("unterminated text");
            const char c = s_[i_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) fail("raw control character in text");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) fail("unterminated escape");
            switch (s_[i_++]) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    uint32_t cp = hex4();
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        if (!take("\\u")) fail("lone high surrogate");
                        const uint32_t low = hex4();
                        if (low < 0xDC00 || low > 0xDFFF) fail("bad low surrogate");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                        fail("lone low surrogate");
                    }
                    tarvo::core::append_utf8(out, cp);
                    break;
                }
                default: fail("unknown escape");
            }
        }
    }

    tarvo::core::Document number() {
        const size_t start = i_;
        if (take("-")) {}
        const size_t digits = i_;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
        if (i_ == digits) fail("not a value");
        if (s_[digits] == '0' && i_ - digits > 1) fail("leading zero");
        bool real = false;
        if (take(".")) {
            real = true;
            const size_t f = i_;
            while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
            if (i_ == f) fail("fraction digits missing");
        }
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            real = true;
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
            const size_t e = i_;
            while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
            if (i_ == e) fail("exponent digits missing");
        }
        const std::string body(s_.substr(start, i_ - start));
        if (real) return tarvo::core::Document(std::strtod(body.c_str(), nullptr));
        errno = 0;
        const long long v = std::strtoll(body.c_str(), nullptr, 10);
        if (errno == ERANGE) fail("whole number out of range");
        return tarvo::core::Document(static_cast<int64_t>(v));
    }

    std::string_view s_;
    size_t i_ = 0;
};

}  // namespace fuzz
