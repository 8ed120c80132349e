// Windows-1254 decoding and separator detection on any bytes.
//
// Properties: decoding either refuses the input with UnicodeDecodeError (a byte the code page
// leaves undefined) or yields valid UTF-8 holding exactly one character per input byte; the
// separator detected in decoded text is always one of the four candidates.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "tarvo/core/codepage.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"

namespace {

// Number of characters of `s`, or -1 when it is not valid UTF-8 (overlong forms, surrogates and
// values past U+10FFFF included).
long utf8_characters(std::string_view s) {
    long count = 0;
    for (size_t i = 0; i < s.size(); ++count) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len;
        uint32_t cp;
        if (c < 0x80) { len = 1; cp = c; }
        else if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; }
        else return -1;
        if (i + len > s.size()) return -1;
        for (size_t k = 1; k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return -1;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
        i += len;
    }
    return count;
}

bool is_candidate(char sep) { return sep == ';' || sep == ',' || sep == '\t' || sep == '|'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(is_candidate(tarvo::ingest::detect_separator(bytes)));
    std::string text;
    try {
        text = tarvo::core::decode_cp1254(bytes);
    } catch (const tarvo::core::UnicodeDecodeError&) {
        return 0;
    }
    FUZZ_CHECK(utf8_characters(text) == static_cast<long>(size));
    FUZZ_CHECK(is_candidate(tarvo::ingest::detect_separator(text)));
    return 0;
}
