#include "tarvo/core/text.hpp"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace tarvo::core {

namespace {
// Decodes the code point starting at byte i; malformed bytes decode as a negative value.
UChar32 next_cp(std::string_view s, int32_t& i) {
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), i, static_cast<int32_t>(s.size()), c);
    return c;
}
}  // namespace

std::string_view trim_view(std::string_view s) {
    int32_t len = static_cast<int32_t>(s.size());
    int32_t begin = 0;
    while (begin < len) {
        int32_t i = begin;
        UChar32 c = next_cp(s, i);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        begin = i;
    }
    int32_t end = len;
    while (end > begin) {
        int32_t i = end;
        UChar32 c;
        U8_PREV(reinterpret_cast<const uint8_t*>(s.data()), begin, i, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        end = i;
    }
    return s.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}

static bool is_ascii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

std::string to_lower(std::string_view utf8) {
    if (is_ascii(utf8)) {
        std::string out(utf8);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

std::string to_upper(std::string_view utf8) {
    if (is_ascii(utf8)) {
        std::string out(utf8);
        for (char& c : out)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return out;
    }
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())))
        .toUpper(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
bool ends_with(std::string_view s, std::string_view x) {
    return s.size() >= x.size() && s.substr(s.size() - x.size()) == x;
}
bool contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

std::string shorten_utf8(std::string_view utf8, size_t max_bytes) {
    if (utf8.size() <= max_bytes) return std::string(utf8);
    constexpr std::string_view kEllipsis = "\u2026";
    size_t cut = max_bytes > kEllipsis.size() ? max_bytes - kEllipsis.size() : 0;
    // Back up over continuation bytes so no character is split.
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
    return std::string(utf8.substr(0, cut)) + std::string(kEllipsis);
}

std::string join(const std::vector<std::string>& parts, std::string_view sep) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += sep;
        out += parts[i];
    }
    return out;
}

void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace tarvo::core
